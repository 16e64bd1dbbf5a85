// SettingsParser: every reading rule of the config.ini format, one named row each, checked through
// the pairs the parser reports (and the section it records).
#include "app/SettingsParser.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

namespace {

using Pairs = std::vector<std::pair<std::string, std::string>>;

struct ParseRow {
    const char* name;
    std::string text;
    Pairs pairs;
    std::string section = {};
};

struct ParseResult {
    Pairs pairs;
    std::string section;
};

ParseResult parse(const std::string& text)
{
    SettingsParser parser;
    ParseResult result;
    for (char byte : text) {
        if (parser.feed(static_cast<unsigned char>(byte)))
            result.pairs.emplace_back(parser.key(), parser.value());
    }
    if (parser.finish())
        result.pairs.emplace_back(parser.key(), parser.value());
    EXPECT_EQ(parser.state(), SettingsParser::State::LINE_START);
    result.section = parser.section();
    return result;
}

const ParseRow parseRows[] = {
    { "Empty", "", {} },
    { "LastLineWithoutBreak", "a=1", { { "a", "1" } } },
    { "SpacesAroundEqualsTrimmed", "  \t a \t= \t1 \t\n", { { "a", "1" } } },
    { "CrLfReadsLikeLf", "a=1\r\nb = 2 \r\n", { { "a", "1" }, { "b", "2" } } },
    { "CommentLinesAndStrayDelimiters", "# a=1\n; b=2\n=c\n]d=1\n\"e=1\nf=2", { { "f", "2" } } },
    { "SemicolonEndsValue", "a=900 ; note=1\nb=2", { { "a", "900" }, { "b", "2" } } },
    { "HashAndEqualsInsideValue", "a=x#y=z", { { "a", "x#y=z" } } },
    { "SecondEqualsBelongsToValue", "a==b", { { "a", "=b" } } },
    { "QuotedValueEndsAtQuote", "a=\"q\"trailing ; ignored\nb=1", { { "a", "q" }, { "b", "1" } } },
    { "QuotedValueKeepsSpacesAndDelimiters", "a= \"  s ; # = \" \n", { { "a", "  s ; # = " } } },
    { "UnterminatedQuoteEndsAtLineEnd", "a=\"open \nb=2", { { "a", "open " }, { "b", "2" } } },
    { "UnterminatedQuoteEndsAtInputEnd", "a=\"open ", { { "a", "open " } } },
    { "QuoteAfterFirstByteIsPlain", "a=x\"y\"", { { "a", "x\"y\"" } } },
    { "EmptyValueReported", "a=\nb=   \n", { { "a", "" }, { "b", "" } } },
    { "KeyWithoutEqualsAbandoned", "a\nb=1\nc", { { "b", "1" } } },
    { "SemicolonOrQuoteInKeyAbandonsLine", "a;b=1\nc\"d=1\ne=2", { { "e", "2" } } },
    { "EscapesTranslated", "a=x\\ny\\tz\\Sw\\q\\\\", { { "a", "x\ny\tz w" "q\\" } } },
    { "EscapedDelimitersAreBytes", "k\\=e\\;y=v\\;w\\\"", { { "k=e;y", "v;w\"" } } },
    { "EscapedQuoteDoesNotOpenQuotedValue", "a=\\\"q\\\"", { { "a", "\"q\"" } } },
    { "EscapedLineFeedContinuesValue", "a=x\\\ny\nb=1", { { "a", "x\ny" }, { "b", "1" } } },
    { "CarriageReturnAfterBackslashDropped", "a=1\\\r\nb\r\nc=2", { { "a", "1\nb" }, { "c", "2" } } },
    { "EscapedWhitespaceSkippedAndTrimmed", "a=\\s\\tx\\s\\n", { { "a", "x" } } },
    { "BackslashAtEndIsDropped", "a=x\\", { { "a", "x" } } },
    { "EscapedLineStartDelimiterStartsKey", "\\#a=1\n\\[b=2", { { "#a", "1" }, { "[b", "2" } } },
    { "SectionRecordedAndTrimmed", "[  my section \t]junk\na=1", { { "a", "1" } }, "my section" },
    { "LaterSectionReplacesEarlier", "[one]\n[two]\na=1", { { "a", "1" } }, "two" },
    { "SectionAbandonedByLineFeed", "[open\na=1", { { "a", "1" } } },
    { "SectionAbandonedByEquals", "[x=1]\na=2", { { "a", "2" } } },
    { "ByteOrderMarkJoinsFirstKey", "\xEF\xBB\xBF" "a=1", { { "\xEF\xBB\xBF" "a", "1" } } },
    { "NulBytesAreOrdinaryBytes", std::string("a\0b=1\0 2", 8), { { std::string("a\0b", 3), std::string("1\0 2", 4) } } },
    { "HighBytesKept", "\xff\xfe=\x80\x81", { { "\xff\xfe", "\x80\x81" } } },
};

class SettingsParserTest : public testing::TestWithParam<ParseRow> { };

TEST_P(SettingsParserTest, ReportsPairs)
{
    const ParseRow& row = GetParam();
    const ParseResult result = parse(row.text);
    EXPECT_EQ(result.pairs, row.pairs);
    EXPECT_EQ(result.section, row.section);
}

INSTANTIATE_TEST_SUITE_P(Rows, SettingsParserTest, testing::ValuesIn(parseRows),
    [](const testing::TestParamInfo<ParseRow>& info) { return std::string(info.param.name); });

} // namespace
