#pragma once

#include <QString>

// Pieces that the Word and Excel clean-ups share. Each is one named step of both
// pipelines; the pipelines call them in their own order.

// Position of an ASCII marker such as "</head>", compared without regard to ASCII case
// (as a search in a lower-cased copy finds it), or -1.
qsizetype FindMarker(const QString& text, QLatin1StringView marker);
qsizetype FindLastMarker(const QString& text, QLatin1StringView marker);

// The head is what comes before the first "</head>" (all of the text without one), the
// text what comes after it; the head loses the Office conditional comments.
void SplitAtHeadEnd(QString& text, QString& head);

// Conditional comments addressed to Office versions ("<!--[if gte mso 9]>"), with
// everything inside them.
void DeleteOfficeConditionalComments(QString& head);

// Style sheet: every "mso-" property.
void DeleteOfficeStyleProperties(QString& styleText);

// Body: the blocks Word and Excel write for Office alone ("<!--[if mso ...]>").
void DeleteOfficeOnlyBlocks(QString& text);

// Body: the non-VML fallbacks of drawings ("<![if !vml]>...<![endif]>"), either keeping
// their content or deleting it.
void UnwrapVmlFallbacks(QString& text);
void DeleteVmlFallbacks(QString& text);

// Every match of `pattern` in `head`, in order, joined with CR LF.
QString CollectStyleElements(const QString& head, const QString& pattern);

// Style sheet: deletes the smart-tag behaviour rule, the VML behaviour rules when
// `withoutVml`, comment marks, comments of plain words, and every at-rule with a block.
QString DeleteBehavioursCommentsAndAtRules(QString styleText, bool withoutVml);

// Style sheet: deletes rules left empty and lays the rest out one per line, without
// blanks between declarations, trimmed.
QString TidyStyleRules(QString styleText);

// The style sheet result: the style text inside a style element with the generator line.
QString WrapStyleSheet(const QString& styleText);

// Narrows the text to the body's content: after "<body" and the next ">", before the last
// "</body>". Missing markers leave the text as it is.
QString ExtractBodyContent(QString text);

// Deletes every tag whose text after "<" does not begin with an entry of `keepList`
// ("p|/p|br" keeps p, pre, param, br...); the entries are lower-case ASCII.
void DeleteTagsNotKept(QString& text, const QString& keepList);

// Mode 1: Office-only properties leave the style attributes, empty style attributes,
// lang attributes and VML shape references go.
QString StripOfficeAttributes(QString text);

// Mode 2: class, style and lang attributes and VML shape references go.
QString StripFormattingAttributes(QString text);

// Runs of blanks inside tags become one blank, a blank before ">" goes.
QString CollapseBlanksInTags(QString text);
