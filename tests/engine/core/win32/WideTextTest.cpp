// Tests for the UTF-8 <-> UTF-16 conversion of the Windows backends: every unit sequence survives
// the round trip (unpaired surrogates included, which file names may hold), and text that is not
// UTF-8 becomes U+FFFD per invalid subpart instead of being cut or passed through.
#include "engine/core/win32/WideText.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using orvex::fromWide;
using orvex::toWide;

namespace {

std::string hex(const std::string& bytes)
{
    std::string out;
    for (unsigned char c : bytes) {
        char part[4];
        std::snprintf(part, sizeof part, "%02X ", c);
        out += part;
    }
    return out;
}

std::string hex(const std::wstring& units)
{
    std::string out;
    for (wchar_t unit : units) {
        char part[6];
        std::snprintf(part, sizeof part, "%04X ", unsigned(uint16_t(unit)));
        out += part;
    }
    return out;
}

TEST(WideText, UnitsAndBytesConvertBothWays)
{
    struct Row {
        const char* name;
        std::wstring units;
        std::string bytes;
    };
    const Row rows[] = {
        { "empty", L"", "" },
        { "ASCII with a NUL inside", std::wstring(L"a\0b", 3), std::string("a\0b", 3) },
        { "two-byte", L"\u00E9\u07FF", "\xC3\xA9\xDF\xBF" },
        { "three-byte, BMP edges", L"\u0800\uFFFD\uFFFF", "\xE0\xA0\x80\xEF\xBF\xBD\xEF\xBF\xBF" },
        { "astral pair", L"\U0001F3B5", "\xF0\x9F\x8E\xB5" },
        { "highest character", L"\U0010FFFF", "\xF4\x8F\xBF\xBF" },
        { "unpaired high", std::wstring(L"a\xD800z"), "a\xED\xA0\x80z" },
        { "unpaired low", std::wstring(L"\xDC00"), "\xED\xB0\x80" },
        { "high at the end", std::wstring(L"x\xDBFF"), "x\xED\xAF\xBF" },
        { "low before high", std::wstring(L"\xDC00\xD800"), "\xED\xB0\x80\xED\xA0\x80" },
        { "pair after a lone high", std::wstring(L"\xD800\xD83C\xDFB5"), "\xED\xA0\x80\xF0\x9F\x8E\xB5" },
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(hex(fromWide(row.units)), hex(row.bytes));
        EXPECT_EQ(hex(toWide(row.bytes)), hex(row.units));
    }
}

TEST(WideText, InvalidUtf8BecomesOneReplacementPerInvalidSubpart)
{
    const std::wstring r = L"\uFFFD";
    struct Row {
        const char* name;
        std::string bytes;
        std::wstring units;
    };
    const Row rows[] = {
        { "stray continuation", "a\x80z", L"a" + r + L"z" },
        { "lead bytes never used", "\xC0\xC1\xF5\xFF", r + r + r + r },
        { "overlong two-byte", "\xC0\xAF", r + r },
        { "overlong three-byte", "\xE0\x80\xAF", r + r + r },
        { "above U+10FFFF", "\xF4\x90\x80\x80", r + r + r + r },
        { "truncated three-byte then ASCII", "\xE6\x97z", r + L"z" },
        { "truncated at the end", "ok\xF0\x9F\x8E", L"ok" + r },
        { "latin-1 text", "caf\xE9!", L"caf" + r + L"!" },
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(hex(toWide(row.bytes)), hex(row.units));
    }
}

// Every single unit and every pair of units (a sample of the pairs) comes back unchanged.
TEST(WideText, EveryUnitSequenceSurvivesTheRoundTrip)
{
    for (uint32_t unit = 0; unit <= 0xFFFF; ++unit) {
        const std::wstring one(1, wchar_t(unit));
        ASSERT_EQ(toWide(fromWide(one)), one) << std::hex << unit;
    }
    const uint16_t edges[] = { 0x0000, 0x007F, 0x0080, 0x07FF, 0x0800, 0xD7FF, 0xD800, 0xDBFF, 0xDC00, 0xDFFF, 0xE000, 0xFFFF };
    for (uint16_t first : edges) {
        for (uint16_t second : edges) {
            const std::wstring two { wchar_t(first), wchar_t(second) };
            EXPECT_EQ(toWide(fromWide(two)), two) << std::hex << first << " " << second;
        }
    }
}

TEST(WideText, LongPathsGetTheExtendedForm)
{
    const std::string folder(200, 'a');
    struct Row {
        const char* name;
        std::string path;
        std::wstring expected; // empty: the converted path unchanged
    };
    const Row rows[] = {
        { "short", "C:\\a\\b", L"" },
        { "long drive path", "C:\\" + folder + "/" + folder + "\\x", L"\\\\?\\C:\\" + std::wstring(200, L'a') + L"\\" + std::wstring(200, L'a') + L"\\x" },
        { "long path with dots", "C:\\" + folder + "\\.\\" + folder + "\\..\\x", L"\\\\?\\C:\\" + std::wstring(200, L'a') + L"\\x" },
        { "long UNC path", "\\\\server\\share\\" + folder + "\\" + folder, L"\\\\?\\UNC\\server\\share\\" + std::wstring(200, L'a') + L"\\" + std::wstring(200, L'a') },
        { "already extended", "\\\\?\\C:\\" + folder + folder, L"" },
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(orvex::toWidePath(row.path), row.expected.empty() ? toWide(row.path) : row.expected);
    }
    EXPECT_EQ(orvex::toExtendedPath("C:\\a\\..\\b"), L"\\\\?\\C:\\b");
}

} // namespace
