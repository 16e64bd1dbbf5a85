// Storage of the process-wide entry points and capability flags; the loader fills them.
#include "engine/gl/GlFunctions.h"

namespace orvex::gl {

#define ORVEX_GL_DEFINE(name) decltype(&::gl##name) name = nullptr;
ORVEX_GL_ALL(ORVEX_GL_DEFINE)
#undef ORVEX_GL_DEFINE

bool hasMipmapGeneration = false;
bool hasTextureBuffers = false;
bool hasVertexArrayObjects = false;
bool hasAttribDivisor = false;
bool hasPatchParameters = false;
float maxAnisotropy = 1.0f;

} // namespace orvex::gl
