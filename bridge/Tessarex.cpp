#include "bridge/Tessarex.h"

#include "bridge/PageContext.h"
#include "bridge/UploadRun.h"
#include "common/Files.h"
#include "common/Numbers.h"

Tessarex::Tessarex(PageContext& page, QObject* parent) : QObject(parent), m_page(page) {
    CallState& s = state();
    s.Style.clear();
    s.Body.clear();
    s.OriginalFiles.clear();
    s.SavedFiles.clear();
    s.Error.clear();
    s.RunIndex = 0;
    s.RunDone = false;
    s.TempFolder = PrepareTempFolder(page.tempSubFolder());
    s.Lang = QStringLiteral("zh-cn");
    s.LocalSize = 0;
    s.LocalExt.clear();
}

Tessarex::~Tessarex() {
    CallState& s = state();
    ReleaseUploadRequest(s);
    s.FileList.clear();
    s.SavedNames.clear();
}

CallState& Tessarex::state() const {
    return m_page.callState();
}

QString Tessarex::Version() const {
    return QStringLiteral("3.3.0.0");
}
QString Tessarex::Style() const {
    return state().Style;
}
QString Tessarex::Body() const {
    return state().Body;
}
QString Tessarex::OriginalFiles() const {
    return state().OriginalFiles;
}
QString Tessarex::SavedFiles() const {
    return state().SavedFiles;
}
QString Tessarex::Error() const {
    return state().Error;
}

QString Tessarex::Status() const {
    const CallState& s = state();
    return (!s.Error.isEmpty() || s.RunDone) ? QStringLiteral("ok") : QString();
}

void Tessarex::put_SendUrl(const QString& value) {
    state().UploadUrl = value + QStringLiteral("&action=local&type=local");
}

void Tessarex::put_Lang(const QString& value) {
    const QString lang = value.toLower();
    const bool known = lang == QLatin1String("zh-cn") || lang == QLatin1String("zh-tw");
    state().Lang = known ? lang : QStringLiteral("en");
}

void Tessarex::put_LocalSize(const QString& value) {
    if (const auto number = ParseNumeric(value))
        state().LocalSize = RoundToInt32(*number);
}

void Tessarex::put_LocalExt(const QString& value) {
    state().LocalExt = value.toLower();
}

QString Tessarex::Test() const {
    return QStringLiteral("Tessary");
}
