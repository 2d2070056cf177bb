#include <QApplication>
#include <QTemporaryDir>
#include <gtest/gtest.h>

// The capture windows are widgets; they run offscreen here, and the end-to-end tests drive
// `tessary script` on a private X server of their own.
int main(int argc, char** argv) {
    QTemporaryDir runtimeDir;
    qputenv("XDG_RUNTIME_DIR", runtimeDir.path().toUtf8());
    // Listing the tests runs this too, without the test's environment.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
