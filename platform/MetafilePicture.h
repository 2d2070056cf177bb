#pragma once

#include <QByteArray>
#include <QImage>

// Renders a Windows metafile, as a clipboard offers it, to a picture of the whole drawing
// at its own size, through the office engine (which reads both kinds). Raises ScriptError
// when the bytes are no metafile the office can read or the engine fails.
enum class MetafileKind { Enhanced, Picture };
QImage RenderMetafile(const QByteArray& bytes, MetafileKind kind);
