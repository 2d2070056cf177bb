#pragma once

#include "common/Dispatch.h"

#include <QObject>
#include <QString>

class PageContext;
struct CallState;

// The object an editor page creates as "Orvanta.Tessarex": it sets a few text
// properties, calls one method and reads the outcome. All objects of one page share the
// page's call state.
class Tessarex : public QObject {
    Q_OBJECT
    Q_PROPERTY(QString Version READ Version CONSTANT)
    Q_PROPERTY(QString Style READ Style)
    Q_PROPERTY(QString Body READ Body)
    Q_PROPERTY(QString OriginalFiles READ OriginalFiles)
    Q_PROPERTY(QString SavedFiles READ SavedFiles)
    Q_PROPERTY(QString Status READ Status)
    Q_PROPERTY(QString Error READ Error)

public:
    static constexpr const char* ProgId = "Orvanta.Tessarex";
    static const DispatchTable& dispatchTable();

    // Wipes the temporary folder and resets the page's results; raises ScriptError when
    // the temporary folder cannot be made safe.
    explicit Tessarex(PageContext& page, QObject* parent = nullptr);
    ~Tessarex() override;

    QString Version() const;
    QString Style() const;
    QString Body() const;
    QString OriginalFiles() const;
    QString SavedFiles() const;
    QString Status() const;
    QString Error() const;

    Q_INVOKABLE void put_SendUrl(const QString& value);
    Q_INVOKABLE void put_Lang(const QString& value);
    Q_INVOKABLE void put_LocalSize(const QString& value);
    Q_INVOKABLE void put_LocalExt(const QString& value);

    Q_INVOKABLE QString Test() const;
    Q_INVOKABLE void LocalUpload(const QString& s_HTML);
    Q_INVOKABLE QString GetFlashHeader(const QString& s_File);
    Q_INVOKABLE void Capture(const QString& s_Opt);

    // Clipboard pastes (ClipboardPaste.cpp).
    Q_INVOKABLE QString GetClipboardFlag();
    Q_INVOKABLE void PasteWord(const QString& s_Opt);
    Q_INVOKABLE void PasteExcel(const QString& s_Opt);
    Q_INVOKABLE void PasteImage(const QString& s_Opt);
    Q_INVOKABLE void PasteFileList(const QString& s_Opt);
    Q_INVOKABLE void QuickFormat();

    // Office import (OfficeImport.cpp).
    Q_INVOKABLE QString GetExcelWorkSheetName(const QString& s_File);
    Q_INVOKABLE void ImportExcelSheet(const QString& s_File, qint16 n_SheetIndex,
                                      const QString& s_Opt);
    Q_INVOKABLE void ImportWord(const QString& s_File, const QString& s_Opt);

private:
    CallState& state() const;

    PageContext& m_page;
};
