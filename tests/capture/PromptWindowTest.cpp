// The prompt and the controls it is made of: the shaped window, the themed button, the
// close image and the language of its texts.
#include "PointerEvents.h"
#include "capture/CaptureTexts.h"
#include "capture/frmCapture.h"
#include "capture/ucButton.h"
#include "capture/ucTransForm.h"

#include <gtest/gtest.h>

namespace {

// A window that shows a picture, as the prompt does, here as a dynamic property.
class PictureWindow : public QWidget {
public:
    explicit PictureWindow(const QImage& picture)
        : QWidget(nullptr, Qt::Window | Qt::FramelessWindowHint) {
        setProperty("Picture", picture);
    }
};

QImage Picture(const QStringList& rows) {
    QImage image(int(rows.value(0).size()), int(rows.size()), QImage::Format_RGB888);
    for (int y = 0; y < rows.size(); ++y)
        for (int x = 0; x < rows[y].size(); ++x)
            image.setPixelColor(x, y, rows[y][x] == 'M' ? QColor(255, 0, 0) : QColor(255, 0, 1));
    return image;
}

TEST(ShapedWindow, CutsAwayExactlyTheMaskColouredPixels) {
    // A colour one step from the mask stays; only the exact colour is cut.
    PictureWindow window(Picture({"MM..", "M...", "...M"}));
    ucTransForm shape(&window);
    shape.setMaskColor(0x0000FF);
    shape.Refresh();
    EXPECT_EQ(window.size(), QSize(4, 3));
    QRegion expected = QRegion(2, 0, 2, 1) + QRegion(1, 1, 3, 1) + QRegion(0, 2, 3, 1);
    EXPECT_TRUE((window.mask() ^ expected).isEmpty());

    shape.setTransparent(false);
    EXPECT_TRUE(window.mask().isEmpty());
    shape.setTransparent(true);
    EXPECT_TRUE((window.mask() ^ expected).isEmpty());
}

TEST(ShapedWindow, APictureWithoutMaskColourKeepsTheWholeRectangle) {
    PictureWindow window(Picture({"....", "...."}));
    window.resize(50, 50);
    ucTransForm shape(&window);
    shape.setMaskColor(0x0000FF);
    shape.Refresh();
    EXPECT_EQ(window.size(), QSize(4, 2));
    EXPECT_TRUE((window.mask() ^ QRegion(0, 0, 4, 2)).isEmpty());
}

TEST(ShapedWindow, DragsByTheBodyOnlyWhenAllowedAndNeverFromAChild) {
    PictureWindow window(QImage(100, 60, QImage::Format_RGB888));
    QWidget child(&window);
    child.setGeometry(50, 0, 50, 60);
    window.move(200, 200);
    window.show();
    ucTransForm shape(&window);
    PointerEvents pointer(&window);
    // A press at `from` moved by (30, 20); how far the window went.
    const auto dragBody = [&](QWidget* target, QPoint from = {10, 10}) {
        const QPoint before = window.pos();
        pointer.press(target, from);
        pointer.move(target, from + QPoint(30, 20));
        pointer.release(target, from + QPoint(30, 20));
        return window.pos() - before;
    };
    EXPECT_EQ(dragBody(&window), QPoint(30, 20));
    EXPECT_EQ(dragBody(&child, {60, 10}), QPoint(0, 0));
    shape.setTransparent(false);
    EXPECT_EQ(dragBody(&window), QPoint(0, 0));
    shape.setAutoDrag(1);
    EXPECT_EQ(dragBody(&window), QPoint(30, 20));
}

TEST(ThemedButton, ClicksOnlyWhenReleasedOverItAndNeverWhenDisabled) {
    QWidget window;
    window.resize(200, 100);
    ucButton button(&window);
    button.setGeometry(10, 10, 97, 28);
    window.show();
    int clicks = 0;
    QObject::connect(&button, &ucButton::Click, [&clicks] { ++clicks; });
    PointerEvents pointer(&window);

    pointer.press(&button, {20, 20});
    EXPECT_EQ(button.visualState(), ucButton::Pressed);
    pointer.move(&button, {150, 80});
    pointer.release(&button, {150, 80});
    EXPECT_EQ(clicks, 0);

    pointer.click(&button, {20, 20});
    EXPECT_EQ(clicks, 1);
    EXPECT_EQ(button.visualState(), ucButton::Hot);

    button.setButtonType(1);
    pointer.click(&button, {20, 20});
    EXPECT_TRUE(button.Value());
    EXPECT_EQ(button.visualState(), ucButton::Pressed);

    button.setEnabled(false);
    pointer.click(&button, {20, 20});
    EXPECT_EQ(clicks, 2);
    EXPECT_EQ(button.visualState(), ucButton::Disabled);
}

TEST(Prompt, SpeaksThePageLanguageAndFitsItsTexts) {
    frmCapture chinese(QStringLiteral("zh-tw"));
    EXPECT_EQ(chinese.cmdOk()->Caption(), "開始截屏");
    EXPECT_EQ(chinese.lblTitle()->text(), "截屏");
    EXPECT_EQ(chinese.lblAlt()->text(), "請將您要截取的視窗調到最前");
    EXPECT_EQ(chinese.windowTitle(), "Capture_Screen_Tessary_ActiveX");
    EXPECT_EQ(chinese.cmdOk()->geometry(), QRect(72, 64, 97, 28));

    for (const QString lang : {"en", "zh-cn", "zh-tw"}) {
        frmCapture prompt(lang);
        EXPECT_EQ(prompt.size(), QSize(250, 110));
        // The texts stay inside the shape, clear of the button.
        const QRect shape = prompt.mask().boundingRect();
        EXPECT_TRUE(shape.contains(prompt.lblAlt()->geometry())) << lang.toStdString();
        EXPECT_LE(prompt.lblAlt()->geometry().bottom(), 63) << lang.toStdString();
        // The skin's corners are cut away, its body kept.
        EXPECT_FALSE(prompt.mask().contains(QPoint(0, 0)));
        EXPECT_TRUE(prompt.mask().contains(QPoint(125, 55)));
    }
}

TEST(Prompt, TheCloseImageLightsUpUnderThePointerAndCancels) {
    frmCapture prompt(QStringLiteral("en"));
    prompt.show();
    QStringList replies;
    QObject::connect(&prompt, &frmCapture::Replied,
                     [&replies](const QString& reply) { replies << reply; });
    PointerEvents pointer(&prompt);
    const QImage normal = prompt.imgClose()->pixmap().toImage();
    pointer.move(prompt.imgClose(), {230, 10});
    EXPECT_NE(prompt.imgClose()->pixmap().toImage(), normal);
    pointer.move(&prompt, {100, 100});
    EXPECT_EQ(prompt.imgClose()->pixmap().toImage(), normal);

    pointer.click(prompt.imgClose(), {230, 10});
    EXPECT_EQ(replies, QStringList{"cancel"});
    EXPECT_FALSE(prompt.isVisible());
    EXPECT_EQ(frmCapture::FindOpen(), nullptr);
}

} // namespace
