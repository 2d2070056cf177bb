#pragma once

#include <QString>
#include <QWidget>

// An owner-drawn push button: a rounded, gradient face with a normal, hot (pointer over
// it), pressed and disabled look, a centred caption, and optionally toggle behaviour.
class ucButton : public QWidget {
    Q_OBJECT
    Q_PROPERTY(QString Caption READ Caption WRITE setCaption)
    Q_PROPERTY(qint32 ButtonType READ ButtonType WRITE setButtonType)
    Q_PROPERTY(bool Value READ Value WRITE setValue)
    Q_PROPERTY(QString Version READ Version CONSTANT)

public:
    enum VisualState { Normal = 1, Hot = 2, Pressed = 3, Disabled = 4 };

    explicit ucButton(QWidget* parent = nullptr);

    QString Caption() const { return m_caption; }
    void setCaption(const QString& caption);
    // 0: push button; 1: toggle, whose Value flips on every click.
    qint32 ButtonType() const { return m_buttonType; }
    void setButtonType(qint32 type);
    bool Value() const { return m_value; }
    void setValue(bool value);
    QString Version() const { return QStringLiteral("3.7.2"); }

    VisualState visualState() const;
    void Refresh() { update(); }

signals:
    void Click();
    void MouseEnter();
    void MouseLeave();

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void keyReleaseEvent(QKeyEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    void clicked();

    QString m_caption;
    qint32 m_buttonType = 0;
    bool m_value = false;
    VisualState m_state = Normal;
};
