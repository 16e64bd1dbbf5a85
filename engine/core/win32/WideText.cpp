// UTF-8 <-> UTF-16 for the Windows backends, written out by hand: MultiByteToWideChar would turn
// an unpaired surrogate into U+FFFD and lose the name it belongs to.
#include "engine/core/win32/WideText.h"

#include <cstdint>
#include <windows.h>

namespace orvex {

namespace {

constexpr wchar_t replacement = 0xFFFD;

bool isContinuation(unsigned char byte) { return (byte & 0xC0) == 0x80; }

void appendUtf8(std::string& out, uint32_t value)
{
    if (value < 0x80) {
        out += char(value);
    } else if (value < 0x800) {
        out += char(0xC0 | (value >> 6));
        out += char(0x80 | (value & 0x3F));
    } else if (value < 0x10000) {
        out += char(0xE0 | (value >> 12));
        out += char(0x80 | ((value >> 6) & 0x3F));
        out += char(0x80 | (value & 0x3F));
    } else {
        out += char(0xF0 | (value >> 18));
        out += char(0x80 | ((value >> 12) & 0x3F));
        out += char(0x80 | ((value >> 6) & 0x3F));
        out += char(0x80 | (value & 0x3F));
    }
}

} // namespace

std::wstring toWide(std::string_view text)
{
    std::wstring out;
    out.reserve(text.size());
    const auto* bytes = reinterpret_cast<const unsigned char*>(text.data());
    const size_t size = text.size();
    size_t at = 0;
    while (at < size) {
        const unsigned char lead = bytes[at];
        if (lead < 0x80) {
            out += wchar_t(lead);
            at += 1;
            continue;
        }
        // The sequence length and the allowed range of the second byte (which rules out overlong
        // forms and values above U+10FFFF; surrogates, E0 A0..BF.. for ED, are allowed on purpose).
        size_t length = 0;
        unsigned char low = 0x80, high = 0xBF;
        if (lead >= 0xC2 && lead <= 0xDF) {
            length = 2;
        } else if (lead >= 0xE0 && lead <= 0xEF) {
            length = 3;
            if (lead == 0xE0)
                low = 0xA0;
        } else if (lead >= 0xF0 && lead <= 0xF4) {
            length = 4;
            if (lead == 0xF0)
                low = 0x90;
            if (lead == 0xF4)
                high = 0x8F;
        }
        if (length == 0) {
            out += replacement;
            at += 1;
            continue;
        }
        uint32_t value = lead & (0xFF >> (length + 1));
        size_t taken = 1;
        for (; taken < length && at + taken < size; ++taken) {
            const unsigned char next = bytes[at + taken];
            const bool fits = taken == 1 ? next >= low && next <= high : isContinuation(next);
            if (!fits)
                break;
            value = (value << 6) | (next & 0x3F);
        }
        at += taken;
        if (taken < length) {
            out += replacement; // the bytes that matched so far are one invalid subpart
            continue;
        }
        if (value >= 0x10000) {
            value -= 0x10000;
            out += wchar_t(0xD800 | (value >> 10));
            out += wchar_t(0xDC00 | (value & 0x3FF));
        } else {
            out += wchar_t(value);
        }
    }
    return out;
}

std::string fromWide(std::wstring_view units)
{
    std::string out;
    out.reserve(units.size() * 3 / 2);
    for (size_t at = 0; at < units.size(); ++at) {
        uint32_t value = uint16_t(units[at]);
        if (value >= 0xD800 && value <= 0xDBFF && at + 1 < units.size()) {
            const uint32_t next = uint16_t(units[at + 1]);
            if (next >= 0xDC00 && next <= 0xDFFF) {
                value = 0x10000 + ((value - 0xD800) << 10) + (next - 0xDC00);
                at += 1;
            }
        }
        appendUtf8(out, value);
    }
    return out;
}

std::wstring toWidePath(std::string_view path)
{
    // Below the limit (less room for a file name the caller may append) the classic form works
    // everywhere; the extended form is refused by some shell functions.
    std::wstring wide = toWide(path);
    return wide.size() < MAX_PATH - 12 ? wide : toExtendedPath(path);
}

std::wstring toExtendedPath(std::string_view path)
{
    std::wstring wide = toWide(path);
    if (wide.rfind(L"\\\\?\\", 0) == 0 || wide.rfind(L"\\\\.\\", 0) == 0)
        return wide;
    // The extended form is taken literally, so the system first makes the path absolute and
    // resolves what the classic form would (the wide function has no length limit).
    const DWORD needed = GetFullPathNameW(wide.c_str(), 0, nullptr, nullptr);
    if (needed == 0)
        return wide;
    std::wstring full(needed, L'\0');
    const DWORD written = GetFullPathNameW(wide.c_str(), needed, full.data(), nullptr);
    if (written == 0 || written >= needed)
        return wide;
    full.resize(written);
    for (wchar_t& unit : full) {
        if (unit == L'/')
            unit = L'\\';
    }
    if (full.rfind(L"\\\\.\\", 0) == 0 || full.rfind(L"\\\\?\\", 0) == 0)
        return full; // a device name such as NUL resolves to its device path
    if (full.rfind(L"\\\\", 0) == 0)
        return L"\\\\?\\UNC\\" + full.substr(2);
    if (full.size() >= 3 && full[1] == L':' && full[2] == L'\\')
        return L"\\\\?\\" + full;
    return wide;
}

std::string systemErrorText(unsigned long code)
{
    wchar_t* buffer = nullptr;
    const DWORD length = FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM |
                                            FORMAT_MESSAGE_IGNORE_INSERTS,
                                        nullptr, code, 0, reinterpret_cast<wchar_t*>(&buffer), 0, nullptr);
    std::string text;
    if (length > 0 && buffer)
        text = fromWide(std::wstring_view(buffer, length));
    if (buffer)
        LocalFree(buffer);
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r' || text.back() == ' ' || text.back() == '.'))
        text.pop_back();
    if (text.empty())
        text = "system error " + std::to_string(code);
    return text;
}

} // namespace orvex
