// The scanning overlay's texts: the byte count's eight-character format, its rounding carry, and
// the indented progress path.
#include "app/ProgressText.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <random>
#include <regex>

TEST(ProgressText, ByteCountFormat)
{
    struct Row {
        uint64_t bytes;
        const char* text;
    };
    for (Row row : { Row { 0, "0 B" }, Row { 1023, "1023 B" }, Row { 1024, "1.000 kB" }, Row { 1536, "1.500 kB" },
                     Row { 10239, "9.999 kB" }, Row { 10 * 1024, "10.00 kB" }, Row { 100 * 1024, "100.0 kB" },
                     Row { 1000 * 1024, "0.977 MB" }, Row { 1023 * 1024 + 1023, "1.000 MB" }, Row { 1024 * 1024, "1.000 MB" },
                     Row { uint64_t(5) << 40, "5.000 TB" }, Row { ~uint64_t(0), "16.00 EB" } })
        EXPECT_EQ(formatByteCount(row.bytes), row.text) << row.bytes;
}

// Over many sizes: never more than eight characters, always four digits with the point somewhere
// inside, and within half a unit of the last digit of the true value.
TEST(ProgressText, ByteCountStaysEightCharactersAndClose)
{
    const std::regex shape(R"(^(\d{1,4}) B$|^([0-9.]{5}) ([kMGTPE])B$)");
    std::mt19937_64 random(7);
    for (int i = 0; i < 200000; ++i) {
        const uint64_t bytes = random() >> (random() % 64);
        const std::string text = formatByteCount(bytes);
        std::smatch match;
        ASSERT_TRUE(std::regex_match(text, match, shape)) << bytes << " -> " << text;
        if (match[1].matched)
            continue;
        const std::string number = match[2];
        ASSERT_EQ(std::count(number.begin(), number.end(), '.'), 1) << text;
        const int unit = int(std::string("kMGTPE").find(match[3].str()[0])) + 1;
        const double shown = std::stod(number), truth = double(bytes) / std::pow(1024.0, unit);
        const double lastDigit = std::pow(10.0, -double(number.size() - 1 - number.find('.')));
        EXPECT_LE(std::abs(shown - truth), lastDigit * 0.5 + 1e-9) << bytes << " -> " << text;
    }
}

TEST(ProgressText, EveryLevelOnItsOwnIndentedLine)
{
    EXPECT_EQ(progressText("/home/user/docs", 1), "/home\n  /user\n    /docs") << "a root ending in its separator";
    EXPECT_EQ(progressText("/tmp/tree/a b/c", 9), "/tmp/tree\n  /a b\n    /c");
    EXPECT_EQ(progressText("/tmp/tree", 9), "/tmp/tree") << "the root alone";
    EXPECT_EQ(progressText("weird\\name/x", 10), "weird\\name\n  /x") << "a backslash is part of a name here";
    EXPECT_EQ(progressText("/tmp/tree/y/z", 9, true), "/tmp/tree\n  \u2026\n    /y\n      /z") << "levels left out";
    EXPECT_EQ(progressText("//y", 1, true), "/\n  \u2026\n    /y") << "levels left out below the file system's root";
}

// However deep the walk, the text holds the root, the "…" line and the levels that fit: at most
// one line per 20 pixels of room and never wider than its deepest names.
TEST(ProgressText, DeepPathsStayWithinThePanel)
{
    EXPECT_EQ(progressLevelsThatFit(200, 20), 8u);
    EXPECT_EQ(progressLevelsThatFit(30, 20), 1u) << "at least the directory being walked";
    EXPECT_EQ(progressLevelsThatFit(1e9, 20), 64u);
    EXPECT_EQ(progressLevelsThatFit(200, 0), 1u);
    std::string path = "/deep";
    for (size_t level = 0; level < progressLevelsThatFit(200, 20); ++level)
        path += "/level" + std::to_string(level);
    const std::string text = progressText(path, 5, true);
    EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 9);
    EXPECT_LT(text.size(), 200u);
}
