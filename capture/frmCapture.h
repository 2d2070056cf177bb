#pragma once

#include "capture/frmCaptureRectangle.h"

#include <QImage>
#include <QLabel>
#include <QPointer>
#include <QString>
#include <QWidget>

class ucButton;
class ucTransForm;

// The small skinned, always-on-top prompt that asks the user to bring the window to
// capture to the front. Its start button freezes the screen and opens the region overlay;
// the close image gives up. Either way it reports once through Replied and unloads.
class frmCapture : public QWidget {
    Q_OBJECT
    Q_PROPERTY(QImage Picture READ Picture)

public:
    // What a second capture looks for; never seen, as the shape leaves only the skin.
    static constexpr const char* Title = "Capture_Screen_Tessary_ActiveX";

    explicit frmCapture(const QString& lang);
    ~frmCapture() override;

    QImage Picture() const { return m_picture; }
    // A prompt of this process that has not unloaded yet (shown, or hidden for the overlay).
    static frmCapture* FindOpen();
    bool unloaded() const { return m_unloaded; }
    // True while the overlay runs in its own loop inside the start button's click.
    bool overlayRunning() const { return m_overlayRunning; }
    // For an owner that goes away while the overlay runs: the prompt deletes itself once
    // the start button's click has unwound.
    void DeleteWhenDone() { m_deleteWhenDone = true; }

    ucButton* cmdOk() const { return m_cmdOk; }
    QLabel* lblTitle() const { return m_lblTitle; }
    QLabel* lblAlt() const { return m_lblAlt; }
    QLabel* imgClose() const { return m_imgClose; }
    frmCaptureRectangle* overlay() const { return m_overlay; }

signals:
    // "ok" when a region is on the clipboard, "cancel" otherwise.
    void Replied(const QString& reply);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void cmdOk_Click();
    // Empty on success, else why the screen could not be taken.
    QString TakeScreenshot(frmCaptureRectangle& overlay);
    void Unload(const QString& reply);

    QString m_lang;
    QImage m_picture;
    QLabel* m_lblTitle = nullptr;
    QLabel* m_lblAlt = nullptr;
    ucButton* m_cmdOk = nullptr;
    QLabel* m_imgClose = nullptr;
    ucTransForm* m_ucTransForm1 = nullptr;
    QPointer<frmCaptureRectangle> m_overlay;
    bool m_unloaded = false;
    bool m_overlayRunning = false;
    bool m_deleteWhenDone = false;
};
