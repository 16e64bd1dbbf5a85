// The compressed sources and sinks: what a sink writes its source reads back, concatenated
// members or frames read as one stream, damage is reported, a compression bomb is stopped soon
// after 64 MiB, and openScanFile / looksLikeScanFile tell files by content, not name.
#include "ScanFileTestSupport.h"

#include "../scan/ScanTreeFixture.h"
#include "scanfile/FileByteSource.h"

#include <fstream>

using namespace scanfiletest;
using scantest::TempTree;

namespace {

struct Format {
    const char* what;
    const char* ending; // picks the sink
    const char* truncatedReason;
    const char* corruptReason;
};

const Format compressed[] = {
    { "gzip", ".gz", "the gzip data is truncated", "the gzip data is corrupt" },
    { "zstd", ".zst", "the zstd data is truncated", "the zstd data is corrupt" },
};

std::string fileBytes(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

void putFile(const std::string& path, const std::string& bytes)
{
    std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
}

// Compresses `pieces` one sink after another into `path`: several members or frames.
void compressInto(const std::string& path, const std::vector<std::string>& pieces)
{
    std::FILE* file = std::fopen(path.c_str(), "wb");
    ASSERT_NE(file, nullptr);
    for (const std::string& piece : pieces) {
        orvex::UniquePtr<ByteSink> sink = sinkForPath(path, file);
        ASSERT_TRUE(sink->write(piece.data(), piece.size())) << sink->error();
        ASSERT_TRUE(sink->finish()) << sink->error();
    }
    std::fclose(file);
}

// Reads all of `path` as openScanFile decodes it; `error` gets the source's failure.
std::string decodeAll(const std::string& path, std::string& error, uint64_t* total = nullptr, bool keep = true)
{
    orvex::UniquePtr<ByteSource> source = openScanFile(path, error);
    if (!source)
        return {};
    std::string bytes;
    std::vector<char> buffer(1 << 20);
    uint64_t count = 0;
    while (size_t got = source->read(buffer.data(), buffer.size())) {
        count += got;
        if (keep)
            bytes.append(buffer.data(), got);
    }
    error = source->error();
    if (total)
        *total = count;
    return bytes;
}

// Bytes that compress only moderately, like a real export: varied, with some repetition.
std::string sampleBytes(size_t length)
{
    std::string bytes;
    uint32_t state = 12345;
    while (bytes.size() < length) {
        state = state * 1103515245 + 12345;
        bytes += "{\"name\":\"f" + std::to_string(state >> 8) + "\",\"asize\":" + std::to_string(state % 99991) + "},\n";
        bytes += char(state >> 24); // any byte at all, NUL included
    }
    bytes.resize(length);
    return bytes;
}

TEST(ScanFileCompressionTest, CompressedDataReadsBackAndDamageIsReported)
{
    TempTree folder;
    const std::string first = sampleBytes(3 << 20), second = sampleBytes(1000);
    for (const Format& format : compressed) {
        SCOPED_TRACE(format.what);
        const std::string path = folder.at(std::string("data") + format.ending);
        std::string error;

        compressInto(path, { first, "", second });
        EXPECT_EQ(decodeAll(path, error), first + second) << "members or frames one after another read as one stream";
        EXPECT_EQ(error, "");

        const std::string whole = fileBytes(path);
        putFile(path, whole.substr(0, whole.size() / 2));
        decodeAll(path, error);
        EXPECT_EQ(error, format.truncatedReason);

        std::string damaged = whole;
        for (size_t i = 20; i < 60; ++i)
            damaged[i] = char(~damaged[i]);
        putFile(path, damaged);
        decodeAll(path, error);
        EXPECT_EQ(error.rfind(format.corruptReason, 0), 0u) << error;
    }
}

TEST(ScanFileCompressionTest, DecompressionBombStopsSoonAfter64MiB)
{
    TempTree folder;
    // 100 MiB of zeros: deflate packs them about 1030-fold, zstd far more.
    const std::string zeros(100 << 20, '\0');
    for (const Format& format : compressed) {
        SCOPED_TRACE(format.what);
        const std::string path = folder.at(std::string("bomb") + format.ending);
        compressInto(path, { zeros });
        std::string error;
        uint64_t produced = 0;
        decodeAll(path, error, &produced, false);
        EXPECT_NE(error.find("decompression bomb"), std::string::npos) << error;
        EXPECT_GT(produced, uint64_t(63) << 20);
        EXPECT_LE(produced, uint64_t(66) << 20) << "output must stop within a read or two of the limit";
    }
}

TEST(ScanFileCompressionTest, FilesAreToldByContent)
{
    TempTree folder;
    const std::string exportText = " \n[1,2,{},[{\"name\":\"/r\"}]]";
    struct Row {
        const char* name;
        std::string content;
        bool compress;
        bool looksLikeExport;
    } rows[] = {
        { "plain.json", exportText, false, true },
        { "packed.gz", exportText, true, true },
        { "packed.zst", exportText, true, true },
        { "gzip-named-plain.gz", exportText, false, true },
        { "ten.json", "[10,2,{}]", false, false },
        { "fraction.json", "[1.5,2,{}]", false, false },
        { "other.json", "{\"a\":[1]}", false, false },
        { "empty.json", "", false, false },
        { "text.gz", "hello", true, false },
    };
    for (const Row& row : rows) {
        const std::string path = folder.at(row.name);
        if (row.compress)
            compressInto(path, { row.content });
        else
            putFile(path, row.content);
        EXPECT_EQ(looksLikeScanFile(path), row.looksLikeExport) << row.name;
        std::string error;
        EXPECT_EQ(decodeAll(path, error), row.content) << row.name;
    }
    EXPECT_FALSE(looksLikeScanFile(folder.path())) << "a directory";
    EXPECT_FALSE(looksLikeScanFile(folder.at("missing")));
    std::string error;
    EXPECT_EQ(openScanFile(folder.at("missing"), error), nullptr);
    EXPECT_EQ(error, "cannot open " + folder.at("missing") + ": No such file or directory");
}

TEST(ScanFileCompressionTest, PlainSinkReportsAFullDisk)
{
    std::FILE* full = std::fopen("/dev/full", "wb");
    if (!full)
        GTEST_SKIP() << "no /dev/full";
    for (const char* name : { "x.json", "x.gz", "x.zst" }) {
        orvex::UniquePtr<ByteSink> sink = sinkForPath(name, full);
        const std::string bytes = sampleBytes(1 << 20);
        bool ok = sink->write(bytes.data(), bytes.size()) && sink->finish();
        EXPECT_FALSE(ok) << name;
        EXPECT_NE(sink->error().find("No space left on device"), std::string::npos) << name << ": " << sink->error();
    }
    std::fclose(full);
}

} // namespace
