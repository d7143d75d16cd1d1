#include <gtest/gtest.h>

#include <string>

#include "base/TrelCString.h"

TEST(CString, StartsWithoutText) {
    TrelCString s;
    EXPECT_EQ(s.str, nullptr);
}

TEST(CString, SetReplacesAndAppendExtends) {
    TrelCString s;
    char* empty = s.set("");
    ASSERT_NE(empty, nullptr);
    EXPECT_STREQ(s.str, "");

    s.set("abcdef");
    EXPECT_STREQ(s.set("x"), "x");
    EXPECT_STREQ(s.str, "x");

    s.set("abc");
    char* joined = s.append("de");
    EXPECT_EQ(joined, s.str);
    EXPECT_STREQ(s.str, "abcde");
}

TEST(CString, AppendOnNewStringBehavesLikeSet) {
    TrelCString s;
    EXPECT_STREQ(s.append("abc"), "abc");
}

// A null text used to be handed to strlen.
TEST(CString, NullTextCountsAsEmpty) {
    TrelCString s;
    EXPECT_STREQ(s.append(nullptr), "");
    s.set("abc");
    EXPECT_STREQ(s.append(nullptr), "abc");
    EXPECT_STREQ(s.set(nullptr), "");
}

// Set and append used to be unsafe with a pointer into the string's own buffer, which
// realloc may move or shrink; the sanitizer build turns a regression into a failure.
TEST(CString, AcceptsPointersIntoItsOwnBuffer) {
    TrelCString s;
    s.set("hello world");
    EXPECT_STREQ(s.set(s.str + 6), "world");
    EXPECT_STREQ(s.append(s.str), "worldworld");
    EXPECT_STREQ(s.append(s.str + 8), "worldworldld");
    EXPECT_STREQ(s.set(s.str), "worldworldld");
}

TEST(CString, GrowsForLongTexts) {
    TrelCString s;
    std::string expected;
    for (int i = 0; i < 200; ++i) {
        std::string piece = "piece" + std::to_string(i) + ";";
        s.append(piece.c_str());
        expected += piece;
    }
    EXPECT_EQ(std::string(s.str), expected);
}
