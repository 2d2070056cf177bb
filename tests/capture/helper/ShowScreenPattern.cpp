// Helper of the capture tests: covers the X screen with the position pattern and says
// "shown" once the window is on the screen.
#include "../ScreenPattern.h"

#include <QApplication>
#include <QPainter>
#include <QScreen>
#include <QTimer>
#include <QWidget>
#include <cstdio>

namespace {

class PatternWindow : public QWidget {
public:
    explicit PatternWindow(const QSize& size)
        : QWidget(nullptr, Qt::Window | Qt::FramelessWindowHint),
          m_pattern(ScreenPattern(size.width(), size.height())) {
        setGeometry(QRect(QPoint(0, 0), size));
    }

protected:
    void paintEvent(QPaintEvent*) override { QPainter(this).drawImage(0, 0, m_pattern); }

private:
    QImage m_pattern;
};

} // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    PatternWindow window(QGuiApplication::primaryScreen()->geometry().size());
    window.show();
    QTimer::singleShot(300, [] {
        std::puts("shown");
        std::fflush(stdout);
    });
    return app.exec();
}
