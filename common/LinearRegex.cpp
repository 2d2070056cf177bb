#include "common/LinearRegex.h"

#include <QVarLengthArray>
#include <algorithm>
#include <re2/re2.h>
#include <vector>

namespace {

// The white space of the dialect beyond ASCII (the line and paragraph separators apart).
constexpr char16_t WideWhiteSpace[] = {0x00a0, 0x1680, 0x2000, 0x2001, 0x2002, 0x2003,
                                       0x2004, 0x2005, 0x2006, 0x2007, 0x2008, 0x2009,
                                       0x200a, 0x202f, 0x205f, 0x3000, 0xfeff};

bool IsWideWhiteSpace(char16_t unit) {
    return std::find(std::begin(WideWhiteSpace), std::end(WideWhiteSpace), unit) !=
           std::end(WideWhiteSpace);
}

bool IsLineSeparator(char16_t unit) {
    return unit == 0x2028 || unit == 0x2029;
}

char KindByte(char16_t unit) {
    if (IsLineSeparator(unit))
        return LinearSubject::LineSeparatorByte;
    if (IsWideWhiteSpace(unit))
        return LinearSubject::WhiteSpaceByte;
    return LinearSubject::OtherByte;
}

int HexValue(QChar c) {
    const char16_t u = c.unicode();
    if (u >= u'0' && u <= u'9')
        return u - u'0';
    if (u >= u'a' && u <= u'f')
        return u - u'a' + 10;
    if (u >= u'A' && u <= u'F')
        return u - u'A' + 10;
    return -1;
}

QString HexEscape(char16_t unit) {
    return QStringLiteral("\\x{%1}").arg(unsigned(unit), 0, 16);
}

// Reads the pattern once and writes RE2's form of it. Gives up (returns "") on anything
// whose meaning RE2 does not share: look-around, back-references, braces that may or may
// not be a repetition, empty classes, escapes it reads otherwise, a repeated part that
// can match the empty string (the two engines record its groups differently), and
// characters beyond ASCII that would not stand for all units of their kind.
class Rewriter {
public:
    explicit Rewriter(const QString& pattern) : m_in(pattern) {}

    QString run() {
        m_frames.push_back({});
        while (m_at < m_in.size() && !m_failed) {
            const QChar c = m_in[m_at];
            if (c == u'\\')
                escapeOutsideClass();
            else if (c == u'[')
                characterClass();
            else if (c == u'(')
                openGroup();
            else if (c == u')')
                closeGroup();
            else if (c == u'|')
                alternative();
            else if (c == u'*' || c == u'+' || c == u'?')
                quantifier();
            else if (c == u'^' || c == u'$')
                atom(QString(c), true);
            else if (c == u'{' || c == u'}' || c.unicode() >= 0x80)
                m_failed = true;
            else
                atom(QString(c), false);
        }
        commit();
        if (m_failed || m_frames.size() != 1)
            return QString();
        return m_out;
    }

private:
    struct Frame {
        bool sequenceNullable = true;
        bool anyBranchNullable = false;
    };

    void commit() {
        if (m_pendingKnown) {
            m_frames.back().sequenceNullable = m_frames.back().sequenceNullable && m_pending;
            m_pendingKnown = false;
        }
    }

    void atom(const QString& text, bool nullable) {
        commit();
        m_out += text;
        m_at += 1;
        m_pending = nullable;
        m_pendingKnown = true;
        m_afterQuantifier = false;
    }

    void escapeOutsideClass() {
        if (m_at + 1 >= m_in.size()) {
            m_failed = true;
            return;
        }
        const QChar next = m_in[m_at + 1];
        const char16_t u = next.unicode();
        if (u == u'b' || u == u'B') {
            atom(QString(u'\\') + next, true);
            m_at += 1;
            return;
        }
        if (QStringLiteral("dDwWfnrt").contains(next)) {
            atom(QString(u'\\') + next, false);
            m_at += 1;
            return;
        }
        if (u == u'x' || u == u'u') {
            const int unit = readHexEscape();
            if (unit < 0 || unit >= 0x80) {
                m_failed = true;
                return;
            }
            commit();
            m_out += HexEscape(char16_t(unit));
            m_pending = false;
            m_pendingKnown = true;
            m_afterQuantifier = false;
            return;
        }
        // Escaped punctuation is the character itself in both engines.
        if (u < 0x80 && !next.isLetterOrNumber() && u != u'_') {
            atom(QString(u'\\') + next, false);
            m_at += 1;
            return;
        }
        m_failed = true;
    }

    // "\xHH" or "\uHHHH" at m_at; moves past it. -1 when the digits are not all there.
    int readHexEscape() {
        const int digits = m_in[m_at + 1] == u'x' ? 2 : 4;
        if (m_at + 2 + digits > m_in.size())
            return -1;
        int value = 0;
        for (int i = 0; i < digits; ++i) {
            const int digit = HexValue(m_in[m_at + 2 + i]);
            if (digit < 0)
                return -1;
            value = value * 16 + digit;
        }
        m_at += 2 + digits;
        return value;
    }

    // One member of a class: a unit, or -2 for a set escape (already written to `ascii`).
    int classMember(QString& ascii) {
        const QChar c = m_in[m_at];
        if (c != u'\\') {
            m_at += 1;
            return c.unicode();
        }
        if (m_at + 1 >= m_in.size())
            return -1;
        const QChar next = m_in[m_at + 1];
        const char16_t u = next.unicode();
        if (QStringLiteral("dDwW").contains(next)) {
            ascii += u'\\';
            ascii += next;
            m_at += 2;
            return -2;
        }
        if (u == u'x' || u == u'u')
            return readHexEscape();
        m_at += 2;
        switch (u) {
        case u'f':
            return 0x0c;
        case u'n':
            return 0x0a;
        case u'r':
            return 0x0d;
        case u't':
            return 0x09;
        default:
            break;
        }
        if (u < 0x80 && !next.isLetterOrNumber() && u != u'_')
            return u;
        return -1;
    }

    void characterClass() {
        commit();
        m_at += 1;
        QString body;
        bool negated = false;
        if (m_at < m_in.size() && m_in[m_at] == u'^') {
            negated = true;
            m_at += 1;
        }
        if (m_at < m_in.size() && m_in[m_at] == u']') {
            m_failed = true; // an empty class to one engine, a bracket to the other
            return;
        }
        std::vector<std::pair<int, int>> wide;
        while (m_at < m_in.size() && m_in[m_at] != u']') {
            const int low = classMember(body);
            if (low == -1) {
                m_failed = true;
                return;
            }
            if (low == -2)
                continue;
            int high = low;
            if (m_at + 1 < m_in.size() && m_in[m_at] == u'-' && m_in[m_at + 1] != u']') {
                m_at += 1;
                QString setEscape;
                high = classMember(setEscape);
                if (high < 0 || high < low) {
                    m_failed = true;
                    return;
                }
            }
            if (low >= 0x80) {
                wide.emplace_back(low, high);
            } else if (high >= 0x80) {
                m_failed = true;
                return;
            } else {
                body += HexEscape(char16_t(low));
                if (high != low)
                    body += u'-' + HexEscape(char16_t(high));
            }
        }
        if (m_at >= m_in.size()) {
            m_failed = true;
            return;
        }
        m_at += 1;
        if (!addWideKinds(wide, body))
            return;
        if (body.isEmpty()) {
            m_failed = true;
            return;
        }
        m_out += u'[';
        if (negated)
            m_out += u'^';
        m_out += body;
        m_out += u']';
        m_pending = false;
        m_pendingKnown = true;
        m_afterQuantifier = false;
    }

    // A kind of unit beyond ASCII must be in the class whole or not at all.
    bool addWideKinds(const std::vector<std::pair<int, int>>& wide, QString& body) {
        bool whiteSpace[std::size(WideWhiteSpace)] = {};
        bool separators[2] = {};
        for (const auto& [low, high] : wide) {
            for (int unit = low; unit <= high; ++unit) {
                if (IsLineSeparator(char16_t(unit))) {
                    separators[unit - 0x2028] = true;
                    continue;
                }
                const auto member =
                    std::find(std::begin(WideWhiteSpace), std::end(WideWhiteSpace), char16_t(unit));
                if (member == std::end(WideWhiteSpace)) {
                    m_failed = true;
                    return false;
                }
                whiteSpace[member - std::begin(WideWhiteSpace)] = true;
            }
        }
        const auto whole = [](const auto& present) {
            const qsizetype count = std::count(std::begin(present), std::end(present), true);
            return count == 0 ? 0 : count == qsizetype(std::size(present)) ? 1 : -1;
        };
        const int hasWhiteSpace = whole(whiteSpace);
        const int hasSeparators = whole(separators);
        if (hasWhiteSpace < 0 || hasSeparators < 0) {
            m_failed = true;
            return false;
        }
        if (hasWhiteSpace)
            body += HexEscape(uchar(LinearSubject::WhiteSpaceByte));
        if (hasSeparators)
            body += HexEscape(uchar(LinearSubject::LineSeparatorByte));
        return true;
    }

    void openGroup() {
        commit();
        m_afterQuantifier = false;
        if (m_at + 1 < m_in.size() && m_in[m_at + 1] == u'?') {
            if (m_at + 2 >= m_in.size() || m_in[m_at + 2] != u':') {
                m_failed = true;
                return;
            }
            m_out += QStringLiteral("(?:");
            m_at += 3;
        } else {
            m_out += u'(';
            m_at += 1;
        }
        m_frames.push_back({});
    }

    void closeGroup() {
        commit();
        if (m_frames.size() < 2) {
            m_failed = true;
            return;
        }
        const Frame frame = m_frames.back();
        m_frames.pop_back();
        m_out += u')';
        m_at += 1;
        m_pending = frame.anyBranchNullable || frame.sequenceNullable;
        m_pendingKnown = true;
        m_afterQuantifier = false;
    }

    void alternative() {
        commit();
        Frame& frame = m_frames.back();
        frame.anyBranchNullable = frame.anyBranchNullable || frame.sequenceNullable;
        frame.sequenceNullable = true;
        m_out += u'|';
        m_at += 1;
        m_afterQuantifier = false;
    }

    void quantifier() {
        if (!m_pendingKnown || m_pending || m_afterQuantifier) {
            m_failed = true;
            return;
        }
        const QChar q = m_in[m_at];
        m_out += q;
        m_at += 1;
        if (m_at < m_in.size() && m_in[m_at] == u'?') {
            m_out += u'?';
            m_at += 1;
        }
        m_pending = q != u'+';
        m_afterQuantifier = true;
    }

    const QString& m_in;
    qsizetype m_at = 0;
    QString m_out;
    bool m_failed = false;
    std::vector<Frame> m_frames;
    // The last item read, whose repetition may still follow: can it match ""?
    bool m_pending = false;
    bool m_pendingKnown = false;
    bool m_afterQuantifier = false;
};

} // namespace

LinearSubject::LinearSubject(const QString& text) : m_bytes(text.size(), Qt::Uninitialized) {
    const char16_t* from = reinterpret_cast<const char16_t*>(text.utf16());
    char* to = m_bytes.data();
    const qsizetype size = text.size();
    qsizetype i = 0;
    // Blocks of ASCII, the usual case, are narrowed without a test per unit.
    constexpr qsizetype Block = 16;
    for (; i + Block <= size; i += Block) {
        char16_t any = 0;
        for (qsizetype k = 0; k < Block; ++k)
            any |= from[i + k];
        if (any < 0x80) {
            for (qsizetype k = 0; k < Block; ++k)
                to[i + k] = char(from[i + k]);
            continue;
        }
        for (qsizetype k = 0; k < Block; ++k) {
            const char16_t unit = from[i + k];
            to[i + k] = unit < 0x80 ? char(unit) : KindByte(unit);
        }
    }
    for (; i < size; ++i) {
        const char16_t unit = from[i];
        to[i] = unit < 0x80 ? char(unit) : KindByte(unit);
    }
}

QString LinearPatternSyntax(const QString& translatedPattern) {
    return Rewriter(translatedPattern).run();
}

LinearRegex::LinearRegex(std::unique_ptr<re2::RE2> engine) : m_engine(std::move(engine)) {}
LinearRegex::~LinearRegex() = default;

std::unique_ptr<LinearRegex> LinearRegex::Compile(const QString& translatedPattern, bool ignoreCase,
                                                  int expectedGroups) {
    const QString syntax = LinearPatternSyntax(translatedPattern);
    if (syntax.isEmpty())
        return nullptr;
    RE2::Options options;
    options.set_encoding(RE2::Options::EncodingLatin1);
    options.set_case_sensitive(!ignoreCase);
    options.set_dot_nl(true);
    options.set_log_errors(false);
    auto engine = std::make_unique<RE2>(syntax.toStdString(), options);
    if (!engine->ok() || engine->NumberOfCapturingGroups() != expectedGroups)
        return nullptr;
    return std::unique_ptr<LinearRegex>(new LinearRegex(std::move(engine)));
}

bool LinearRegex::find(const LinearSubject& subject, qsizetype offset, int wantedGroups,
                       qsizetype* spans) const {
    const QByteArray& bytes = subject.bytes();
    const re2::StringPiece text(bytes.constData(), size_t(bytes.size()));
    QVarLengthArray<re2::StringPiece, 16> groups(wantedGroups);
    if (!m_engine->Match(text, size_t(offset), size_t(bytes.size()), RE2::UNANCHORED, groups.data(),
                         wantedGroups))
        return false;
    for (int i = 0; i < wantedGroups; ++i) {
        if (groups[i].data() == nullptr) {
            spans[2 * i] = spans[2 * i + 1] = -1;
            continue;
        }
        spans[2 * i] = groups[i].data() - bytes.constData();
        spans[2 * i + 1] = spans[2 * i] + qsizetype(groups[i].size());
    }
    return true;
}
