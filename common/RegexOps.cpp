#include "common/RegexOps.h"

#include "common/RegExp.h"
#include "common/ScriptError.h"

namespace {

// Every operation sets the engine up the same way: case-insensitive, global, single-line.
class ScriptRegExp : public RegExp {
public:
    explicit ScriptRegExp(const QString& pattern) {
        Pattern = pattern;
        IgnoreCase = true;
        Global = true;
        MultiLine = false;
    }
};

// The previous text of the thread's last in-place replacement, kept for its memory.
thread_local QString t_spareBuffer;

} // namespace

QString RegexReplace(const QString& text, const QString& pattern, const QString& replaceTemplate) {
    return ScriptRegExp(pattern).Replace(text, replaceTemplate);
}

QString RegexReplaceUntilStable(const QString& text, const QString& pattern,
                                const QString& replaceTemplate) {
    ScriptRegExp regExp(pattern);
    QString current = text;
    for (;;) {
        QString next = regExp.Replace(current, replaceTemplate);
        // Replace hands back the very same text when nothing matched, which is the
        // common last round; compare the contents only when it built a new one.
        if (next.isSharedWith(current) || next == current)
            return current;
        current = std::move(next);
    }
}

QString RegexSubMatch(const QString& text, const QString& pattern, qint32 index) {
    ScriptRegExp regExp(pattern);
    regExp.Global = false;
    const QList<RegExpMatch> matches = regExp.Execute(text);
    if (matches.isEmpty())
        return QString();
    const QStringList& groups = matches.first().subMatches;
    if (index < 0 || index >= groups.size())
        throw ScriptError(ScriptErrorNumber::InvalidCall,
                          QStringLiteral("Invalid procedure call or argument"));
    return groups[index];
}

bool RegexTest(const QString& pattern, const QString& text) {
    return ScriptRegExp(pattern).Test(text);
}

void RegexReplaceInPlace(QString& text, const QString& pattern, const QString& replaceTemplate) {
    if (ScriptRegExp(pattern).ReplaceInto(text, replaceTemplate, t_spareBuffer))
        text.swap(t_spareBuffer);
}

void RegexReplaceUntilStableInPlace(QString& text, const QString& pattern,
                                    const QString& replaceTemplate) {
    ScriptRegExp regExp(pattern);
    while (regExp.ReplaceInto(text, replaceTemplate, t_spareBuffer) && t_spareBuffer != text)
        text.swap(t_spareBuffer);
}

RegexBufferScope::~RegexBufferScope() {
    t_spareBuffer = QString();
}
