#include "capture/frmCaptureRectangle.h"

#include "capture/CaptureTexts.h"
#include "capture/ScreenCursor.h"
#include "common/Events.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QMouseEvent>
#include <QScreen>
#include <utility>

namespace {

const QColor MarkColour(10, 100, 130);

// The edges each handle moves: its vertical edge (1 or 3) and its horizontal edge (0 or 2),
// -1 for none. Handles go round from the top-left corner down the left side.
struct HandleEdges {
    int vertical;
    int horizontal;
};
constexpr HandleEdges HandleTable[8] = {{1, 0}, {1, -1}, {1, 2}, {-1, 2},
                                        {3, 2}, {3, -1}, {3, 0}, {-1, 0}};

const Qt::CursorShape HandleCursors[8] = {
    Qt::SizeFDiagCursor, Qt::SizeHorCursor, Qt::SizeBDiagCursor, Qt::SizeVerCursor,
    Qt::SizeFDiagCursor, Qt::SizeHorCursor, Qt::SizeBDiagCursor, Qt::SizeVerCursor};

QWidget* MakeMark(QWidget* parent, Qt::CursorShape cursor) {
    auto* mark = new QWidget(parent);
    mark->setAutoFillBackground(true);
    QPalette palette = mark->palette();
    palette.setColor(QPalette::Window, MarkColour);
    mark->setPalette(palette);
    mark->setCursor(cursor);
    mark->setMouseTracking(true);
    mark->hide();
    return mark;
}

bool IsLeftHeld(const QMouseEvent* event) {
    return (event->buttons() & Qt::LeftButton) != 0;
}

} // namespace

frmCaptureRectangle::frmCaptureRectangle(const QString& lang, QWidget* parent)
    // Past the window manager, so that no panel, dock or other window keeps a part of the
    // frozen screen out of reach.
    : QDialog(parent, Qt::Window | Qt::FramelessWindowHint | Qt::X11BypassWindowManagerHint),
      m_lang(lang) {
    setWindowTitle(QStringLiteral("Capture_Screen_Tessary_ActiveX_Rectangle"));
    setModal(true);

    m_picScreen = new QLabel(this);
    m_picScreen->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    m_picScreen->setCursor(ScreenCursor());
    m_picScreen->setMouseTracking(true);
    m_picScreen->installEventFilter(this);

    // Created in stacking order: the selection under the marks, the labels on top.
    m_imgSelection = new QWidget(m_picScreen);
    m_imgSelection->setCursor(Qt::SizeAllCursor);
    m_imgSelection->setMouseTracking(true);
    m_imgSelection->installEventFilter(this);
    for (int i = 0; i < 4; ++i) {
        m_picLine[size_t(i)] =
            MakeMark(m_picScreen, i % 2 == 0 ? Qt::SizeVerCursor : Qt::SizeHorCursor);
        m_picLine[size_t(i)]->installEventFilter(this);
    }
    for (int i = 0; i < 8; ++i) {
        m_picCorner[size_t(i)] = MakeMark(m_picScreen, HandleCursors[i]);
        m_picCorner[size_t(i)]->installEventFilter(this);
    }

    m_lblSize = new QLabel(QStringLiteral("0x0"), m_picScreen);
    m_lblSize->setStyleSheet(QStringLiteral("QLabel { color: white; background: black; }"));
    m_lblSize->setMouseTracking(true);
    m_lblSize->installEventFilter(this);

    m_lblAlt = new QLabel(m_picScreen);
    m_lblAlt->setStyleSheet(QStringLiteral("QLabel { color: palette(window-text); background: "
                                           "rgb(255, 255, 225); border: 1px solid black; "
                                           "padding: 1px; }"));
    m_lblAlt->setAttribute(Qt::WA_TransparentForMouseEvents);
    m_lblAlt->hide();

    QScreen* screen = QGuiApplication::primaryScreen();
    setScreenPicture(QPixmap(screen != nullptr ? screen->virtualGeometry().size() : QSize()));
    Reset();
}

void frmCaptureRectangle::setScreenPicture(const QPixmap& picture) {
    m_picture = picture;
    m_screenSize = picture.size();
    m_picScreen->setPixmap(picture);
    setGeometry(QRect(QPoint(0, 0), m_screenSize));
    m_picScreen->setGeometry(QRect(QPoint(0, 0), m_screenSize));
}

QRect frmCaptureRectangle::edgeRectangle() const {
    const int left = m_picLine[0]->x();
    const int top = m_picLine[0]->y();
    return QRect(left, top, m_picLine[3]->x() - left, m_picLine[2]->y() - top);
}

void frmCaptureRectangle::Reset() {
    for (QWidget* line : m_picLine)
        line->hide();
    for (QWidget* corner : m_picCorner)
        corner->hide();
    m_imgSelection->hide();
    m_lblSize->hide();
    m_pressed = false;
    m_selectionMade = false;
    m_moved = false;
}

void frmCaptureRectangle::PlaceHandles(int left, int top, int right, int bottom) {
    int a = left - 2;
    int c = right - 2;
    const int midX = a + (c - a) / 2;
    int b = top - 2;
    int d = bottom - 2;
    const int midY = b + (d - b) / 2;
    // Handles stay with their own edges while edges cross during a drag.
    if (m_picLine[0]->y() > m_picLine[2]->y())
        std::swap(b, d);
    if (m_picLine[1]->x() > m_picLine[3]->x())
        std::swap(a, c);
    const QPoint at[8] = {{a, b}, {a, midY}, {a, d}, {midX, d},
                          {c, d}, {c, midY}, {c, b}, {midX, b}};
    for (int i = 0; i < 8; ++i)
        m_picCorner[size_t(i)]->move(at[i]);
}

void frmCaptureRectangle::SetSizeText(int width, int height) {
    m_lblSize->setText(QStringLiteral("%1x%2").arg(width).arg(height));
    m_lblSize->adjustSize();
}

void frmCaptureRectangle::PlaceSizeLabel(int left, int top, int width, int height) {
    SetSizeText(width, height);
    const int above = top - m_lblSize->height() - 2;
    m_lblSize->move(left + 2, above >= 0 ? above : top + 2);
}

void frmCaptureRectangle::ShowHint(QPoint at) {
    m_lblAlt->setText(
        HintTextFor(m_lang, m_selectionMade).replace(QLatin1String("\r\n"), QLatin1String("\n")));
    m_lblAlt->adjustSize();
    m_lblAlt->move(at.x(), at.y() + 22);
    m_lblAlt->show();
    m_lblAlt->raise();
}

void frmCaptureRectangle::HideHint() {
    m_lblAlt->hide();
}

bool frmCaptureRectangle::eventFilter(QObject* watched, QEvent* event) {
    const QEvent::Type type = event->type();
    if (type != QEvent::MouseButtonPress && type != QEvent::MouseMove &&
        type != QEvent::MouseButtonRelease && type != QEvent::MouseButtonDblClick)
        return QDialog::eventFilter(watched, event);
    auto* mouse = static_cast<QMouseEvent*>(event);
    auto* part = static_cast<QWidget*>(watched);
    const QPoint at = part->mapTo(m_picScreen, mouse->position().toPoint());

    if (watched == m_lblSize) {
        if (type == QEvent::MouseMove)
            HideHint();
        return true;
    }
    if (watched == m_picScreen) {
        if (type == QEvent::MouseButtonPress)
            screenPress(mouse, at);
        else if (type == QEvent::MouseMove)
            screenMove(mouse, at);
        else if (type == QEvent::MouseButtonRelease)
            screenRelease(mouse, at);
        else if (mouse->button() == Qt::LeftButton)
            m_selectionMade ? Finish() : Cancel();
        return true;
    }
    if (watched == m_imgSelection) {
        if (type == QEvent::MouseButtonPress)
            selectionPress(mouse, at);
        else if (type == QEvent::MouseMove)
            selectionMove(mouse, at);
        else if (type == QEvent::MouseButtonRelease)
            selectionRelease(mouse);
        else if (mouse->button() == Qt::LeftButton)
            Finish();
        return true;
    }
    // A handle or an edge line. A double-click there counts as its second press.
    if (type == QEvent::MouseButtonPress || type == QEvent::MouseButtonDblClick)
        reshapePress(mouse);
    else if (type == QEvent::MouseMove)
        reshapeMove(part, mouse);
    else
        reshapeRelease(mouse);
    return true;
}

void frmCaptureRectangle::screenPress(QMouseEvent* event, QPoint at) {
    if (event->button() != Qt::LeftButton || m_selectionMade)
        return;
    HideHint();
    m_pressed = true;
    m_moved = false;
    for (QWidget* line : m_picLine) {
        line->setGeometry(at.x(), at.y(), 1, 1);
        line->show();
    }
    for (QWidget* corner : m_picCorner) {
        corner->setGeometry(at.x() - 2, at.y() - 2, HandleSize, HandleSize);
        corner->show();
    }
    m_lblSize->setText(QString());
    m_lblSize->adjustSize();
    m_lblSize->show();
    m_last = at;
}

void frmCaptureRectangle::screenMove(QMouseEvent* event, QPoint at) {
    if (!m_pressed) {
        ShowHint(at);
        return;
    }
    if (!IsLeftHeld(event) || m_selectionMade)
        return;
    m_moved = true;
    const int left = std::min(at.x(), m_last.x());
    const int right = std::max(at.x(), m_last.x());
    const int top = std::min(at.y(), m_last.y());
    const int bottom = std::max(at.y(), m_last.y());
    m_picLine[0]->setGeometry(left, top, right - left, 1);
    m_picLine[1]->setGeometry(left, top, 1, bottom - top);
    m_picLine[2]->setGeometry(left, bottom, right - left, 1);
    m_picLine[3]->setGeometry(right, top, 1, bottom - top);
    PlaceHandles(left, top, right, bottom);
    PlaceSizeLabel(left, top, right - left, bottom - top);
}

void frmCaptureRectangle::screenRelease(QMouseEvent* event, QPoint at) {
    if (event->button() == Qt::RightButton) {
        if (m_selectionMade) {
            Reset();
            ShowHint(at);
        } else {
            Cancel();
        }
        return;
    }
    if (event->button() != Qt::LeftButton || !m_pressed || m_selectionMade)
        return;
    if (m_moved) {
        LaySelectionOverEdges();
        m_selectionMade = true;
    } else {
        // Marks left at a bare click would sit under the pointer and take the second
        // press of a double-click away from the screen.
        Reset();
    }
    m_pressed = false;
}

void frmCaptureRectangle::LaySelectionOverEdges() {
    m_imgSelection->setGeometry(m_picLine[0]->x(), m_picLine[0]->y(), m_picLine[0]->width(),
                                m_picLine[1]->height());
    m_imgSelection->show();
}

void frmCaptureRectangle::selectionPress(QMouseEvent* event, QPoint at) {
    if (event->button() != Qt::LeftButton)
        return;
    m_pressed = true;
    m_moved = false;
    m_last = at;
}

void frmCaptureRectangle::selectionMove(QMouseEvent* event, QPoint at) {
    HideHint();
    if (!m_pressed || !IsLeftHeld(event))
        return;
    m_moved = true;
    int dx = at.x() - m_last.x();
    int dy = at.y() - m_last.y();
    // The selection stops at the screen's edges; the right and bottom edges may reach the
    // screen's width and height, as they lie just outside the captured pixels.
    if (m_picLine[3]->x() + dx > m_screenSize.width())
        dx = m_screenSize.width() - m_picLine[3]->x();
    else if (m_picLine[1]->x() + dx < 0)
        dx = -m_picLine[1]->x();
    if (m_picLine[2]->y() + dy > m_screenSize.height())
        dy = m_screenSize.height() - m_picLine[2]->y();
    else if (m_picLine[0]->y() + dy < 0)
        dy = -m_picLine[0]->y();
    const QPoint shift(dx, dy);
    m_lblSize->move(m_lblSize->pos() + shift);
    for (QWidget* line : m_picLine)
        line->move(line->pos() + shift);
    for (QWidget* corner : m_picCorner)
        corner->move(corner->pos() + shift);
    m_last = at;
}

void frmCaptureRectangle::selectionRelease(QMouseEvent* event) {
    if (event->button() == Qt::RightButton) {
        Reset();
        return;
    }
    if (event->button() != Qt::LeftButton || !m_pressed)
        return;
    m_pressed = false;
    if (m_moved)
        m_imgSelection->move(m_picLine[0]->pos());
}

void frmCaptureRectangle::reshapePress(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton)
        return;
    m_pressed = true;
    m_moved = false;
    m_grip = event->position().toPoint();
}

void frmCaptureRectangle::reshapeMove(QWidget* part, QMouseEvent* event) {
    HideHint();
    if (!m_pressed || !IsLeftHeld(event))
        return;
    const QPoint delta = event->position().toPoint() - m_grip;
    for (int i = 0; i < 8; ++i) {
        if (part != m_picCorner[size_t(i)])
            continue;
        if (HandleTable[i].vertical >= 0)
            MoveVerticalEdge(HandleTable[i].vertical, delta.x());
        if (HandleTable[i].horizontal >= 0)
            MoveHorizontalEdge(HandleTable[i].horizontal, delta.y());
        return;
    }
    for (int i = 0; i < 4; ++i) {
        if (part != m_picLine[size_t(i)])
            continue;
        if (i % 2 == 1)
            MoveVerticalEdge(i, delta.x());
        else
            MoveHorizontalEdge(i, delta.y());
        return;
    }
}

void frmCaptureRectangle::MoveVerticalEdge(int edge, int dx) {
    if (dx == 0)
        return;
    m_moved = true;
    QWidget* moving = m_picLine[size_t(edge)];
    moving->move(moving->x() + dx, moving->y());
    const int left = std::min(m_picLine[1]->x(), m_picLine[3]->x());
    const int right = std::max(m_picLine[1]->x(), m_picLine[3]->x());
    const int width = right - left;
    m_picLine[0]->setGeometry(left, m_picLine[0]->y(), width, 1);
    m_picLine[2]->setGeometry(left, m_picLine[2]->y(), width, 1);
    SetSizeText(width, m_picLine[1]->height());
    m_lblSize->move(left + 2, m_lblSize->y());
    PlaceHandles(left, std::min(m_picLine[0]->y(), m_picLine[2]->y()), right,
                 std::max(m_picLine[0]->y(), m_picLine[2]->y()));
}

void frmCaptureRectangle::MoveHorizontalEdge(int edge, int dy) {
    if (dy == 0)
        return;
    m_moved = true;
    QWidget* moving = m_picLine[size_t(edge)];
    moving->move(moving->x(), moving->y() + dy);
    const int top = std::min(m_picLine[0]->y(), m_picLine[2]->y());
    const int bottom = std::max(m_picLine[0]->y(), m_picLine[2]->y());
    const int height = bottom - top;
    m_picLine[1]->setGeometry(m_picLine[1]->x(), top, 1, height);
    m_picLine[3]->setGeometry(m_picLine[3]->x(), top, 1, height);
    PlaceSizeLabel(m_lblSize->x() - 2, top, m_picLine[0]->width(), height);
    PlaceHandles(std::min(m_picLine[1]->x(), m_picLine[3]->x()), top,
                 std::max(m_picLine[1]->x(), m_picLine[3]->x()), bottom);
}

void frmCaptureRectangle::reshapeRelease(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton || !m_pressed)
        return;
    m_pressed = false;
    if (!m_moved)
        return;
    if (m_picLine[1]->x() > m_picLine[3]->x()) {
        const int left = m_picLine[3]->x();
        const int right = m_picLine[1]->x();
        m_picLine[1]->move(left, m_picLine[1]->y());
        m_picLine[3]->move(right, m_picLine[3]->y());
        for (int i : {0, 1, 2})
            m_picCorner[size_t(i)]->move(left - 2, m_picCorner[size_t(i)]->y());
        for (int i : {4, 5, 6})
            m_picCorner[size_t(i)]->move(right - 2, m_picCorner[size_t(i)]->y());
    }
    if (m_picLine[0]->y() > m_picLine[2]->y()) {
        const int top = m_picLine[2]->y();
        const int bottom = m_picLine[0]->y();
        m_picLine[0]->move(m_picLine[0]->x(), top);
        m_picLine[2]->move(m_picLine[2]->x(), bottom);
        for (int i : {0, 6, 7})
            m_picCorner[size_t(i)]->move(m_picCorner[size_t(i)]->x(), top - 2);
        for (int i : {2, 3, 4})
            m_picCorner[size_t(i)]->move(m_picCorner[size_t(i)]->x(), bottom - 2);
    }
    LaySelectionOverEdges();
    m_moved = false;
}

void frmCaptureRectangle::Finish() {
    // Edges may lie a little beyond the picture (handles reach two pixels past the
    // pointer's range); only pixels of the screenshot are ever captured.
    const QRect region = edgeRectangle().normalized() & QRect(QPoint(0, 0), m_screenSize);
    if (edgeRectangle().width() == 0 || edgeRectangle().height() == 0 || region.isEmpty()) {
        Cancel();
        return;
    }
    const QImage captured = m_picture.toImage().copy(region);
    LetPendingEventsRun();
    m_pressed = false;
    QClipboard* clipboard = QGuiApplication::clipboard();
    clipboard->clear();
    LetPendingEventsRun();
    clipboard->setImage(captured);
    LetPendingEventsRun();
    m_tag = QStringLiteral("ok");
    done(QDialog::Accepted);
}

void frmCaptureRectangle::Cancel() {
    m_tag = QStringLiteral("cancel");
    done(QDialog::Rejected);
}
