#include "bridge/UploadRun.h"

#include "bridge/CallState.h"
#include "bridge/UploadFile.h"
#include "common/Events.h"
#include "common/RegExp.h"
#include "common/TextHelpers.h"

namespace {
const QString PictureExtensions = QStringLiteral(
    "(bmp|bmz|cdr|cgm|dib|emf|emz|eps|gfa|gif|ico|jfif|jpg|jpe|jpeg|pct|pcz|pict|png|rle|tif|tiff|"
    "wpg|wmz|wmf|xbm|xpm)");

// A quoted "file:///" reference with a drive letter (C: or C|), or an absolute Linux
// path (file:///home/...), of a picture type.
const QString LocalPattern = QStringLiteral(R"("file:///(?:[a-zA-Z][:\|])?[^\*\?"\<\>\|]+?\.)") +
                             PictureExtensions + QStringLiteral("\"");
const QString WordPattern = QStringLiteral(
    R"(src="[^\*\?"\<\>\|]*?Tessary_Temp_Word_Doc[\._\-]files[/\\][^\*\?"\<\>\|]+?")");
const QString ExcelPattern = QStringLiteral(
    R"(src="[^\*\?"\<\>\|]*?Tessary_Temp_Excel_Sheet[0-9]*[\._\-]files[/\\][^\*\?"\<\>\|]+?")");
const QString SrcPattern = QStringLiteral(R"(src="[^\*\?"\<\>\|]+?")");

bool IsLocalMode(const QString& mode) {
    return mode == QLatin1String("local");
}

bool HasDriveLetter(const QString& path) {
    return path.size() >= 2 && path.at(0).isLetter() && path.at(0).unicode() < 128 &&
           (path.at(1) == QLatin1Char(':') || path.at(1) == QLatin1Char('|'));
}

// What follows "file:///": a drive-letter path stays as it is, anything else is an
// absolute Linux path and gets its leading "/" back.
QString PathAfterFileScheme(const QString& rest) {
    return HasDriveLetter(rest) ? rest : QStringLiteral("/") + rest;
}

QString PatternFor(const QString& mode) {
    if (IsLocalMode(mode))
        return LocalPattern;
    if (mode == QLatin1String("word"))
        return WordPattern;
    if (mode == QLatin1String("excel"))
        return ExcelPattern;
    return SrcPattern;
}
} // namespace

void StartRun(CallState& s, const QString& mode) {
    s.RunMode = mode;
    CollectLocalFiles(s);
    UploadNext(s);
}

void CollectLocalFiles(CallState& s) {
    RegExp re;
    re.Pattern = PatternFor(s.RunMode);
    re.IgnoreCase = true;
    re.Global = true;
    const QList<RegExpMatch> matches = re.Execute(s.Body);
    const qsizetype head = IsLocalMode(s.RunMode) ? 9 : 5;
    s.FileList = QStringList{QString()};
    for (const RegExpMatch& match : matches) {
        LetPendingEventsRun();
        const QString reference = match.value.mid(head, match.value.size() - head - 1);
        if (s.FileList.size() > 1 && s.FileList.contains(reference, Qt::CaseSensitive))
            continue;
        s.FileList.append(reference);
    }
    s.RunIndex = 0;
}

void UploadNext(CallState& s) {
    // A skipped file comes back here as a loop turn instead of one call level per file.
    for (;;) {
        LetPendingEventsRun();
        s.RunIndex += 1;
        const qint32 n = qint32(s.FileList.size()) - 1;
        if (s.RunIndex == 1) {
            s.RunDone = false;
            s.SavedNames = QStringList();
            for (qint32 i = 0; i <= std::max(n, 0); ++i)
                s.SavedNames.append(QString());
        }
        if (s.RunIndex > n) {
            FinishUpload(s);
            return;
        }
        const QString address =
            s.UploadUrl + QStringLiteral("&rnd=") + ZeroPad(s.RunIndex, 3, n + 1);
        const QString entry = s.FileList.at(s.RunIndex);
        QString path;
        if (IsLocalMode(s.RunMode)) {
            path = PathAfterFileScheme(entry);
        } else if (s.RunMode == QLatin1String("word") || s.RunMode == QLatin1String("excel")) {
            if (entry.left(8).toLower() == QLatin1String("file:///")) {
                path = PathAfterFileScheme(entry.mid(8));
            } else {
                QString relative = entry.startsWith(QLatin1String("./")) ? entry.mid(2) : entry;
                relative.replace(QLatin1Char('\\'), QLatin1Char('/'));
                path = s.TempFolder + relative;
            }
        } else {
            path = entry;
        }
        if (!UploadFile(s, path, address))
            return;
    }
}

void ReleaseUploadRequest(CallState& s) {
    s.ReadyStateSink.reset();
    s.UploadRequest.reset();
}

void FinishUpload(CallState& s) {
    s.ReadyStateSink.reset();
    if (s.UploadRequest) {
        s.UploadRequest->abort();
        s.UploadRequest.reset();
    }
    s.OriginalFiles.clear();
    s.SavedFiles.clear();
    qint32 count = 0;
    const bool local = IsLocalMode(s.RunMode);
    for (qsizetype i = 1; i < s.FileList.size(); ++i) {
        const QString& entry = s.FileList.at(i);
        const qsizetype cut =
            std::max(entry.lastIndexOf(QLatin1Char('/')), entry.lastIndexOf(QLatin1Char('\\')));
        const QString name = entry.mid(cut + 1);
        const QString saved = i < s.SavedNames.size() ? s.SavedNames.at(i) : QString();
        if (saved.isEmpty())
            continue;
        const QChar quote = QLatin1Char('"');
        if (local)
            s.Body.replace(quote + QStringLiteral("file:///") + entry + quote,
                           quote + saved + quote, Qt::CaseSensitive);
        else
            s.Body.replace(QStringLiteral("src=\"") + entry + quote,
                           QStringLiteral("src=\"") + saved + quote, Qt::CaseInsensitive);
        count += 1;
        if (count > 1) {
            s.OriginalFiles += QLatin1Char('|');
            s.SavedFiles += QLatin1Char('|');
        }
        s.OriginalFiles += name;
        s.SavedFiles += saved;
    }
    s.FileList.clear();
    s.SavedNames.clear();
    s.RunDone = true;
}
