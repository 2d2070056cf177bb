#pragma once

#include <QByteArray>
#include <optional>

// The files the host serves to browsers: the demo editor, the page library and the
// channel's own script, all compiled into the program.
struct PageFile {
    QByteArray contentType;
    QByteArray content;
};

// nullopt for any other path.
std::optional<PageFile> FindPageFile(const QByteArray& path);
