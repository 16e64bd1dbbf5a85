// ScanFileWriter: a pre-order walk with an explicit stack that formats into one buffer and
// hands it to the sink in large pieces. Each entry is written as a line of its own.
#include "scanfile/ScanFileWriter.h"

#include <cassert>

#include "scan/FilesystemNode.h"
#include "scanfile/ByteSink.h"
#include "scanfile/ExportBuffer.h"

#include <unordered_set>
#include <vector>

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
    ExportBuffer out(sink);
    out.appendHeader(programVersion, timestamp);

    if (root.type == FilesystemNode::Type::FILE) {
        // A scan of a single file: its info object stands where the root directory would.
        out.appendInfo(root.name.view(), root.size, true, marked(&root));
    } else {
        // Each frame is a directory whose array is open and the index of its next child.
        struct Frame {
            const FilesystemNode* directory;
            int64_t next;
        };
        std::vector<Frame> stack;
        out.append("[");
        out.appendInfo(root.name.view(), root.size, false, marked(&root));
        stack.push_back({ &root, 0 });
        while (!stack.empty() && out.ok()) {
            Frame& frame = stack.back();
            if (frame.next == frame.directory->children.count) {
                out.append("]");
                stack.pop_back();
                continue;
            }
            const FilesystemNode* child = frame.directory->children[frame.next++];
            // The export lists every entry: it is written from trees that were never folded.
            assert(child->type != FilesystemNode::Type::FOLDED && "ScanFileWriter: a folded tree cannot be exported");
            out.append(",\n");
            if (child->type == FilesystemNode::Type::DIRECTORY) {
                out.append("[");
                out.appendInfo(child->name.view(), child->size, false, marked(child));
                stack.push_back({ child, 0 });
            } else {
                out.appendInfo(child->name.view(), child->size, true, marked(child));
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
