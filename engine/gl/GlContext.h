// GlContext: the engine's handle on one native OpenGL context. It caches the GL state the
// wrappers set (so redundant binds are skipped), keeps a registry of shared resources by
// (type tag, name), owns those resources through a release chain that destroys them newest first
// while the context still works, and hands every wrapper a liveness token so that nothing makes a
// GL call after the context is gone. The factories of shaders (GlContextShaders.cpp) and of
// buffers, vertex arrays, textures and framebuffers (GlContextObjects.cpp) live here too.
// Main thread.
#pragma once

#include "engine/core/Math.h"
#include "engine/gl/ContextToken.h"
#include "engine/gl/Deallocator.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace orvex {

class NativeContext;
class Shader;
class ShaderComponent; // Shader::Component
class BasicShader;
class TextureShader;
class BufferObject;
class VertexArray;
class Texture1D;
class Texture2D;
class TextureBuffer;
class Texturelike;
class FrameBuffer;
class ScreenFrameBuffer;
struct PixelFormat;
struct ImageView;
struct TextureSettings;

class GlContext {
public:
    // A tag is the address of a static object unique to the resource's type.
    using TypeTag = const void*;

    ~GlContext();
    GlContext(const GlContext&) = delete;
    GlContext& operator=(const GlContext&) = delete;

    // Current on the calling thread; glFinish on the outgoing context first.
    void makeCurrent();
    // Like makeCurrent, but any context of the share group will do (object creation/deletion).
    void makeShareCurrent();

    // Shared resources: find -> stored value or null; store overwrites or adds; adopt makes the
    // context own `object` (destroyed newest first at the context's end).
    void* find(TypeTag tag, std::string_view name) const;
    void store(TypeTag tag, std::string_view name, void* value);
    template <typename T>
    void adopt(T* object) { pushReleaseNode(new Deallocator::Node<T>(object)); }

    // Shaders (GlContextShaders.cpp). `stage` is GL_VERTEX_SHADER, GL_GEOMETRY_SHADER or
    // GL_FRAGMENT_SHADER; an attribute's index in `attributeNames` is its location.
    struct ShaderSource {
        const char* text;
        size_t length;
    };
    ShaderComponent* createShaderComponent(unsigned stage, ShaderSource source);
    Shader* createShader(ShaderSource vertex, ShaderSource fragment, const std::vector<const char*>& attributeNames);
    Shader* createShader(const std::vector<ShaderComponent*>& components, const std::vector<const char*>& attributeNames);
    BasicShader* createBasicShader();
    TextureShader* createTextureShader();
    const std::string& lastError() const { return errorText; }
    void setLastError(std::string text) { errorText = std::move(text); }

    // GPU data objects (GlContextObjects.cpp); null on failure.
    BufferObject* createBuffer(int usage);
    BufferObject* createBuffer(size_t floatCount, int usage);
    BufferObject* createBuffer(const std::vector<float>& floats, int usage);
    VertexArray* createVertexArray();
    Texture1D* createTexture1D(const ImageView& image, int formatFlags, const TextureSettings& settings);
    Texture2D* createTexture2D(const ImageView& image, int formatFlags, const TextureSettings& settings);
    Texture2D* createTexture2D(int width, int height, PixelFormat format, int formatFlags, const TextureSettings& settings);
    TextureBuffer* createTextureBuffer(int usage);
    TextureBuffer* createTextureBuffer(const std::vector<Vector<float, 3>>& data, int usage);
    ScreenFrameBuffer* screenFrameBuffer() const { return screen.get(); }
    FrameBuffer* currentFrameBuffer() const { return current.frameBuffer; }
    void bindTexture(int unit, Texturelike* texture);
    void clear(Color<float> color);

    NativeContext* native() const { return nativeContext; }
    const ContextToken& token() const { return liveness; }
    GlContext* shareRoot() const { return root; }

    // State caches, read and written by the wrappers (never by glGet*).
    struct Caches {
        FrameBuffer* frameBuffer = nullptr;
        const Shader* program = nullptr;
        const void* vertexArray = nullptr;
        const Texturelike* texture = nullptr;
        int blendMode = -1; // unset
        bool stencilEnabled = false;
        int patchVertices = 3;
    };
    Caches current;
    // Clears every cache entry in this context's share group that names `program` / `texture`.
    void forgetProgram(const Shader* program);
    void forgetTexture(const Texturelike* texture);

    // The calling thread's current context, or null.
    static GlContext* threadCurrent();

private:
    friend GlContext* createGlContext(NativeContext* native);
    explicit GlContext(NativeContext* native);
    void pushReleaseNode(Deallocator::BaseNode* node);

    struct Entry {
        TypeTag tag;
        std::string name;
        void* value;
        std::unique_ptr<Entry> next;
    };
    static uint64_t hashKey(TypeTag tag, std::string_view name);
    Entry* findEntry(TypeTag tag, std::string_view name) const;
    void insert(TypeTag tag, std::string_view name, void* value);
    void rehash(size_t bucketCount);

    std::vector<std::unique_ptr<Entry>> buckets; // empty before the first insert
    size_t entryCount = 0;
    Deallocator::BaseNode* releaseChain = nullptr;
    ContextToken liveness;
    GlContext* root;
    NativeContext* nativeContext;
    std::unique_ptr<ScreenFrameBuffer> screen;
    std::vector<GlContext*> sharingContexts;
    std::string errorText;

    friend class GlContextTest;
};

// Null when `native` is null or the GL entry points cannot be loaded (initializeGl).
GlContext* createGlContext(NativeContext* native);

} // namespace orvex
