#include "common/Options.h"

#include <gtest/gtest.h>

TEST(GetOption, FindsKeysWhateverTheirCaseAndBlanks) {
    EXPECT_EQ(GetOption("mode:html;imgtype:png", "mode", "dflt"), "html");
    EXPECT_EQ(GetOption("mode:html;imgtype:png", "MODE", "dflt"), "html");
    EXPECT_EQ(GetOption("  Mode  :  html  ;imgtype:png", "mode", "dflt"), "html");
    EXPECT_EQ(GetOption("mode:html;imgtype:png", "imgtype", ""), "png");
}

TEST(GetOption, FirstMatchWinsAndValuesKeepTheirCase) {
    EXPECT_EQ(GetOption("mode:html;mode:img", "mode", ""), "html");
    EXPECT_EQ(GetOption("mode:HTML", "mode", ""), "HTML");
    EXPECT_EQ(GetOption("mode:a b ", "mode", ""), "a b");
}

TEST(GetOption, ItemsThatDoNotSplitInTwoGiveTheDefault) {
    EXPECT_EQ(GetOption("time:10:30", "time", "dflt"), "dflt");
    EXPECT_EQ(GetOption("mode", "mode", "dflt"), "dflt");
    EXPECT_EQ(GetOption("", "mode", "dflt"), "dflt");
    EXPECT_EQ(GetOption("mode:", "mode", "dflt"), "");
    // Only spaces are blanks: a tab stays part of the key.
    EXPECT_EQ(GetOption("\tmode:x", "mode", "dflt"), "dflt");
}

TEST(GetOption, WantedKeyIsNotTrimmed) {
    EXPECT_EQ(GetOption("mode:html", " mode", "dflt"), "dflt");
}

TEST(IsSwitchOn, OnlyExactlyOneCounts) {
    EXPECT_TRUE(IsSwitchOn("opt2image:1", "opt2image"));
    EXPECT_TRUE(IsSwitchOn("opt2image: 1 ", "opt2image"));
    EXPECT_FALSE(IsSwitchOn("opt2image:true", "opt2image"));
    EXPECT_FALSE(IsSwitchOn("opt2image:01", "opt2image"));
    EXPECT_FALSE(IsSwitchOn("", "opt2image"));
}
