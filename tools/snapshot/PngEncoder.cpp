// PNG encoding with stored deflate blocks: signature, IHDR (RGBA, 8 bits), one IDAT holding a
// zlib stream of rows (each with filter byte 0) in blocks of at most 65,535 bytes, IEND.
#include "tools/snapshot/PngEncoder.h"

#include <algorithm>
#include <array>

namespace {

const std::array<uint32_t, 256>& crcTable()
{
    static const std::array<uint32_t, 256> table = [] {
        std::array<uint32_t, 256> t {};
        for (uint32_t n = 0; n < 256; ++n) {
            uint32_t c = n;
            for (int k = 0; k < 8; ++k)
                c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
            t[n] = c;
        }
        return t;
    }();
    return table;
}

void putBigEndian(std::string& out, uint32_t value)
{
    for (int shift = 24; shift >= 0; shift -= 8)
        out.push_back(char((value >> shift) & 0xFF));
}

void putChunk(std::string& out, const char type[4], std::string_view data)
{
    putBigEndian(out, uint32_t(data.size()));
    const size_t typeAt = out.size();
    out.append(type, 4);
    out.append(data);
    putBigEndian(out, crc32(std::string_view(out).substr(typeAt)));
}

// A zlib stream (no compression) of `raw`: header, stored blocks, Adler-32 of the raw bytes.
std::string storedZlib(std::string_view raw)
{
    std::string out;
    out.reserve(raw.size() + raw.size() / 65535 * 5 + 16);
    out.push_back(char(0x78)); // deflate, 32 KiB window
    out.push_back(char(0x01)); // no preset dictionary, fastest level; 0x7801 is a multiple of 31
    size_t at = 0;
    do {
        const size_t length = std::min<size_t>(raw.size() - at, 65535);
        const bool last = at + length == raw.size();
        out.push_back(char(last ? 1 : 0));
        out.push_back(char(length & 0xFF));
        out.push_back(char(length >> 8));
        out.push_back(char(~length & 0xFF));
        out.push_back(char((~length >> 8) & 0xFF));
        out.append(raw.substr(at, length));
        at += length;
    } while (at < raw.size());
    uint32_t a = 1, b = 0;
    for (unsigned char byte : raw) {
        a = (a + byte) % 65521;
        b = (b + a) % 65521;
    }
    putBigEndian(out, (b << 16) | a);
    return out;
}

} // namespace

uint32_t crc32(std::string_view bytes, uint32_t crc)
{
    const std::array<uint32_t, 256>& table = crcTable();
    crc = ~crc;
    for (unsigned char byte : bytes)
        crc = table[(crc ^ byte) & 0xFF] ^ (crc >> 8);
    return ~crc;
}

std::string encodePng(const orvex::Image& image)
{
    if (image.format() != orvex::PixelFormat { orvex::COMPONENT_UINT8, 4 } || image.byteSize() == 0)
        return {};
    const size_t rowBytes = size_t(image.width()) * 4;
    std::string raw;
    raw.reserve((rowBytes + 1) * size_t(image.height()));
    const char* pixels = reinterpret_cast<const char*>(image.data());
    for (int y = 0; y < image.height(); ++y) {
        raw.push_back('\0'); // filter: none
        raw.append(pixels + size_t(y) * rowBytes, rowBytes);
    }

    std::string header;
    putBigEndian(header, uint32_t(image.width()));
    putBigEndian(header, uint32_t(image.height()));
    header += std::string_view("\x08\x06\x00\x00\x00", 5); // 8 bits, RGBA, deflate, adaptive filters, no interlace

    std::string file("\x89PNG\r\n\x1A\n", 8);
    putChunk(file, "IHDR", header);
    // The stream in chunks of 1 MiB: a chunk may hold at most 2^31 - 1 bytes, and decoders
    // read small ones more readily.
    const std::string stream = storedZlib(raw);
    for (size_t at = 0; at < stream.size(); at += 1u << 20)
        putChunk(file, "IDAT", std::string_view(stream).substr(at, 1u << 20));
    putChunk(file, "IEND", {});
    return file;
}
