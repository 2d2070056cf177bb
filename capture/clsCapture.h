#pragma once

#include <QObject>
#include <QPointer>
#include <QString>
#include <QTimer>
#include <memory>

class frmCapture;

// One screen capture: shows the prompt and hands the outcome on in ReturnValue ("ok" with
// the region on the clipboard as a bitmap, or "cancel"). The reply always travels through
// a 100 ms poll, so the receiver runs from a timer tick after the windows are gone.
class clsCapture : public QObject {
    Q_OBJECT

public:
    explicit clsCapture(const QString& lang, QObject* parent = nullptr);
    ~clsCapture() override;

    // True when the prompt opened. False when the capture was refused (no X11 screen to
    // read, or a prompt already open, which is then brought to the front); ReturnValue
    // ("cancel") has then been raised during the call.
    bool Capture();

    QString CaptureReply() const { return m_captureReply; }
    frmCapture* prompt() const;

signals:
    void ReturnValue(const QString& s_Status);

private:
    void CaptureTimer_Timer();

    QString m_lang;
    QString m_captureReply;
    QTimer CaptureTimer;
    QPointer<frmCapture> m_prompt;
};

// The capture may be released from inside its own ReturnValue: delete it from the event loop.
struct clsCaptureRelease {
    void operator()(clsCapture* capture) const {
        if (capture)
            capture->deleteLater();
    }
};
using clsCapturePtr = std::unique_ptr<clsCapture, clsCaptureRelease>;
