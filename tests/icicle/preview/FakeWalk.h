// FakeWalk drives a ScanListener the way FileSizeMapper's worker does, building the nodes as it
// goes (a file's size is in its parent before fileAdded, a directory's only after directoryLeft);
// replayTree() feeds a finished tree through a listener in the same order. MeshRecording keeps
// what a PreviewBuilder writes, for tests without GL.
#pragma once

#include "icicle/preview/PreviewBuilder.h"
#include "scan/FilesystemNode.h"

#include <algorithm>
#include <cassert>
#include <string>
#include <vector>

namespace previewtest {

struct MeshRecording {
    std::vector<GeometryVertex> vertices = std::vector<GeometryVertex>(PreviewBuilder::meshCapacity);
    int vertexCount = 0;
    int verticesWritten = 0; // over all writes
};

class RecordingWriter final : public PreviewBuilder::MeshWriter {
public:
    explicit RecordingWriter(MeshRecording& recording) : recording(recording) {}
    void write(int first, const GeometryVertex* vertices, int count) override
    {
        const int n = std::min(int(recording.vertices.size()) - first, count);
        std::copy(vertices, vertices + std::max(n, 0), recording.vertices.begin() + first);
        recording.verticesWritten += std::max(n, 0);
    }
    void setVertexCount(int count) override { recording.vertexCount = count; }
    orvex::DynamicMesh<GeometryVertex>* mesh() override { return nullptr; }

private:
    MeshRecording& recording;
};

inline orvex::UniquePtr<PreviewBuilder> recordingBuilder(MeshRecording& recording)
{
    return orvex::UniquePtr<PreviewBuilder>(
        new PreviewBuilder(orvex::UniquePtr<PreviewBuilder::MeshWriter>(new RecordingWriter(recording))));
}

class FakeWalk {
public:
    FakeWalk(ScanListener& listener, const std::string& rootName = "/scan") : listener(listener)
    {
        listener.scanStarted(rootName.data(), rootName.size());
        root.reset(node(FilesystemNode::Type::DIRECTORY, rootName, nullptr, 0));
        open.push_back(root.get());
        listener.directoryEntered(root.get());
    }

    void file(const std::string& name, uint64_t size)
    {
        FilesystemNode* parent = open.back();
        orvex::UniquePtr<FilesystemNode> file(node(FilesystemNode::Type::FILE, name, parent, size));
        parent->size = saturatingAdd(parent->size, size);
        listener.fileAdded(file.get());
        parent->appendChild(std::move(file));
    }
    void enter(const std::string& name)
    {
        FilesystemNode* parent = open.back();
        parent->appendChild(orvex::UniquePtr<FilesystemNode>(node(FilesystemNode::Type::DIRECTORY, name, parent, 0)));
        open.push_back(parent->children[parent->children.count - 1]);
        listener.directoryEntered(open.back());
    }
    void leave()
    {
        assert(!open.empty() && "FakeWalk::leave: nothing is open");
        FilesystemNode* directory = open.back();
        listener.directoryLeft(directory);
        open.pop_back();
        if (!open.empty())
            open.back()->size = saturatingAdd(open.back()->size, directory->size);
    }
    void finish()
    {
        while (!open.empty())
            leave();
    }
    size_t depth() const { return open.size() - 1; }

    orvex::UniquePtr<FilesystemNode> root;

private:
    static FilesystemNode* node(FilesystemNode::Type type, const std::string& name, FilesystemNode* parent,
                                uint64_t size)
    {
        auto* created = new FilesystemNode;
        created->type = type;
        created->setName(name);
        created->parent = parent;
        created->size = size;
        return created;
    }

    ScanListener& listener;
    std::vector<FilesystemNode*> open;
};

// The notifications of a walk over the finished tree below `directory`, in its children's order
// (which is the order the scanner found them in).
inline void replayTree(ScanListener& listener, FilesystemNode* directory)
{
    listener.directoryEntered(directory);
    for (int64_t i = 0; i < directory->children.count; ++i) {
        FilesystemNode* child = directory->children[i];
        if (child->type == FilesystemNode::Type::FILE)
            listener.fileAdded(child);
        else
            replayTree(listener, child);
    }
    listener.directoryLeft(directory);
}

} // namespace previewtest
