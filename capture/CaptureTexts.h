#pragma once

#include <QString>

// What the capture windows say, by the page's language code ("zh-cn", "zh-tw", else English).
struct PromptTexts {
    QString title;
    QString instruction;
    QString button;
};
PromptTexts PromptTextsFor(const QString& lang);

// The overlay's two-line hint, for before and after a rectangle has been drawn.
QString HintTextFor(const QString& lang, bool selectionMade);
