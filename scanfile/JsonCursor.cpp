// JsonCursor: refilling, strings with their escapes, strict unsigned integers for sizes and a
// validating skip of anything else.
#include "scanfile/JsonCursor.h"

#include <algorithm>
#include <cstring>

namespace {

constexpr size_t blockSize = 1 << 20;

bool isDigit(int c) { return c >= '0' && c <= '9'; }

std::string shown(int c)
{
    if (c == JsonCursor::END)
        return "the end of the data";
    if (c >= 0x21 && c < 0x7f)
        return std::string("'") + char(c) + "'";
    static const char hex[] = "0123456789abcdef";
    return std::string("byte 0x") + hex[c >> 4] + hex[c & 15];
}

std::string hex4(uint32_t value)
{
    static const char hex[] = "0123456789abcdef";
    return { hex[value >> 12 & 15], hex[value >> 8 & 15], hex[value >> 4 & 15], hex[value & 15] };
}

void appendUtf8(std::string& out, uint32_t point)
{
    if (point < 0x80) {
        out += char(point);
    } else if (point < 0x800) {
        out += char(0xc0 | point >> 6);
        out += char(0x80 | (point & 0x3f));
    } else if (point < 0x10000) {
        out += char(0xe0 | point >> 12);
        out += char(0x80 | (point >> 6 & 0x3f));
        out += char(0x80 | (point & 0x3f));
    } else {
        out += char(0xf0 | point >> 18);
        out += char(0x80 | (point >> 12 & 0x3f));
        out += char(0x80 | (point >> 6 & 0x3f));
        out += char(0x80 | (point & 0x3f));
    }
}

} // namespace

JsonCursor::JsonCursor(ByteSource& source)
    : source(source)
    , buffer(new char[blockSize])
{
}

bool JsonCursor::refill()
{
    if (ended || failed())
        return false;
    blockOffset += length;
    position = 0;
    length = source.read(buffer.get(), blockSize);
    if (length == 0) {
        ended = true;
        // A source that failed after its last good bytes (a checksum at the end of a stream)
        // fails the read where its data stopped, even when the JSON there looks complete.
        if (!source.error().empty())
            fail(blockOffset, source.error());
    }
    return length > 0;
}

bool JsonCursor::fail(uint64_t at, const std::string& reason)
{
    if (failure.empty())
        failure = "at byte " + std::to_string(at) + ": " + reason;
    // Later reads see the end, so every loop stops.
    ended = true;
    position = length;
    return false;
}

bool JsonCursor::failAtEnd()
{
    if (!source.error().empty())
        return fail(offset(), source.error());
    if (offset() == 0)
        return fail(0, "not a scan export: the file is empty");
    return fail(offset(), "the data ends early (the file is truncated)");
}

bool JsonCursor::expect(char expected, const char* what)
{
    int c = skipSpace();
    if (c == expected) {
        position += 1;
        return true;
    }
    if (c == END && !failed())
        return failAtEnd();
    return fail(offset(), std::string("expected ") + what + ", found " + shown(c));
}

bool JsonCursor::readHex4(uint32_t& value)
{
    value = 0;
    for (int i = 0; i < 4; ++i) {
        int c = next();
        if (c == END)
            return failAtEnd();
        int digit = isDigit(c) ? c - '0' : (c | 0x20) >= 'a' && (c | 0x20) <= 'f' ? (c | 0x20) - 'a' + 10 : -1;
        if (digit < 0)
            return fail(offset() - 1, "invalid \\u escape: " + shown(c) + " is not a hexadecimal digit");
        value = value << 4 | uint32_t(digit);
    }
    return true;
}

bool JsonCursor::readString(std::string& out, size_t keep)
{
    out.clear();
    if (skipSpace() != '"')
        return peek() == END && !failed() ? failAtEnd() : fail(offset(), "expected a string, found " + shown(peek()));
    position += 1;
    while (true) {
        if (position == length && !refill())
            return failAtEnd();
        // The common case: a run of plain bytes, copied at once.
        const char* start = buffer.get() + position;
        const char* end = buffer.get() + length;
        const char* at = start;
        while (at < end && *at != '"' && *at != '\\' && static_cast<unsigned char>(*at) >= 0x20)
            ++at;
        if (out.size() < keep)
            out.append(start, std::min(size_t(at - start), keep - out.size()));
        position += size_t(at - start);
        if (at == end)
            continue;
        int c = static_cast<unsigned char>(*at);
        if (c == '"') {
            position += 1;
            return true;
        }
        if (c < 0x20)
            return fail(offset(), "control character " + shown(c) + " not escaped in a string");
        const uint64_t escapeAt = offset();
        position += 1;
        int kind = next();
        switch (kind) {
        case '"': out += '"'; break;
        case '\\': out += '\\'; break;
        case '/': out += '/'; break;
        case 'b': out += '\b'; break;
        case 'f': out += '\f'; break;
        case 'n': out += '\n'; break;
        case 'r': out += '\r'; break;
        case 't': out += '\t'; break;
        case 'u': {
            uint32_t point = 0;
            if (!readHex4(point))
                return false;
            if (point >= 0xdc00 && point <= 0xdfff)
                return fail(escapeAt, "invalid escape: low surrogate \\u" + hex4(point) + " without a high surrogate before it");
            if (point >= 0xd800 && point <= 0xdbff) {
                int backslash = next();
                int u = backslash == '\\' ? next() : backslash;
                if (backslash == END || u == END)
                    return failAtEnd();
                uint32_t low = 0;
                if (backslash != '\\' || u != 'u' || !readHex4(low) || low < 0xdc00 || low > 0xdfff)
                    return failed() ? false : fail(escapeAt, "invalid escape: high surrogate not followed by a low surrogate escape");
                point = 0x10000 + ((point - 0xd800) << 10) + (low - 0xdc00);
            }
            appendUtf8(out, point);
            break;
        }
        case END:
            return failAtEnd();
        default:
            return fail(escapeAt, "invalid escape \\" + std::string(1, char(kind)) + " in a string");
        }
        if (out.size() > keep)
            out.resize(keep);
    }
}

bool JsonCursor::readUnsigned(uint64_t& value, const char* what)
{
    const uint64_t start = offset();
    int c = skipSpace();
    if (c == '-')
        return fail(start, std::string(what) + " is negative");
    if (!isDigit(c))
        return c == END && !failed() ? failAtEnd() : fail(start, std::string("expected a number for ") + what + ", found " + shown(c));
    value = 0;
    bool leadingZero = c == '0';
    position += 1;
    value = uint64_t(c - '0');
    while (isDigit(c = peek())) {
        if (leadingZero)
            return fail(start, std::string(what) + " has a leading zero, which JSON does not allow");
        uint64_t digit = uint64_t(c - '0');
        if (value > (UINT64_MAX - digit) / 10)
            return fail(start, std::string(what) + " does not fit in 64 bits");
        value = value * 10 + digit;
        position += 1;
    }
    if (c == '.' || c == 'e' || c == 'E')
        return fail(start, std::string(what) + " is not a whole number");
    return true;
}

bool JsonCursor::readLiteral(const char* word)
{
    const uint64_t start = offset();
    for (const char* at = word; *at; ++at) {
        int c = next();
        if (c == END)
            return failAtEnd();
        if (c != *at)
            return fail(start, std::string("invalid literal, expected ") + word);
    }
    return true;
}

bool JsonCursor::readBoolean(bool& value, const char* what)
{
    int c = skipSpace();
    if (c == 't' || c == 'f') {
        value = c == 't';
        return readLiteral(value ? "true" : "false");
    }
    return c == END && !failed() ? failAtEnd() : fail(offset(), std::string("expected true or false for ") + what + ", found " + shown(c));
}

bool JsonCursor::skipNumber()
{
    const uint64_t start = offset();
    if (peek() == '-')
        position += 1;
    int c = peek();
    if (!isDigit(c))
        return fail(start, "invalid number");
    position += 1;
    if (c != '0') {
        while (isDigit(peek()))
            position += 1;
    }
    if (peek() == '.') {
        position += 1;
        if (!isDigit(peek()))
            return fail(start, "invalid number");
        while (isDigit(peek()))
            position += 1;
    }
    if (peek() == 'e' || peek() == 'E') {
        position += 1;
        if (peek() == '+' || peek() == '-')
            position += 1;
        if (!isDigit(peek()))
            return fail(start, "invalid number");
        while (isDigit(peek()))
            position += 1;
    }
    return !failed();
}

bool JsonCursor::skipValue()
{
    containers.clear();
    while (true) {
        // A value is expected here.
        int c = skipSpace();
        bool complete = true;
        switch (c) {
        case '{':
        case '[':
            position += 1;
            if (skipSpace() == (c == '{' ? '}' : ']')) {
                position += 1;
                break;
            }
            containers.push_back(char(c));
            if (c == '{' && !(readString(scratch, 0) && expect(':', "':' after an object key")))
                return false;
            complete = false;
            break;
        case '"':
            if (!readString(scratch, 0))
                return false;
            break;
        case 't': if (!readLiteral("true")) return false; break;
        case 'f': if (!readLiteral("false")) return false; break;
        case 'n': if (!readLiteral("null")) return false; break;
        case END:
            return failed() ? false : failAtEnd();
        default:
            if (c != '-' && !isDigit(c))
                return fail(offset(), "expected a value, found " + shown(c));
            if (!skipNumber())
                return false;
            break;
        }
        if (!complete)
            continue;
        // Closes containers until one needs another element.
        while (true) {
            if (containers.empty())
                return true;
            const char close = containers.back() == '{' ? '}' : ']';
            c = skipSpace();
            if (c == close) {
                position += 1;
                containers.pop_back();
                continue;
            }
            if (c != ',')
                return c == END && !failed() ? failAtEnd() : fail(offset(), std::string("expected ',' or '") + close + "', found " + shown(c));
            position += 1;
            if (containers.back() == '{' && !(readString(scratch, 0) && expect(':', "':' after an object key")))
                return false;
            break;
        }
    }
}
