#include "capture/clsCapture.h"

#include "capture/cCapturePublicCls.h"
#include "capture/frmCapture.h"
#include "common/Events.h"

#include <QGuiApplication>
#include <QScreen>
#include <cstdio>

clsCapture::clsCapture(const QString& lang, QObject* parent) : QObject(parent), m_lang(lang) {
    CaptureTimer.setInterval(100);
    connect(&CaptureTimer, &QTimer::timeout, this, &clsCapture::CaptureTimer_Timer);
}

clsCapture::~clsCapture() {
    CaptureTimer.stop();
    if (m_prompt == nullptr)
        return;
    // Inside the overlay's loop the prompt is still on the stack of its own click, and a
    // deferred delete could run in that very loop.
    if (m_prompt->overlayRunning())
        m_prompt->DeleteWhenDone();
    else
        delete m_prompt.data();
}

frmCapture* clsCapture::prompt() const {
    return m_prompt;
}

bool clsCapture::Capture() {
    LetPendingEventsRun();
    const QString failure = cCapturePublicCls::WhyScreenCannotBeRead();
    if (!failure.isEmpty()) {
        std::fprintf(stderr, "tessary: %s; the capture is cancelled\n", qPrintable(failure));
        emit ReturnValue(QStringLiteral("cancel"));
        return false;
    }
    if (frmCapture* open = frmCapture::FindOpen()) {
        if (open->isVisible()) {
            open->raise();
            open->activateWindow();
        }
        emit ReturnValue(QStringLiteral("cancel"));
        return false;
    }
    m_prompt = new frmCapture(m_lang);
    connect(m_prompt, &frmCapture::Replied, this,
            [this](const QString& reply) { m_captureReply = reply; });
    const QRect screen = QGuiApplication::primaryScreen()->geometry();
    m_prompt->move(screen.x() + (screen.width() - m_prompt->width()) / 2,
                   screen.y() + (screen.height() - m_prompt->height()) / 2);
    m_prompt->show();
    m_prompt->raise();
    m_captureReply.clear();
    CaptureTimer.start();
    return true;
}

void clsCapture::CaptureTimer_Timer() {
    if (m_captureReply.isEmpty())
        return;
    CaptureTimer.stop();
    emit ReturnValue(m_captureReply);
}
