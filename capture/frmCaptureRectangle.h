#pragma once

#include <QDialog>
#include <QImage>
#include <QLabel>
#include <QPixmap>
#include <QPoint>
#include <QString>
#include <array>

// The full-screen window over a frozen screenshot in which the user drags out the region
// to capture, reshapes it with eight handles or its four edges, moves it, and double-clicks
// to finish or right-clicks to clear or cancel. On finish the region of the screenshot is
// on the clipboard as a bitmap and Tag() reads "ok"; every other way out gives "cancel".
//
// The rectangle has no fields of its own: it is where the four one-pixel edge lines are.
// Edge 0 is the top, 1 the left, 2 the bottom, 3 the right; the right and bottom edges
// lie just outside the captured pixels. All positions are screen pixels.
class frmCaptureRectangle : public QDialog {
    Q_OBJECT

public:
    static constexpr int HandleSize = 5;

    explicit frmCaptureRectangle(const QString& lang, QWidget* parent = nullptr);

    // The frozen screenshot; the window covers it at its true screen position.
    void setScreenPicture(const QPixmap& picture);
    QString Tag() const { return m_tag; }

    bool selectionMade() const { return m_selectionMade; }
    // left, top (top edge), right - left, bottom - top (right and bottom edge), as the
    // edges stand; negative while edges are crossed during a drag.
    QRect edgeRectangle() const;

    QWidget* picScreen() const { return m_picScreen; }
    QWidget* picLine(int index) const { return m_picLine[size_t(index)]; }
    QWidget* picCorner(int index) const { return m_picCorner[size_t(index)]; }
    QWidget* imgSelection() const { return m_imgSelection; }
    QLabel* lblSize() const { return m_lblSize; }
    QLabel* lblAlt() const { return m_lblAlt; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void Reset();
    void PlaceHandles(int left, int top, int right, int bottom);
    void PlaceSizeLabel(int left, int top, int width, int height);
    void SetSizeText(int width, int height);
    void ShowHint(QPoint at);
    void HideHint();

    void screenPress(QMouseEvent* event, QPoint at);
    void screenMove(QMouseEvent* event, QPoint at);
    void screenRelease(QMouseEvent* event, QPoint at);
    void selectionPress(QMouseEvent* event, QPoint at);
    void selectionMove(QMouseEvent* event, QPoint at);
    void selectionRelease(QMouseEvent* event);
    void reshapePress(QMouseEvent* event);
    void reshapeMove(QWidget* part, QMouseEvent* event);
    void reshapeRelease(QMouseEvent* event);

    void MoveVerticalEdge(int edge, int dx);
    void MoveHorizontalEdge(int edge, int dy);
    void LaySelectionOverEdges();

    void Finish();
    void Cancel();

    QString m_lang;
    QString m_tag;
    QPixmap m_picture;
    QSize m_screenSize;

    QLabel* m_picScreen = nullptr;
    std::array<QWidget*, 4> m_picLine{};
    std::array<QWidget*, 8> m_picCorner{};
    QWidget* m_imgSelection = nullptr;
    QLabel* m_lblSize = nullptr;
    QLabel* m_lblAlt = nullptr;

    bool m_pressed = false;
    bool m_selectionMade = false;
    bool m_moved = false;
    QPoint m_last;
    // Where in a handle or edge the pointer took hold, so the edge follows the pointer
    // exactly instead of jumping by the pointer's offset inside the handle.
    QPoint m_grip;
};
