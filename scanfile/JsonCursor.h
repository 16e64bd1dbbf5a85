// JsonCursor: a hand-written JSON tokenizer over a ByteSource, for the scan-file reader. It reads
// the source in 1 MiB blocks, so tokens may span blocks; strings are copied out a run at a time.
// Every failure records "at byte N: reason", N being the offset in the (decompressed) stream,
// and makes every later call fail too. Skipping a value uses an explicit stack, never recursion.
#pragma once

#include "scanfile/ByteSource.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

class JsonCursor {
public:
    static constexpr int END = -1; // peek() and next() at the end of the data (or after a failure)

    explicit JsonCursor(ByteSource& source);

    // The next byte without taking it, or END.
    int peek()
    {
        if (position == length && !refill())
            return END;
        return static_cast<unsigned char>(buffer[position]);
    }
    // Takes the next byte, or returns END.
    int next()
    {
        if (position == length && !refill())
            return END;
        return static_cast<unsigned char>(buffer[position++]);
    }
    // Skips JSON white space and returns the byte after it, not taken (or END).
    int skipSpace()
    {
        while (true) {
            int c = peek();
            if (c != ' ' && c != '\n' && c != '\r' && c != '\t')
                return c;
            position += 1;
        }
    }
    // Offset of the next byte in the whole stream.
    uint64_t offset() const { return blockOffset + position; }

    // After white space, takes `expected`; otherwise fails with "expected WHAT".
    bool expect(char expected, const char* what);
    // Reads a string (the next byte must be '"') into `out`, escapes decoded: \uXXXX to UTF-8,
    // surrogate pairs combined; a lone or reversed surrogate is an error. Only the first `keep`
    // bytes are stored, so strings nobody needs whole cost no memory however long they are.
    bool readString(std::string& out, size_t keep = SIZE_MAX);
    // Reads a non-negative integer that fits 64 bits; `what` names it in errors ("asize").
    bool readUnsigned(uint64_t& value, const char* what);
    // Reads true or false.
    bool readBoolean(bool& value, const char* what);
    // Skips one complete value of any kind, checking that it is valid JSON.
    bool skipValue();

    // Records a failure at `at` (only the first counts) and returns false.
    bool fail(uint64_t at, const std::string& reason);
    // Fails at the current offset as the end of the data demands: the source's own error, or
    // truncation.
    bool failAtEnd();
    bool failed() const { return !failure.empty(); }
    const std::string& error() const { return failure; }

private:
    bool refill();
    bool readHex4(uint32_t& value);
    bool readLiteral(const char* word);
    bool skipNumber();

    ByteSource& source;
    std::unique_ptr<char[]> buffer;
    size_t position = 0;
    size_t length = 0;
    uint64_t blockOffset = 0; // stream offset of buffer[0]
    bool ended = false;
    std::string failure;
    std::string scratch;          // strings skipped by skipValue
    std::vector<char> containers; // skipValue's open '{' and '['
};
