#include <QCoreApplication>
#include <QTemporaryDir>
#include <gtest/gtest.h>

// Each test process gets its own runtime folder, so the product's private temporary
// folder of one test binary never meets another's when CTest runs them side by side.
int main(int argc, char** argv) {
    QTemporaryDir runtimeDir;
    qputenv("XDG_RUNTIME_DIR", runtimeDir.path().toUtf8());
    QCoreApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
