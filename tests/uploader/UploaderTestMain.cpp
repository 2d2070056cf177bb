#include <QApplication>
#include <QTemporaryDir>
#include <gtest/gtest.h>

// The control is a window: its tests run with a widget application (offscreen unless a
// test brings its own X server), each process with its own runtime folder.
int main(int argc, char** argv) {
    QTemporaryDir runtimeDir;
    qputenv("XDG_RUNTIME_DIR", runtimeDir.path().toUtf8());
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
