// Builds size trees in memory for the chart tests: nested literals for worked examples and a
// seeded random tree for property tests. Directory sizes are always the sums below them.
#pragma once

#include "scan/FilesystemNode.h"

#include <cstdint>
#include <random>
#include <string>
#include <vector>

namespace testtree {

struct Spec {
    std::string name;
    uint64_t size = 0; // files only
    bool directory = false;
    std::vector<Spec> children;
};

inline Spec file(std::string name, uint64_t size) { return { std::move(name), size, false, {} }; }
inline Spec dir(std::string name, std::vector<Spec> children) { return { std::move(name), 0, true, std::move(children) }; }

inline orvex::UniquePtr<FilesystemNode> build(const Spec& spec, FilesystemNode* parent = nullptr)
{
    orvex::UniquePtr<FilesystemNode> node(new FilesystemNode);
    node->type = spec.directory ? FilesystemNode::Type::DIRECTORY : FilesystemNode::Type::FILE;
    node->setName(spec.name);
    node->parent = parent;
    node->size = spec.directory ? 0 : spec.size;
    for (const Spec& childSpec : spec.children) {
        auto child = build(childSpec, node.get());
        node->size = saturatingAdd(node->size, child->size); // as the scanner sums
        node->appendChild(std::move(child));
    }
    return node;
}

// Children of a directory by name, for readable assertions.
inline FilesystemNode* child(FilesystemNode* node, const std::string& name)
{
    for (int64_t i = 0; i < node->children.count; ++i)
        if (node->children[i]->name.view() == name)
            return node->children[i];
    return nullptr;
}

// A random tree of about `count` nodes: varied fan-out, heavy-tailed file sizes, some empty
// files and empty directories.
inline orvex::UniquePtr<FilesystemNode> random(uint64_t seed, int count)
{
    std::mt19937_64 rng(seed);
    std::lognormal_distribution<double> size(7.0, 3.0);
    Spec root = dir("/random root", {});
    std::vector<Spec*> directories { &root };
    std::vector<std::vector<size_t>> paths { {} };
    // Build as index paths so that pointers into growing vectors are never kept.
    auto at = [&](const std::vector<size_t>& path) {
        Spec* s = &root;
        for (size_t i : path)
            s = &s->children[i];
        return s;
    };
    for (int i = 1; i < count; ++i) {
        size_t pick = rng() % paths.size();
        if (rng() % 3)
            pick = paths.size() - 1 - std::min<size_t>(paths.size() - 1, rng() % 5);
        std::vector<size_t> parentPath = paths[pick];
        Spec* parent = at(parentPath);
        if (rng() % 6 == 0) {
            parent->children.push_back(dir("d" + std::to_string(i), {}));
            parentPath.push_back(parent->children.size() - 1);
            paths.push_back(parentPath);
        } else {
            uint64_t bytes = rng() % 50 == 0 ? 0 : uint64_t(size(rng));
            parent->children.push_back(file("f" + std::to_string(i), bytes));
        }
    }
    return build(root);
}

} // namespace testtree
