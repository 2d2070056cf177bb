#pragma once

#include <QImage>
#include <QObject>
#include <QPoint>
#include <QPointer>
#include <QRegion>
#include <QWidget>

// Shapes the window it is attached to like the window's background picture (exactly the
// pixels of the mask colour are cut away) and lets the user drag the window by its body.
// The host window gives its picture through a QImage property named "Picture".
class ucTransForm : public QObject {
    Q_OBJECT
    Q_PROPERTY(quint32 MaskColor READ MaskColor WRITE setMaskColor)
    Q_PROPERTY(bool Transparent READ Transparent WRITE setTransparent)
    Q_PROPERTY(qint32 AutoDrag READ AutoDrag WRITE setAutoDrag)

public:
    explicit ucTransForm(QWidget* form);

    // 0x00BBGGRR, red in the low byte.
    quint32 MaskColor() const { return m_maskColor; }
    void setMaskColor(quint32 color) { m_maskColor = color; }
    bool Transparent() const { return m_transparent; }
    void setTransparent(bool on);
    qint32 AutoDrag() const { return m_autoDrag; }
    void setAutoDrag(qint32 mode) { m_autoDrag = mode; }
    bool disabled() const { return m_disabled; }

    void Refresh() { ApplyShape(); }

    // Every pixel whose colour differs from `maskColor` (0x00BBGGRR), one rectangle per run
    // of such pixels in a row.
    static QRegion RegionFromPicture(const QImage& picture, quint32 maskColor);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void ApplyShape();
    bool dragAllowed() const;

    QPointer<QWidget> mParent;
    quint32 m_maskColor = 0xC0C0C0;
    bool m_transparent = true;
    qint32 m_autoDrag = 2;
    bool m_disabled = false;
    // Where a drag by hand started, for window managers that offer no move loop.
    bool m_dragging = false;
    QPoint m_dragOffset;
};
