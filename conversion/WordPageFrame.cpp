#include "conversion/WordPageFrame.h"

#include "common/Blanks.h"
#include "common/Numbers.h"
#include "common/ScriptError.h"
#include "common/TextHelpers.h"

#include <QStringList>
#include <cmath>
#include <optional>

using namespace Qt::StringLiterals;

namespace {

struct PageNumbers {
    QString paperWidth;
    QString leftMargin;
    QString rightMargin;
};

// 61-63. The pieces are cut at every single blank, so two blanks in a row make an empty
// piece and the set-up no longer counts.
PageNumbers ReadPageNumbers(const QString& pageSize, const QString& pageMargin) {
    PageNumbers numbers;
    const QString size = TrimBlanks(pageSize);
    if (!size.isEmpty()) {
        const QStringList pieces = size.split(u' ');
        if (pieces.size() == 2)
            numbers.paperWidth = ConvertToPoints(pieces[0]);
    }
    const QString margin = TrimBlanks(pageMargin);
    if (!margin.isEmpty()) {
        const QStringList pieces = margin.split(u' ');
        if (pieces.size() == 4) {
            numbers.leftMargin = ConvertToPoints(pieces[3]);
            numbers.rightMargin = ConvertToPoints(pieces[1]);
        }
    }
    return numbers;
}

// Like the runtime's arithmetic, a result beyond the double range is an overflow, not a
// width of "inf".
double FrameWidth(double paperWidth, double leftMargin, double rightMargin) {
    const double width = paperWidth - leftMargin - rightMargin;
    if (!std::isfinite(width))
        throw ScriptError(ScriptErrorNumber::Overflow, u"Overflow"_s);
    return width;
}

} // namespace

QString WrapInPageFrame(QString body, const QString& pageSize, const QString& pageMargin,
                        const PageFrameOptions& options) {
    const PageNumbers numbers = ReadPageNumbers(pageSize, pageMargin);

    // 64.
    const std::optional<double> paperWidth = ParseNumeric(numbers.paperWidth);
    const std::optional<double> leftMargin = ParseNumeric(numbers.leftMargin);
    const std::optional<double> rightMargin = ParseNumeric(numbers.rightMargin);
    if (!paperWidth || !leftMargin || !rightMargin)
        return body;

    // 65. The frame: the page width, either with the margins as padding or without them.
    QString opening =
        u"<table border=0 cellpadding=0 cellspacing=0 align=center style=\"overflow-x:hidden;word-break:break-all;"_s;
    if (options.pagemargin)
        opening +=
            u"width:"_s + numbers.paperWidth + u"pt;padding:"_s + TrimBlanks(pageMargin) + u";"_s;
    else
        opening += u"width:"_s + FormatNumber(FrameWidth(*paperWidth, *leftMargin, *rightMargin)) +
                   u"pt;"_s;
    QString before = opening + u"\"><tr><td>"_s;
    QString after = u"</td></tr></table>"_s;

    // 66. A page border, thicker at the right and bottom like a shadow.
    if (options.pageeffect) {
        before.prepend(
            u"<table cellspacing=0 cellpadding=0 align=center style=\"border-top:1px solid #000000;border-left:1px solid #000000;border-right:3px solid #000000;border-bottom:3px solid #000000;\"><tr><td style=\"background-color:#ffffff;\">"_s);
        after += u"</td></table>"_s;
    }

    // 67. A scrolling block around everything.
    if (options.pagescroll) {
        before.prepend(u"<div style=\"width:100%;overflow:auto;\">"_s);
        after += u"</div>"_s;
    }

    // 68. The wrappers nest scroll block, border, frame; the body is copied once.
    QString framed;
    framed.reserve(before.size() + body.size() + after.size());
    framed += before;
    framed += body;
    framed += after;
    return framed;
}
