// ExportBuffer: the JSON export's bytes, formatted into one large buffer that goes to a ByteSink
// in big pieces: the header, each entry's info object and the escaped names. ScanFileWriter (a
// whole tree) and ScanFileStream (a scan as it runs) share it, so both write the same bytes.
#pragma once

#include "scanfile/ByteSink.h"

#include <charconv>
#include <cstdint>
#include <cstring>
#include <string_view>
#include <vector>

// Buffers output for the sink; flush() runs when less than a name's worth of room is left.
class ExportBuffer {
public:
    explicit ExportBuffer(ByteSink& sink) : sink(sink), buffer(capacity) {}

    bool ok() const { return !failed; }
    // Whether any bytes were handed to the sink yet.
    bool handedOver() const { return handed; }
    void append(const char* text, size_t length)
    {
        if (length > capacity - used) {
            flush();
            if (length > capacity) {
                failed |= !sink.write(text, length);
                handed = true;
                return;
            }
        }
        std::memcpy(buffer.data() + used, text, length);
        used += length;
    }
    void append(std::string_view text) { append(text.data(), text.size()); }
    void appendNumber(uint64_t value)
    {
        reserve(24);
        used = size_t(std::to_chars(buffer.data() + used, buffer.data() + capacity, value).ptr - buffer.data());
    }
    // Escapes as the other tools do: `"` and `\` with a backslash, the five control characters
    // JSON names by letter, every other byte below 0x20 and DEL as \u00xx; everything else,
    // including bytes that are not UTF-8, is copied as it is.
    void appendString(std::string_view text)
    {
        append("\"", 1);
        const char* run = text.data();
        const char* end = text.data() + text.size();
        for (const char* at = run; at < end; ++at) {
            unsigned char byte = static_cast<unsigned char>(*at);
            if (byte >= 0x20 && byte != '"' && byte != '\\' && byte != 0x7f)
                continue;
            append(run, size_t(at - run));
            run = at + 1;
            char escape[6] = { '\\', 0, 0, 0, 0, 0 };
            switch (byte) {
            case '"': escape[1] = '"'; break;
            case '\\': escape[1] = '\\'; break;
            case '\b': escape[1] = 'b'; break;
            case '\f': escape[1] = 'f'; break;
            case '\n': escape[1] = 'n'; break;
            case '\r': escape[1] = 'r'; break;
            case '\t': escape[1] = 't'; break;
            default: {
                static const char hex[] = "0123456789abcdef";
                const char unicode[6] = { '\\', 'u', '0', '0', hex[byte >> 4], hex[byte & 15] };
                append(unicode, 6);
                continue;
            }
            }
            append(escape, 2);
        }
        append(run, size_t(end - run));
        append("\"", 1);
    }
    // One entry's info object. Files get their size as "asize" (not when it could not be read);
    // directories get none, since only the sum of their files is known.
    void appendInfo(std::string_view name, uint64_t size, bool withSize, bool readError)
    {
        append("{\"name\":");
        appendString(name);
        if (withSize && !readError) {
            append(",\"asize\":");
            appendNumber(size);
        }
        if (readError)
            append(",\"read_error\":true");
        append("}");
    }
    // The format's version and the metadata object, up to where the root's entry starts.
    void appendHeader(std::string_view programVersion, uint64_t timestamp)
    {
        append("[1,2,{\"progname\":\"velbrin\",\"progver\":");
        appendString(programVersion);
        append(",\"timestamp\":");
        appendNumber(timestamp);
        append("},\n");
    }

    void flush()
    {
        if (used > 0 && !failed) {
            failed = !sink.write(buffer.data(), used);
            handed = true;
        }
        used = 0;
    }

private:
    void reserve(size_t length)
    {
        if (length > capacity - used)
            flush();
    }

    static constexpr size_t capacity = 1 << 20;
    ByteSink& sink;
    std::vector<char> buffer;
    size_t used = 0;
    bool failed = false;
    bool handed = false;
};
