// GlContext core: creation and destruction, the thread's current context, the shared-resource
// registry and release chain, share-group cache clearing, texture binding and clearing. The
// factories live in GlContextShaders.cpp and GlContextObjects.cpp.
#include "engine/gl/GlContext.h"

#include "engine/gl/FrameBuffer.h"
#include "engine/gl/GlFunctions.h"
#include "engine/gl/GlLoader.h"
#include "engine/gl/NativeContext.h"
#include "engine/gl/Texturelike.h"

#include <algorithm>
#include <cassert>

namespace orvex {

namespace {
thread_local GlContext* threadCurrentContext = nullptr;

constexpr size_t initialBucketCount = 64;
constexpr uint64_t nameMultiplier = 0x5851F42D4C957F2DULL;
constexpr uint64_t tagMultiplier = 0xA7AE0BD2B36A80D3ULL; // -nameMultiplier modulo 2^64
} // namespace

// [SECTION] Creation and destruction

GlContext* createGlContext(NativeContext* native)
{
    if (!native)
        return nullptr;
    // The loader reads the version and entry points of whatever context is current, so this
    // one must be current before the first load.
    GlContext* previous = threadCurrentContext;
    if (!native->makeCurrent() || !initializeGl(*native)) {
        if (previous)
            previous->nativeContext->makeCurrent();
        return nullptr;
    }
    auto* context = new GlContext(native);
    native->makeCurrent();
    threadCurrentContext = context;
    gl::BlendFunc(GL_ONE, GL_ZERO);
    gl::PixelStorei(GL_PACK_ALIGNMENT, 1);
    gl::PixelStorei(GL_UNPACK_ALIGNMENT, 1);
    return context;
}

GlContext::GlContext(NativeContext* native)
    : root(this)
    , nativeContext(native)
    , screen(std::make_unique<ScreenFrameBuffer>(this))
{
    current.frameBuffer = screen.get();
}

GlContext::~GlContext()
{
    for (std::unique_ptr<Entry>& bucket : buckets)
        bucket.reset();
    entryCount = 0;

    // Newest first, while the token still says alive, so each resource can delete its GL names.
    while (Deallocator::BaseNode* node = releaseChain) {
        if (--node->references != 0) {
            releaseChain = nullptr; // the rest of the chain belongs to another owner too
            break;
        }
        releaseChain = node->next;
        node->release();
        delete node;
    }

    liveness.kill();
    if (threadCurrentContext == this)
        threadCurrentContext = nullptr;
    if (root != this)
        std::replace(root->sharingContexts.begin(), root->sharingContexts.end(), this,
                     static_cast<GlContext*>(nullptr));
    current = Caches();
    screen.reset();
}

// [SECTION] Current context

GlContext* GlContext::threadCurrent()
{
    return threadCurrentContext;
}

void GlContext::makeCurrent()
{
    GlContext* outgoing = threadCurrentContext;
    if (outgoing == this)
        return;
    // Commands queued on the outgoing context must not race with what this one does next.
    if (outgoing)
        gl::Finish();
    if (nativeContext->makeCurrent())
        threadCurrentContext = this;
}

void GlContext::makeShareCurrent()
{
    GlContext* active = threadCurrentContext;
    if (active && active->root == root)
        return;
    makeCurrent();
}

// [SECTION] Shared-resource registry

uint64_t GlContext::hashKey(TypeTag tag, std::string_view name)
{
    uint64_t h = name.size();
    for (char byte : name)
        h = (h * nameMultiplier) ^ uint64_t(int64_t(static_cast<signed char>(byte)));
    return h ^ (uint64_t(reinterpret_cast<uintptr_t>(tag)) * tagMultiplier);
}

GlContext::Entry* GlContext::findEntry(TypeTag tag, std::string_view name) const
{
    if (buckets.empty())
        return nullptr;
    Entry* entry = buckets[hashKey(tag, name) & (buckets.size() - 1)].get();
    for (; entry; entry = entry->next.get())
        if (entry->tag == tag && entry->name == name)
            return entry;
    return nullptr;
}

void* GlContext::find(TypeTag tag, std::string_view name) const
{
    Entry* entry = findEntry(tag, name);
    return entry ? entry->value : nullptr;
}

void GlContext::store(TypeTag tag, std::string_view name, void* value)
{
    if (Entry* entry = findEntry(tag, name))
        entry->value = value;
    else
        insert(tag, name, value);
}

void GlContext::insert(TypeTag tag, std::string_view name, void* value)
{
    const uint64_t h = hashKey(tag, name);
    if (buckets.empty())
        buckets.resize(initialBucketCount);
    else if (entryCount * 2 >= buckets.size() && buckets[h & (buckets.size() - 1)])
        rehash(buckets.size() * 4); // grow only when the new entry would collide
    auto entry = std::make_unique<Entry>(Entry{tag, std::string(name), value, nullptr});
    std::unique_ptr<Entry>& bucket = buckets[h & (buckets.size() - 1)];
    entry->next = std::move(bucket);
    bucket = std::move(entry);
    ++entryCount;
}

void GlContext::rehash(size_t bucketCount)
{
    std::vector<std::unique_ptr<Entry>> grown(bucketCount);
    for (std::unique_ptr<Entry>& bucket : buckets) {
        while (bucket) {
            std::unique_ptr<Entry> entry = std::move(bucket);
            bucket = std::move(entry->next);
            std::unique_ptr<Entry>& target = grown[hashKey(entry->tag, entry->name) & (bucketCount - 1)];
            entry->next = std::move(target);
            target = std::move(entry);
        }
    }
    buckets = std::move(grown);
}

void GlContext::pushReleaseNode(Deallocator::BaseNode* node)
{
    node->next = releaseChain;
    releaseChain = node;
}

// [SECTION] Share-group caches

void GlContext::forgetProgram(const Shader* program)
{
    auto forget = [program](GlContext* context) {
        if (context && context->current.program == program)
            context->current.program = nullptr;
    };
    forget(root);
    for (GlContext* sharing : root->sharingContexts)
        forget(sharing);
}

void GlContext::forgetTexture(const Texturelike* texture)
{
    auto forget = [texture](GlContext* context) {
        if (context && context->current.texture == texture)
            context->current.texture = nullptr;
    };
    forget(root);
    for (GlContext* sharing : root->sharingContexts)
        forget(sharing);
}

// [SECTION] Drawing state

void GlContext::bindTexture(int unit, Texturelike* texture)
{
    assert(texture && "GlContext::bindTexture: pass the texture to bind; there is no unbind by null");
    makeCurrent();
    gl::ActiveTexture(GLenum(GL_TEXTURE0 + unit));
    gl::BindTexture(texture->target(), texture->name());
    current.texture = texture;
}

void GlContext::clear(Color<float> color)
{
    makeCurrent();
    gl::ClearColor(color.red, color.green, color.blue, color.alpha);
    gl::Clear(GL_COLOR_BUFFER_BIT);
}

} // namespace orvex
