#include "tests/fuzz/CleanFuzzInput.h"
#include "tests/support/TestSupport.h"

#include <QDir>
#include <QFile>
#include <gtest/gtest.h>

// The inputs the fuzzer found worth keeping (and any that once crashed it) run again on
// every build, through both clean-ups: each must finish with a well-formed style sheet,
// and give the same result a second time.
namespace {

TEST(FuzzCorpus, EveryKeptInputCleansAndRepeats) {
    int inputs = 0;
    // The long-input fuzzer's findings are recipes of repeated pieces.
    for (const char* folder : {"corpus", "crashers", "crashers-long"}) {
        const bool long_ = QByteArray(folder) == "crashers-long";
        const QDir dir(QStringLiteral(TESSARY_SOURCE_DIR "/tests/fuzz/") + QLatin1String(folder));
        for (const QString& name : dir.entryList(QDir::Files)) {
            QFile file(dir.filePath(name));
            ASSERT_TRUE(file.open(QIODevice::ReadOnly)) << name.toStdString();
            const QByteArray bytes = file.readAll();
            CleanFuzzInput input = long_ ? LongCleanFuzzInput(bytes) : CleanFuzzInput::From(bytes);
            ++inputs;
            // The input's own clean-up first, then the other one: a Word page given to the
            // Excel clean-up (or the reverse) must not upset it either.
            for (const bool word : {input.word, !input.word}) {
                input.word = word;
                SCOPED_TRACE(name.toStdString() + (word ? " (Word)" : " (Excel)"));
                const CleanFuzzResult first = RunCleanFuzzInput(input);
                if (first.expectedError)
                    continue;
                EXPECT_TRUE(first.style.startsWith(u"<style>\r\n/* Generator: Tessary */\r\n"));
                EXPECT_TRUE(first.style.endsWith(u"\r\n</style>"));
                const CleanFuzzResult second = RunCleanFuzzInput(input);
                EXPECT_EQ(second.style, first.style);
                EXPECT_EQ(second.body, first.body);
            }
        }
    }
    EXPECT_GE(inputs, 10);
}

} // namespace
