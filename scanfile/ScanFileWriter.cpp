// ScanFileWriter: a pre-order walk with an explicit stack that formats into one buffer and
// hands it to the sink in large pieces. Each entry is written as a line of its own.
#include "scanfile/ScanFileWriter.h"

#include "scan/FilesystemNode.h"
#include "scanfile/ByteSink.h"

#include <charconv>
#include <cstring>
#include <unordered_set>
#include <vector>

namespace {

// Buffers output for the sink; flush() runs when less than a name's worth of room is left.
class OutputBuffer {
public:
    explicit OutputBuffer(ByteSink& sink) : sink(sink), buffer(capacity) {}

    bool ok() const { return !failed; }
    void append(const char* text, size_t length)
    {
        if (length > capacity - used) {
            flush();
            if (length > capacity) {
                failed |= !sink.write(text, length);
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
    void flush()
    {
        if (used > 0 && !failed)
            failed = !sink.write(buffer.data(), used);
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
};

void appendInfo(OutputBuffer& out, const FilesystemNode& node, bool withSize, bool readError = false)
{
    out.append("{\"name\":");
    out.appendString(node.name.view());
    if (withSize && !readError) {
        out.append(",\"asize\":");
        out.appendNumber(node.size);
    }
    if (readError)
        out.append(",\"read_error\":true");
    out.append("}");
}

} // namespace

ScanFileWriter::ScanFileWriter(std::string programVersion, uint64_t timestamp)
    : programVersion(std::move(programVersion))
    , timestamp(timestamp)
{
}

bool ScanFileWriter::write(const FilesystemNode& root, ByteSink& sink, const std::vector<const FilesystemNode*>& unreadableNodes)
{
    const std::unordered_set<const FilesystemNode*> unreadable(unreadableNodes.begin(), unreadableNodes.end());
    // Usually nothing is marked; then no file costs a lookup.
    auto marked = [&](const FilesystemNode* node) { return !unreadable.empty() && unreadable.count(node) > 0; };
    failure.clear();
    OutputBuffer out(sink);
    out.append("[1,2,{\"progname\":\"velbrin\",\"progver\":");
    out.appendString(programVersion);
    out.append(",\"timestamp\":");
    out.appendNumber(timestamp);
    out.append("},\n");

    if (root.type == FilesystemNode::Type::FILE) {
        // A scan of a single file: its info object stands where the root directory would.
        appendInfo(out, root, true, marked(&root));
    } else {
        // Each frame is a directory whose array is open and the index of its next child.
        struct Frame {
            const FilesystemNode* directory;
            int64_t next;
        };
        std::vector<Frame> stack;
        out.append("[");
        appendInfo(out, root, false, marked(&root));
        stack.push_back({ &root, 0 });
        while (!stack.empty() && out.ok()) {
            Frame& frame = stack.back();
            if (frame.next == frame.directory->children.count) {
                out.append("]");
                stack.pop_back();
                continue;
            }
            const FilesystemNode* child = frame.directory->children[frame.next++];
            out.append(",\n");
            if (child->type == FilesystemNode::Type::DIRECTORY) {
                out.append("[");
                appendInfo(out, *child, false, marked(child));
                stack.push_back({ child, 0 });
            } else {
                appendInfo(out, *child, true, marked(child));
            }
        }
    }
    out.append("]\n");
    out.flush();
    if (!out.ok() || !sink.finish()) {
        failure = sink.error().empty() ? "cannot write the scan file" : sink.error();
        return false;
    }
    return true;
}
