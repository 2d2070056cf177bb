#include "bridge/Tessarex.h"

// The interface of Tessarex as pages address it, in interface order. A member whose C++
// side does not exist yet answers like an unknown member.
const DispatchTable& Tessarex::dispatchTable() {
    static const DispatchTable table = {
        {0x6003000b, QStringLiteral("Test"), DispatchKind::Method, "Test"},
        {0x6003000c, QStringLiteral("GetExcelWorkSheetName"), DispatchKind::Method,
         "GetExcelWorkSheetName"},
        {0x6003000d, QStringLiteral("ImportExcelSheet"), DispatchKind::Method, "ImportExcelSheet"},
        {0x6003000e, QStringLiteral("PasteExcel"), DispatchKind::Method, "PasteExcel"},
        {0x6003000f, QStringLiteral("ImportWord"), DispatchKind::Method, "ImportWord"},
        {0x60030010, QStringLiteral("PasteWord"), DispatchKind::Method, "PasteWord"},
        {0x60030011, QStringLiteral("PasteImage"), DispatchKind::Method, "PasteImage"},
        {0x60030012, QStringLiteral("PasteFileList"), DispatchKind::Method, "PasteFileList"},
        {0x60030013, QStringLiteral("Capture"), DispatchKind::Method, "Capture"},
        {0x60030015, QStringLiteral("LocalUpload"), DispatchKind::Method, "LocalUpload"},
        {0x60030016, QStringLiteral("GetClipboardFlag"), DispatchKind::Method, "GetClipboardFlag"},
        {0x60030017, QStringLiteral("QuickFormat"), DispatchKind::Method, "QuickFormat"},
        {0x60030018, QStringLiteral("GetFlashHeader"), DispatchKind::Method, "GetFlashHeader"},
        {0x6803000a, QStringLiteral("Version"), DispatchKind::PropertyGet, "Version"},
        {0x68030009, QStringLiteral("Style"), DispatchKind::PropertyGet, "Style"},
        {0x68030008, QStringLiteral("Body"), DispatchKind::PropertyGet, "Body"},
        {0x68030007, QStringLiteral("OriginalFiles"), DispatchKind::PropertyGet, "OriginalFiles"},
        {0x68030006, QStringLiteral("SavedFiles"), DispatchKind::PropertyGet, "SavedFiles"},
        {0x68030005, QStringLiteral("Status"), DispatchKind::PropertyGet, "Status"},
        {0x68030004, QStringLiteral("Error"), DispatchKind::PropertyGet, "Error"},
        {0x68030003, QStringLiteral("SendUrl"), DispatchKind::PropertyPut, "put_SendUrl"},
        {0x68030002, QStringLiteral("Lang"), DispatchKind::PropertyPut, "put_Lang"},
        {0x68030001, QStringLiteral("LocalSize"), DispatchKind::PropertyPut, "put_LocalSize"},
        {0x68030000, QStringLiteral("LocalExt"), DispatchKind::PropertyPut, "put_LocalExt"},
    };
    return table;
}
