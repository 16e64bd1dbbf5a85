// GlLoader: fills the gl:: entry points and capability flags of GlFunctions.h once per process
// through a native context's look-up. A name counts as present only when the look-up answers it
// AND the context's version or extension list offers it, because some platforms (GLX) answer
// every name, real or not. Contexts below OpenGL 3.3 (geometry shaders) are refused.
// initializeGl may be called from any thread (the first call wins); the rest is main-thread only.
#pragma once

#include "engine/gl/GlFunctions.h"

#include <string>
#include <string_view>
#include <vector>

namespace orvex {

class NativeContext;

// The one-time initialiser (a thread-safe function-local static): the first call loads every
// entry point through `native`, which must be current; that call and every later one return
// its result. A failed load is final and never looks anything up again.
bool initializeGl(NativeContext& native);

// The parameterless initializeGl() of GlFunctions.h reports that result without loading: false
// until initializeGl(native) has succeeded.

// Why the one-time load failed ("OpenGL 3.3 is required ...", "missing glVertexAttribI4iv");
// empty when it succeeded or has not run.
const std::string& glLoadFailure();

// What the current context offers: its version as major * 10 + minor (33 for 3.3) and its
// extension names.
struct GlContextOffer {
    int version = 0;
    std::vector<std::string> extensions;
    bool hasExtension(std::string_view name) const;
    // Whether `name` (a full entry-point name) is core in `version` or comes with one of the
    // listed extensions. Names the loader does not know are never offered.
    bool offers(std::string_view name) const;
};

// Reads the version with glGetIntegerv(GL_MAJOR_VERSION / GL_MINOR_VERSION) and the extensions
// with glGetStringi, both fetched through `lookup`; version 0 when that is impossible.
GlContextOffer readContextOffer(GlProcLookup lookup);

// The loader behind initializeGl, for any look-up: resets the flags, refuses contexts below 3.3,
// fetches the directly-called 1.1 functions and the three required steps (false as soon as a
// step is incomplete), then the twelve optional families with their fallback chains, and reads
// maxAnisotropy when the anisotropic-filtering extension is listed. `failure` (optional)
// receives the reason for false.
bool loadGlFunctions(GlProcLookup lookup, std::string* failure = nullptr);

} // namespace orvex
