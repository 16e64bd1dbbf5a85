// Shared ground for the scan-file tests: a ByteSource over a string (optionally handing out a
// few bytes per read, so tokens straddle reads), a listener that records its calls as text, a
// tree comparison that works at any depth, and whole-file write and read helpers.
#pragma once

#include "engine/core/OutputFile.h"
#include "scan/FilesystemNode.h"
#include "scan/ScanListener.h"
#include "scanfile/ByteSink.h"
#include "scanfile/ByteSource.h"
#include "scanfile/ScanFileReader.h"
#include "scanfile/ScanFileWriter.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

namespace scanfiletest {

class MemorySource final : public ByteSource {
public:
    explicit MemorySource(std::string bytes, size_t piece = SIZE_MAX) : bytes(std::move(bytes)), piece(piece) {}
    size_t read(char* buffer, size_t capacity) override
    {
        size_t count = std::min({ capacity, piece, bytes.size() - at });
        std::memcpy(buffer, bytes.data() + at, count);
        at += count;
        return count;
    }

private:
    std::string bytes;
    size_t piece;
    size_t at = 0;
};

// Each call as one line: what happened, the node's path, and the sizes the contract fixes at
// that moment (the node's and its parent's).
class CallRecorder final : public ScanListener {
public:
    std::vector<std::string> calls;

    void scanStarted(const char* name, size_t length) override { calls.push_back("start " + std::string(name, length)); }
    void directoryEntered(FilesystemNode* directory) override { record("enter", directory); }
    void fileAdded(FilesystemNode* file) override { record("file", file); }
    void directoryLeft(FilesystemNode* directory) override { record("leave", directory); }

private:
    void record(const char* what, const FilesystemNode* node)
    {
        std::string line = std::string(what) + " " + nodePath(node) + " " + std::to_string(node->size) + " children "
            + std::to_string(node->children.count);
        if (node->parent)
            line += " parent " + std::to_string(node->parent->size) + " siblings " + std::to_string(node->parent->children.count);
        calls.push_back(line);
    }
};

// Same type, name bytes, size and children in the same order, at every level; iterative, so a
// chain of any depth compares. Stops at the first difference.
inline void expectSameTree(const FilesystemNode* expected, const FilesystemNode* actual)
{
    std::vector<std::pair<const FilesystemNode*, const FilesystemNode*>> pending { { expected, actual } };
    while (!pending.empty()) {
        auto [want, got] = pending.back();
        pending.pop_back();
        const std::string where = nodePath(want);
        ASSERT_EQ(want->type, got->type) << where;
        ASSERT_EQ(want->name.view(), got->name.view()) << where;
        ASSERT_EQ(want->size, got->size) << where;
        ASSERT_EQ(want->children.count, got->children.count) << where;
        for (int64_t i = 0; i < want->children.count; ++i) {
            ASSERT_EQ(got->children[i]->parent, got) << where;
            pending.emplace_back(want->children[i], got->children[i]);
        }
    }
}

// Writes `tree` to `path` as the export tool will: through OutputFile, compressed by the name.
inline void writeScanFile(const FilesystemNode& tree, const std::string& path)
{
    orvex::OutputFile output;
    std::string error;
    ASSERT_TRUE(output.open(path, error)) << error;
    orvex::UniquePtr<ByteSink> sink = sinkForPath(path, output.stream());
    ScanFileWriter writer("0.2.0", 1700000000);
    ASSERT_TRUE(writer.write(tree, *sink)) << writer.error();
    ASSERT_TRUE(output.commit(error)) << error;
}

// Reads `path` with `reader`; null (after a test failure) when it cannot be opened.
inline orvex::UniquePtr<FilesystemNode> readScanFile(const std::string& path, ScanFileReader& reader)
{
    std::string error;
    orvex::UniquePtr<ByteSource> source = openScanFile(path, error);
    if (!source) {
        ADD_FAILURE() << error;
        return nullptr;
    }
    return reader.read(*source);
}

inline orvex::UniquePtr<FilesystemNode> readText(const std::string& text, ScanFileReader& reader, size_t piece = SIZE_MAX)
{
    MemorySource source(text, piece);
    return reader.read(source);
}

} // namespace scanfiletest
