#include "common/RegExp.h"

#include "common/LinearRegex.h"
#include "common/PatternTranslation.h"
#include "common/ScriptError.h"

#define PCRE2_CODE_UNIT_WIDTH 16
#include <pcre2.h>

#include <QHash>
#include <QVarLengthArray>
#include <optional>

// A compiled pattern, shared by every RegExp of the thread that uses the same pattern
// and flags. Compiling is the costly part; matching keeps no state in it. Patterns that
// RE2 can run go there, so that no text makes them slower than linear; the backtracking
// engine keeps those with look-around or back-references.
class CompiledPattern {
public:
    pcre2_code_16* code = nullptr;
    quint32 captureCount = 0;
    std::unique_ptr<LinearRegex> linear;
    ~CompiledPattern() { pcre2_code_free_16(code); }
};

namespace {

// Large texts are normal input: a lazy scan over 20 MB takes tens of millions of engine
// steps, so the limits sit far above the library's defaults. They still exist so that a
// runaway pattern ends in an error instead of a hang or a crash.
constexpr uint32_t MatchLimit = 4000000000u;
constexpr uint32_t HeapLimitKiB = 1024u * 1024u;
constexpr size_t JitStackStart = 64 * 1024;
constexpr size_t JitStackMax = 256 * 1024 * 1024;
constexpr int CacheCapacity = 512;

struct MatchResources {
    pcre2_match_context_16* context = nullptr;
    pcre2_jit_stack_16* jitStack = nullptr;
    MatchResources() {
        context = pcre2_match_context_create_16(nullptr);
        jitStack = pcre2_jit_stack_create_16(JitStackStart, JitStackMax, nullptr);
        pcre2_set_match_limit_16(context, MatchLimit);
        pcre2_set_depth_limit_16(context, MatchLimit);
        pcre2_set_heap_limit_16(context, HeapLimitKiB);
        pcre2_jit_stack_assign_16(context, nullptr, jitStack);
    }
    ~MatchResources() {
        pcre2_jit_stack_free_16(jitStack);
        pcre2_match_context_free_16(context);
    }
};

MatchResources& ThreadMatchResources() {
    thread_local MatchResources resources;
    return resources;
}

using PatternCache = QHash<QString, std::shared_ptr<const CompiledPattern>>;

std::shared_ptr<const CompiledPattern> Compile(const QString& pattern, bool ignoreCase,
                                               bool multiLine, bool backtrackingOnly) {
    thread_local PatternCache cache;
    const QString key = QString(QChar(ignoreCase ? u'i' : u'-')) + QChar(multiLine ? u'm' : u'-') +
                        QChar(backtrackingOnly ? u'b' : u'-') + pattern;
    if (auto found = cache.constFind(key); found != cache.constEnd())
        return *found;

    uint32_t options =
        PCRE2_ALT_BSUX | PCRE2_ALLOW_EMPTY_CLASS | PCRE2_MATCH_UNSET_BACKREF | PCRE2_DOTALL;
    if (ignoreCase)
        options |= PCRE2_CASELESS;
    options |= multiLine ? PCRE2_MULTILINE : PCRE2_DOLLAR_ENDONLY;

    const QString translated = TranslatePattern(pattern);
    int errorCode = 0;
    PCRE2_SIZE errorOffset = 0;
    auto compiled = std::make_shared<CompiledPattern>();
    compiled->code = pcre2_compile_16(reinterpret_cast<PCRE2_SPTR16>(translated.utf16()),
                                      static_cast<PCRE2_SIZE>(translated.size()), options,
                                      &errorCode, &errorOffset, nullptr);
    if (!compiled->code) {
        PCRE2_UCHAR16 message[256];
        pcre2_get_error_message_16(errorCode, message, 256);
        throw ScriptError(ScriptErrorNumber::RegexSyntax,
                          QStringLiteral("Syntax error in regular expression (%1 at %2)")
                              .arg(QString::fromUtf16(reinterpret_cast<char16_t*>(message)))
                              .arg(errorOffset));
    }
    pcre2_pattern_info_16(compiled->code, PCRE2_INFO_CAPTURECOUNT, &compiled->captureCount);
    // The backtracking engine has checked the syntax and counted the groups; RE2 reads
    // "^" and "$" of multi-line patterns its own way, so those stay.
    if (!multiLine && !backtrackingOnly)
        compiled->linear =
            LinearRegex::Compile(translated, ignoreCase, int(compiled->captureCount));
    // Without JIT the interpreter still gives the same results, only slower.
    if (!compiled->linear)
        pcre2_jit_compile_16(compiled->code, PCRE2_JIT_COMPLETE);

    if (cache.size() >= CacheCapacity)
        cache.clear();
    cache.insert(key, compiled);
    return compiled;
}

// Runs the pattern once from `offset`; false when nothing matches. Limits become errors.
// Only the first `wantedGroups` spans (the whole match counting as one) are filled in.
class Matcher {
public:
    Matcher(const CompiledPattern& pattern, const QString& subject, quint32 wantedGroups)
        : m_pattern(pattern), m_subject(subject),
          m_wantedGroups(qMin(wantedGroups, pattern.captureCount + 1)),
          m_spans(2 * qsizetype(m_wantedGroups)) {
        if (pattern.linear)
            m_linearSubject.emplace(subject);
        else
            m_data = pcre2_match_data_create_from_pattern_16(pattern.code, nullptr);
    }
    ~Matcher() { pcre2_match_data_free_16(m_data); }
    Matcher(const Matcher&) = delete;
    Matcher& operator=(const Matcher&) = delete;

    bool find(qsizetype offset) {
        if (m_pattern.linear)
            return m_pattern.linear->find(*m_linearSubject, offset, int(m_wantedGroups),
                                          m_spans.data());
        MatchResources& resources = ThreadMatchResources();
        const auto subject = reinterpret_cast<PCRE2_SPTR16>(m_subject.utf16());
        const auto length = static_cast<PCRE2_SIZE>(m_subject.size());
        int rc = pcre2_match_16(m_pattern.code, subject, length, static_cast<PCRE2_SIZE>(offset), 0,
                                m_data, resources.context);
        if (rc == PCRE2_ERROR_JIT_STACKLIMIT) {
            // The interpreter keeps its backtracking frames on the heap, which allows far
            // deeper searches than the machine stack of the compiled code.
            rc = pcre2_match_16(m_pattern.code, subject, length, static_cast<PCRE2_SIZE>(offset),
                                PCRE2_NO_JIT, m_data, resources.context);
        }
        if (rc == PCRE2_ERROR_NOMATCH)
            return false;
        if (rc < 0) {
            PCRE2_UCHAR16 message[256];
            pcre2_get_error_message_16(rc, message, 256);
            throw ScriptError(ScriptErrorNumber::OutOfStack,
                              QStringLiteral("Regular expression too complex for this text (%1)")
                                  .arg(QString::fromUtf16(reinterpret_cast<char16_t*>(message))));
        }
        const PCRE2_SIZE* ovector = pcre2_get_ovector_pointer_16(m_data);
        for (qsizetype i = 0; i < m_spans.size(); ++i)
            m_spans[i] = ovector[i] == PCRE2_UNSET ? -1 : static_cast<qsizetype>(ovector[i]);
        return true;
    }

    qsizetype start() const { return m_spans[0]; }
    qsizetype end() const { return m_spans[1]; }
    quint32 groupCount() const { return m_pattern.captureCount; }
    // An unset group reads as an empty view.
    QStringView group(quint32 index) const {
        const qsizetype from = m_spans[2 * index];
        if (from < 0)
            return {};
        return QStringView(m_subject).mid(from, m_spans[2 * index + 1] - from);
    }

private:
    const CompiledPattern& m_pattern;
    const QString& m_subject;
    quint32 m_wantedGroups;
    QVarLengthArray<qsizetype, 32> m_spans;
    std::optional<LinearSubject> m_linearSubject;
    pcre2_match_data_16* m_data = nullptr;
};

// A replacement template, cut once into literal pieces and references.
class ReplaceTemplate {
public:
    enum class Kind { Literal, Group, Whole, Before, After };
    struct Piece {
        Kind kind;
        QString literal;
        quint32 group = 0;
    };

    ReplaceTemplate(const QString& text, quint32 groupCount) {
        QString literal;
        const qsizetype size = text.size();
        for (qsizetype i = 0; i < size; ++i) {
            const QChar c = text[i];
            if (c != u'$' || i + 1 >= size) {
                literal += c;
                continue;
            }
            const QChar next = text[i + 1];
            Kind kind = Kind::Literal;
            quint32 group = 0;
            qsizetype used = 1;
            if (next == u'$') {
                literal += u'$';
            } else if (next == u'&') {
                kind = Kind::Whole;
            } else if (next == u'`') {
                kind = Kind::Before;
            } else if (next == u'\'') {
                kind = Kind::After;
            } else if (next.isDigit() && next.unicode() < 0x80) {
                // Two digits when they name an existing group, else one digit when that
                // does; otherwise the text stays as written.
                const quint32 one = next.unicode() - u'0';
                if (i + 2 < size && text[i + 2].isDigit() && text[i + 2].unicode() < 0x80) {
                    const quint32 two = one * 10 + (text[i + 2].unicode() - u'0');
                    if (two >= 1 && two <= groupCount) {
                        kind = Kind::Group;
                        group = two;
                        used = 2;
                    }
                }
                if (kind != Kind::Group && one >= 1 && one <= groupCount) {
                    kind = Kind::Group;
                    group = one;
                }
                if (kind != Kind::Group) {
                    literal += c;
                    continue;
                }
            } else {
                literal += c;
                continue;
            }
            if (kind != Kind::Literal) {
                flush(literal);
                m_pieces.append({kind, QString(), group});
                m_highestGroup = qMax(m_highestGroup, group);
            }
            i += used;
        }
        flush(literal);
    }

    void appendExpansion(QString& out, const Matcher& match, const QString& subject) const {
        for (const Piece& piece : m_pieces) {
            switch (piece.kind) {
            case Kind::Literal:
                out += piece.literal;
                break;
            case Kind::Group:
                out += match.group(piece.group);
                break;
            case Kind::Whole:
                out += match.group(0);
                break;
            case Kind::Before:
                out += QStringView(subject).left(match.start());
                break;
            case Kind::After:
                out += QStringView(subject).mid(match.end());
                break;
            }
        }
    }

    quint32 highestGroup() const { return m_highestGroup; }

private:
    void flush(QString& literal) {
        if (!literal.isEmpty())
            m_pieces.append({Kind::Literal, literal, 0});
        literal.clear();
    }

    QList<Piece> m_pieces;
    quint32 m_highestGroup = 0;
};

// Walks the matches the way the runtime does: after an empty match the search moves on
// by one code unit.
template <typename OnMatch>
void ForEachMatch(const CompiledPattern& pattern, const QString& subject, bool global,
                  quint32 wantedGroups, OnMatch onMatch) {
    Matcher matcher(pattern, subject, wantedGroups);
    qsizetype offset = 0;
    while (offset <= subject.size() && matcher.find(offset)) {
        onMatch(matcher);
        if (!global)
            return;
        offset = matcher.end() == matcher.start() ? matcher.end() + 1 : matcher.end();
    }
}

} // namespace

namespace {
thread_local RegExpUseRecorder* t_recorder = nullptr;
}

RegExpUseRecorder::RegExpUseRecorder() : m_outer(t_recorder) {
    t_recorder = this;
}

RegExpUseRecorder::~RegExpUseRecorder() {
    t_recorder = m_outer;
}

RegExp::RegExp() = default;
RegExp::~RegExp() = default;

std::shared_ptr<const CompiledPattern> RegExp::compiled() {
    if (t_recorder) {
        const RegExpUseRecorder::Use use{Pattern, IgnoreCase, MultiLine};
        if (!t_recorder->m_uses.contains(use))
            t_recorder->m_uses.append(use);
    }
    return Compile(Pattern, IgnoreCase, MultiLine, BacktrackingOnly);
}

bool RegExp::RunsInLinearTime() {
    return compiled()->linear != nullptr;
}

QString RegExp::Replace(const QString& text, const QString& replaceTemplate) {
    QString out;
    return ReplaceInto(text, replaceTemplate, out) ? out : text;
}

bool RegExp::ReplaceInto(const QString& text, const QString& replaceTemplate, QString& out) {
    const auto pattern = compiled();
    const ReplaceTemplate expansion(replaceTemplate, pattern->captureCount);
    qsizetype copiedUpTo = 0;
    bool matched = false;
    ForEachMatch(*pattern, text, Global, expansion.highestGroup() + 1, [&](const Matcher& match) {
        if (!matched) {
            // Keeps the capacity `out` already has.
            out.resize(0);
            out.reserve(text.size());
            matched = true;
        }
        out += QStringView(text).mid(copiedUpTo, match.start() - copiedUpTo);
        expansion.appendExpansion(out, match, text);
        copiedUpTo = match.end();
    });
    if (matched)
        out += QStringView(text).mid(copiedUpTo);
    return matched;
}

QList<RegExpMatch> RegExp::Execute(const QString& text) {
    const auto pattern = compiled();
    QList<RegExpMatch> matches;
    ForEachMatch(*pattern, text, Global, pattern->captureCount + 1, [&](const Matcher& match) {
        RegExpMatch found;
        found.firstIndex = match.start();
        found.value = match.group(0).toString();
        for (quint32 group = 1; group <= match.groupCount(); ++group)
            found.subMatches.append(match.group(group).toString());
        matches.append(std::move(found));
    });
    return matches;
}

bool RegExp::Test(const QString& text) {
    const auto pattern = compiled();
    Matcher matcher(*pattern, text, 1);
    return matcher.find(0);
}
