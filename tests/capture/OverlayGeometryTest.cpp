// The overlay's rules on its real widgets: dragging out, handles and edges, crossing,
// moving against the screen's edges, the size label, the hint, and how it ends.
#include "PointerEvents.h"
#include "ScreenPattern.h"
#include "capture/CaptureTexts.h"
#include "capture/frmCaptureRectangle.h"
#include "tests/support/TestSupport.h"

#include <QClipboard>
#include <QGuiApplication>
#include <gtest/gtest.h>
#include <memory>

namespace {

class Overlay : public ::testing::Test {
protected:
    void SetUp() override {
        overlay = std::make_unique<frmCaptureRectangle>(QStringLiteral("en"));
        overlay->setScreenPicture(QPixmap::fromImage(ScreenPattern(400, 300)));
        overlay->show();
        pointer = std::make_unique<PointerEvents>(overlay->picScreen());
    }
    QWidget* screen() const { return overlay->picScreen(); }
    QPoint cornerCentre(int index) const {
        return overlay->picCorner(index)->geometry().topLeft() + QPoint(2, 2);
    }
    // The rectangle (100, 80) to (300, 230), made by a drag on the bare screen.
    void drawRectangle() { pointer->drag(screen(), {100, 80}, {300, 230}); }

    std::unique_ptr<frmCaptureRectangle> overlay;
    std::unique_ptr<PointerEvents> pointer;
};

TEST_F(Overlay, DraggingInAnyDirectionGivesTheSameRectangle) {
    const QPoint a(100, 80);
    const QPoint b(300, 230);
    const QPoint corners[4][2] = {{a, b}, {b, a}, {{300, 80}, {100, 230}}, {{100, 230}, {300, 80}}};
    for (const auto& drag : corners) {
        overlay->setScreenPicture(QPixmap::fromImage(ScreenPattern(400, 300)));
        pointer->click(screen(), {10, 10}, Qt::RightButton);
        SetUp();
        pointer->drag(screen(), drag[0], drag[1]);
        EXPECT_TRUE(overlay->selectionMade());
        EXPECT_EQ(overlay->edgeRectangle(), QRect(100, 80, 200, 150));
        EXPECT_EQ(overlay->imgSelection()->geometry(), QRect(100, 80, 200, 150));
        EXPECT_EQ(overlay->lblSize()->text(), "200x150");
        // Handles are centred on the corners and the middles of the sides.
        const QPoint handles[8] = {{98, 78},   {98, 153},  {98, 228}, {198, 228},
                                   {298, 228}, {298, 153}, {298, 78}, {198, 78}};
        for (int i = 0; i < 8; ++i)
            EXPECT_EQ(overlay->picCorner(i)->pos(), handles[i]) << "handle " << i;
    }
}

TEST_F(Overlay, PressAndReleaseWithoutMovingMakesNoSelection) {
    pointer->click(screen(), {50, 50});
    EXPECT_FALSE(overlay->selectionMade());
    EXPECT_FALSE(overlay->imgSelection()->isVisible());
    // Nothing is left under the pointer to catch the second press of a double-click.
    EXPECT_EQ(overlay->picScreen()->childAt(50, 50), nullptr);
    // The next drag starts afresh.
    drawRectangle();
    EXPECT_EQ(overlay->edgeRectangle(), QRect(100, 80, 200, 150));
}

TEST_F(Overlay, SizeLabelSitsAboveTheRectangleOrInsideNearTheTop) {
    drawRectangle();
    const int height = overlay->lblSize()->height();
    EXPECT_EQ(overlay->lblSize()->pos(), QPoint(102, 80 - height - 2));

    pointer->click(screen(), {10, 10}, Qt::RightButton);
    pointer->drag(screen(), {20, height}, {60, 100});
    EXPECT_EQ(overlay->lblSize()->pos(), QPoint(22, height + 2));
    EXPECT_EQ(overlay->lblSize()->text(), QStringLiteral("40x%1").arg(100 - height));

    pointer->click(screen(), {10, 10}, Qt::RightButton);
    pointer->drag(screen(), {20, height + 2}, {60, 100});
    EXPECT_EQ(overlay->lblSize()->pos(), QPoint(22, 0));
}

TEST_F(Overlay, HandleDraggedAcrossTheOppositeEdgeSwapsTheEdges) {
    drawRectangle();
    QWidget* right = overlay->picCorner(5);
    const QPoint start = cornerCentre(5);
    pointer->press(right, start);
    pointer->move(right, {200, start.y()});
    pointer->move(right, {40, start.y()});
    // While crossed, every handle stays with its own edge.
    EXPECT_EQ(overlay->picLine(3)->x(), 40);
    EXPECT_EQ(overlay->picCorner(5)->x(), 38);
    EXPECT_EQ(overlay->picCorner(1)->x(), 98);
    EXPECT_EQ(overlay->lblSize()->text(), "60x150");
    EXPECT_EQ(overlay->lblSize()->x(), 42);
    pointer->release(right, {40, start.y()});

    EXPECT_EQ(overlay->edgeRectangle(), QRect(40, 80, 60, 150));
    EXPECT_EQ(overlay->imgSelection()->geometry(), QRect(40, 80, 60, 150));
    EXPECT_EQ(overlay->picCorner(0)->pos(), QPoint(38, 78));
    EXPECT_EQ(overlay->picCorner(2)->pos(), QPoint(38, 228));
    EXPECT_EQ(overlay->picCorner(4)->pos(), QPoint(98, 228));
    EXPECT_EQ(overlay->picCorner(6)->pos(), QPoint(98, 78));
}

TEST_F(Overlay, CornerHandlesAndEdgesFollowThePointer) {
    drawRectangle();
    // The top-left handle, taken off its centre, moves both of its edges by the pointer's
    // travel, past the bottom edge.
    QWidget* topLeft = overlay->picCorner(0);
    pointer->press(topLeft, {99, 79});
    pointer->move(topLeft, {159, 299});
    pointer->release(topLeft, {159, 299});
    EXPECT_EQ(overlay->edgeRectangle(), QRect(160, 230, 140, 70));
    EXPECT_EQ(overlay->picCorner(0)->pos(), QPoint(158, 228));
    EXPECT_EQ(overlay->picCorner(4)->pos(), QPoint(298, 298));

    // An edge line moves only itself, along its own axis.
    QWidget* bottom = overlay->picLine(2);
    pointer->press(bottom, {200, 300});
    pointer->move(bottom, {260, 280});
    pointer->release(bottom, {260, 280});
    EXPECT_EQ(overlay->edgeRectangle(), QRect(160, 230, 140, 50));
    EXPECT_EQ(overlay->lblSize()->text(), "140x50");
}

TEST_F(Overlay, MovingTheSelectionStopsAtTheScreenEdges) {
    drawRectangle();
    QWidget* selection = overlay->imgSelection();
    const QPoint labelBefore = overlay->lblSize()->pos();
    pointer->drag(selection, {150, 150}, {-100, 120});
    EXPECT_EQ(overlay->edgeRectangle(), QRect(0, 50, 200, 150));
    EXPECT_EQ(overlay->imgSelection()->geometry(), QRect(0, 50, 200, 150));
    EXPECT_EQ(overlay->lblSize()->pos(), labelBefore + QPoint(-100, -30));
    EXPECT_EQ(overlay->picCorner(4)->pos(), QPoint(198, 198));

    pointer->drag(selection, {50, 100}, {1000, 1000});
    EXPECT_EQ(overlay->edgeRectangle(), QRect(200, 150, 200, 150));
    pointer->drag(selection, {300, 200}, {300, -500});
    EXPECT_EQ(overlay->edgeRectangle(), QRect(200, 0, 200, 150));
}

TEST_F(Overlay, RightClickClearsASelectionAndTheHintChangesBack) {
    pointer->move(screen(), {30, 40});
    EXPECT_TRUE(overlay->lblAlt()->isVisible());
    EXPECT_EQ(overlay->lblAlt()->pos(), QPoint(30, 62));
    EXPECT_EQ(overlay->lblAlt()->text(),
              "left-click and drag to select the region\nright-click to cancel");
    drawRectangle();
    pointer->move(screen(), {350, 250});
    EXPECT_EQ(overlay->lblAlt()->text(), "double left-click to finish\nright-click to cancel");
    // Over the selection the hint goes away.
    pointer->move(overlay->imgSelection(), {150, 150});
    EXPECT_FALSE(overlay->lblAlt()->isVisible());

    pointer->click(overlay->imgSelection(), {150, 150}, Qt::RightButton);
    EXPECT_FALSE(overlay->selectionMade());
    EXPECT_FALSE(overlay->picLine(0)->isVisible());
    EXPECT_FALSE(overlay->picCorner(4)->isVisible());
    pointer->move(screen(), {150, 150});
    EXPECT_EQ(overlay->lblAlt()->text(),
              "left-click and drag to select the region\nright-click to cancel");
    EXPECT_TRUE(overlay->Tag().isEmpty());
}

TEST_F(Overlay, HintSpeaksThePageLanguage) {
    overlay = std::make_unique<frmCaptureRectangle>(QStringLiteral("zh-tw"));
    overlay->setScreenPicture(QPixmap::fromImage(ScreenPattern(400, 300)));
    pointer = std::make_unique<PointerEvents>(overlay->picScreen());
    drawRectangle();
    pointer->move(screen(), {350, 250});
    EXPECT_EQ(overlay->lblAlt()->text(), "按兩下左鍵完成截圖\n按右鍵重選截圖區域");
    EXPECT_EQ(HintTextFor("zh-cn", false), "按住左键不放选择截图区域\r\n按右键退出");
}

TEST_F(Overlay, DoubleClickOnTheBareScreenBeforeASelectionCancels) {
    pointer->doubleClick(screen(), {120, 120});
    EXPECT_EQ(overlay->Tag(), "cancel");
    EXPECT_FALSE(overlay->isVisible());
}

TEST_F(Overlay, RightClickOnTheBareScreenBeforeASelectionCancels) {
    pointer->click(screen(), {120, 120}, Qt::RightButton);
    EXPECT_EQ(overlay->Tag(), "cancel");
}

TEST_F(Overlay, DoubleClickAfterASelectionPutsExactlyThatRegionOnTheClipboard) {
    QGuiApplication::clipboard()->setText("what was there before");
    drawRectangle();
    pointer->drag(overlay->imgSelection(), {150, 150}, {160, 145});
    pointer->doubleClick(screen(), {380, 290});
    ASSERT_EQ(overlay->Tag(), "ok");
    const QImage captured = QGuiApplication::clipboard()->image();
    EXPECT_EQ(captured.convertToFormat(QImage::Format_RGB32),
              ScreenPattern(400, 300).copy(110, 75, 200, 150));
    EXPECT_TRUE(QGuiApplication::clipboard()->text().isEmpty());
}

TEST_F(Overlay, ARectangleWithoutWidthEndsAsCancel) {
    pointer->drag(screen(), {100, 80}, {100, 200});
    ASSERT_TRUE(overlay->selectionMade());
    pointer->doubleClick(overlay->imgSelection(), {100, 100});
    EXPECT_EQ(overlay->Tag(), "cancel");
}

TEST_F(Overlay, OnlyPixelsOfTheScreenAreCaptured) {
    // A handle reaches a little past the pointer's range, so an edge can leave the screen.
    drawRectangle();
    QWidget* bottomRight = overlay->picCorner(4);
    pointer->press(bottomRight, {298, 228});
    pointer->move(bottomRight, {399, 299});
    pointer->release(bottomRight, {399, 299});
    EXPECT_EQ(overlay->edgeRectangle(), QRect(100, 80, 301, 221));
    pointer->doubleClick(overlay->imgSelection(), {200, 200});
    ASSERT_EQ(overlay->Tag(), "ok");
    EXPECT_EQ(QGuiApplication::clipboard()->image().convertToFormat(QImage::Format_RGB32),
              ScreenPattern(400, 300).copy(100, 80, 300, 220));
}

} // namespace
