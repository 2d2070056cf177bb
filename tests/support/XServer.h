#pragma once

#include <QProcess>
#include <QProcessEnvironment>
#include <QString>

// A private Xvfb for one test process: it picks a free display number itself
// (-displayfd), so test binaries that CTest runs side by side never meet on one display.
// DISPLAY points at it while the object lives; Wayland variables are cleared so Qt and
// the peers (xclip, browsers) all use this X server.
class PrivateXServer {
public:
    explicit PrivateXServer(const QString& screen = QStringLiteral("1280x1024x24"));
    ~PrivateXServer();
    PrivateXServer(const PrivateXServer&) = delete;
    PrivateXServer& operator=(const PrivateXServer&) = delete;

    bool isRunning() const { return !m_display.isEmpty(); }
    // ":N", or empty when Xvfb could not start.
    QString display() const { return m_display; }

private:
    QProcess m_process;
    QString m_display;
    QByteArray m_previousDisplay;
};

// The environment for a child that starts Qt on the X server (tessary script, owners of
// the clipboard): without the offscreen platform of the test processes, and without
// AddressSanitizer's strict string checks, which flag a length-bounded strndup of keymap
// names inside libxkbcommon-x11 during Qt's X11 start (outside our code).
QProcessEnvironment DesktopChildEnvironment();
