#pragma once

#include <QString>

struct PageFrameOptions {
    bool pagewidth = false;
    bool pagemargin = false;
    bool pageeffect = false;
    bool pagescroll = false;
};

// Wraps a Word body in a frame as wide as the document's page, read from the @page
// rule's size ("595.3pt 841.9pt") and margin ("72.0pt 90.0pt 72.0pt 90.0pt") texts. A
// page set-up that does not give three numbers leaves the body unframed.
QString WrapInPageFrame(QString body, const QString& pageSize, const QString& pageMargin,
                        const PageFrameOptions& options);
