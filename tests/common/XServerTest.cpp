#include "tests/support/XServer.h"
#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

// The display tests of the clipboard, capture and window code stand on this.
TEST(PrivateXServer, ServesItsOwnDisplayAndRestoresTheOldOne) {
    const QByteArray before = qgetenv("DISPLAY");
    {
        PrivateXServer first;
        PrivateXServer second;
        ASSERT_TRUE(first.isRunning());
        ASSERT_TRUE(second.isRunning());
        EXPECT_NE(first.display(), second.display());
        EXPECT_EQ(qgetenv("DISPLAY"), second.display().toLatin1());
        const CommandResult info =
            RunCommand(QStringLiteral("xdpyinfo"), {QStringLiteral("-display"), first.display()});
        EXPECT_EQ(info.exitCode, 0);
        EXPECT_TRUE(info.out.contains("1280x1024")) << info.out.left(400).constData();
    }
    EXPECT_EQ(qgetenv("DISPLAY"), before);
}
