// FileByteSink: the bytes as they are, to a std::FILE* the caller owns.
#pragma once

#include "scanfile/ByteSink.h"

class FileByteSink final : public ByteSink {
public:
    explicit FileByteSink(std::FILE* stream) : stream(stream) {}

    bool write(const char* bytes, size_t count) override { return error().empty() && put(stream, bytes, count); }
    bool finish() override;

private:
    std::FILE* stream;
};
