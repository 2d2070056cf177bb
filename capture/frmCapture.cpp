#include "capture/frmCapture.h"

#include "capture/CaptureTexts.h"
#include "capture/PromptArtwork.h"
#include "capture/cCapturePublicCls.h"
#include "capture/ucButton.h"
#include "capture/ucTransForm.h"
#include "common/Events.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QMouseEvent>
#include <QScreen>
#include <cstdio>
#include <memory>

namespace {

QFont PromptFont(bool bold) {
    QFont font(QStringLiteral("宋体"));
    font.setPointSize(9);
    font.setBold(bold);
    return font;
}

QLabel* MakeLabel(QWidget* parent, const QString& text, const QColor& colour, bool bold) {
    auto* label = new QLabel(text, parent);
    label->setFont(PromptFont(bold));
    QPalette palette = label->palette();
    palette.setColor(QPalette::WindowText, colour);
    label->setPalette(palette);
    label->setAttribute(Qt::WA_TranslucentBackground);
    label->setMouseTracking(true);
    label->adjustSize();
    return label;
}

} // namespace

frmCapture::frmCapture(const QString& lang)
    : QWidget(nullptr, Qt::Window | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint),
      m_lang(lang), m_picture(PromptSkin()) {
    setWindowTitle(QString::fromLatin1(Title));
    setAttribute(Qt::WA_ShowWithoutActivating);
    setMouseTracking(true);
    QPalette palette = this->palette();
    palette.setBrush(QPalette::Window, QPixmap::fromImage(m_picture));
    setPalette(palette);
    setAutoFillBackground(true);

    const PromptTexts texts = PromptTextsFor(lang);
    m_lblTitle = MakeLabel(this, texts.title, Qt::white, true);
    m_lblTitle->move(8, 8);
    m_lblAlt = MakeLabel(this, texts.instruction, QColor(43, 97, 186), false);
    m_lblAlt->move(48, 40);
    // A text wider than the room beside the margin would be cut off by the window's edge:
    // it then takes two lines over the window's width instead.
    if (m_lblAlt->x() + m_lblAlt->width() > m_picture.width() - 8) {
        m_lblAlt->setWordWrap(true);
        m_lblAlt->setAlignment(Qt::AlignHCenter);
        m_lblAlt->setFixedWidth(m_picture.width() - 16);
        m_lblAlt->adjustSize();
        m_lblAlt->move(8, 64 - 2 - m_lblAlt->height());
    }

    m_cmdOk = new ucButton(this);
    m_cmdOk->setFont(PromptFont(false));
    m_cmdOk->setCaption(texts.button);
    m_cmdOk->setGeometry(72, 64, 97, 28);
    connect(m_cmdOk, &ucButton::Click, this, &frmCapture::cmdOk_Click);

    m_imgClose = new QLabel(this);
    m_imgClose->setGeometry(224, 4, 19, 19);
    m_imgClose->setPixmap(CloseImagePicture(0));
    m_imgClose->setMouseTracking(true);
    m_imgClose->installEventFilter(this);
    installEventFilter(this);

    m_ucTransForm1 = new ucTransForm(this);
    m_ucTransForm1->setMaskColor(0x0000FF);
    m_ucTransForm1->Refresh();
}

frmCapture::~frmCapture() {
    delete m_overlay.data();
}

frmCapture* frmCapture::FindOpen() {
    for (QWidget* widget : QApplication::topLevelWidgets()) {
        auto* prompt = qobject_cast<frmCapture*>(widget);
        if (prompt != nullptr && !prompt->unloaded() &&
            prompt->windowTitle() == QLatin1String(Title))
            return prompt;
    }
    return nullptr;
}

bool frmCapture::eventFilter(QObject* watched, QEvent* event) {
    if (watched == m_imgClose) {
        if (event->type() == QEvent::MouseMove || event->type() == QEvent::Enter) {
            m_imgClose->setPixmap(CloseImagePicture(1));
            // The label would pass the move on to the window, which takes the light away.
            return event->type() == QEvent::MouseMove;
        }
        if (event->type() == QEvent::Leave)
            m_imgClose->setPixmap(CloseImagePicture(0));
        else if (event->type() == QEvent::MouseButtonRelease) {
            auto* mouse = static_cast<QMouseEvent*>(event);
            if (mouse->button() == Qt::LeftButton &&
                m_imgClose->rect().contains(mouse->position().toPoint()))
                Unload(QStringLiteral("cancel"));
            return true;
        }
        if (event->type() == QEvent::MouseButtonPress)
            return true;
    } else if (watched == this && event->type() == QEvent::MouseMove) {
        m_imgClose->setPixmap(CloseImagePicture(0));
    }
    return QWidget::eventFilter(watched, event);
}

void frmCapture::cmdOk_Click() {
    if (m_unloaded || m_overlayRunning)
        return;
    auto overlay = std::make_unique<frmCaptureRectangle>(m_lang);
    m_overlay = overlay.get();
    const QString failure = TakeScreenshot(*overlay);
    if (!failure.isEmpty()) {
        std::fprintf(stderr, "tessary: %s; the capture is cancelled\n", qPrintable(failure));
        overlay.reset();
        Unload(QStringLiteral("cancel"));
        return;
    }
    LetPendingEventsRun();
    m_overlayRunning = true;
    overlay->exec();
    m_overlayRunning = false;
    const QString tag = overlay->Tag();
    overlay.reset();
    Unload(tag == QLatin1String("ok") ? tag : QStringLiteral("cancel"));
    if (m_deleteWhenDone)
        deleteLater();
}

QString frmCapture::TakeScreenshot(frmCaptureRectangle& overlay) {
    const QSize screen = cCapturePublicCls::DesktopSize();
    const int left = x();
    move(left + screen.width(), y());
    LetPendingEventsRun();
    hide();
    for (int round = 0; round < 50; ++round)
        LetPendingEventsRun();
    // The windows the prompt covered belong to other programs, which repaint in their own
    // time; a moment more keeps the prompt's ghost out of the screenshot.
    QElapsedTimer settle;
    settle.start();
    while (settle.elapsed() < 200)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    const QPixmap picture =
        cCapturePublicCls::CaptureWindow(0, 0, 0, screen.width(), screen.height());
    move(left, y());
    const QString failure = cCapturePublicCls::WhyPictureIsUnusable(picture);
    if (failure.isEmpty())
        overlay.setScreenPicture(picture);
    return failure;
}

void frmCapture::Unload(const QString& reply) {
    if (m_unloaded)
        return;
    m_unloaded = true;
    if (m_overlay != nullptr && !m_overlayRunning)
        delete m_overlay.data();
    hide();
    emit Replied(reply);
}
