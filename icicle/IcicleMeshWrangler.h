// IcicleMeshWrangler: turns a finished size tree into the chart's GPU mesh. The geometry comes
// from IcicleOptimization; this adds the GL side (a static point mesh of GeometryVertex).
// Main thread, with the context's GL available.
#pragma once

#include "engine/core/NonNull.h"
#include "engine/core/UniquePtr.h"
#include "engine/gl/MasterPtr.h"
#include "icicle/IcicleMesh.h"
#include "icicle/IcicleNodeLookup.h"
#include "icicle/IcicleOptimization.h"

#include <cstdint>
#include <string_view>

namespace orvex {
class GlContext;
}

class IcicleMeshWrangler {
public:
    // Lays out `root` (cells under `minimumSize` bytes are left out), uploads its vertices to a new
    // mesh on `context`, fills `lookup` and moves the tree into it. When GL cannot create the mesh
    // the result has none but its counts, index and the lookup are complete. A null root gives an
    // empty result and an empty lookup. `rootCaption`, when given, labels the root in place of its
    // name; `marks` names the unreadable nodes to hatch.
    static IcicleMesh<orvex::MasterPtr, int> createOptimizedMesh(IcicleNodeLookup& lookup,
                                                                 orvex::NonNull<orvex::GlContext*> context,
                                                                 orvex::UniquePtr<FilesystemNode>&& root,
                                                                 uint64_t minimumSize,
                                                                 std::string_view rootCaption = {},
                                                                 const IcicleOptimization::Marks& marks = {});
};
