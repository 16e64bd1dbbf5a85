// TextAtlas: slot registry, allocation with repack and growth, window-driven resize, uploads.
#include "gui/text/TextAtlas.h"

#include "engine/gl/GlContext.h"
#include "engine/gl/PixelFormat.h"
#include "engine/gl/Texture.h"

#include <algorithm>
#include <cassert>
#include <cstring>
#include <vector>

namespace orvex::gui {

namespace {

// 8-bit BGR, never sRGB: the surface's bytes go up unchanged into an RGB texture.
constexpr PixelFormat BGR_FORMAT { COMPONENT_UINT8, 75 };

} // namespace

// [SECTION] Slots

AtlasSlot::AtlasSlot(TextAtlas& atlas) : atlas(atlas) { atlas.slots.insert(this); }

AtlasSlot::~AtlasSlot()
{
    atlas.release(*this);
    atlas.slots.erase(this);
}

// [SECTION] Size

Vector<int, 2> TextAtlas::initialSize(int clientWidth, int clientHeight)
{
    return { { std::max(1024, extentFor(clientWidth)), std::max(512, extentFor(clientHeight)) } };
}

TextAtlas::TextAtlas(GlContext* context, int width, int height) : context(context) { resize(width, height); }

TextAtlas::~TextAtlas()
{
    assert(slots.empty() && "TextAtlas: destroy every native text object before the atlas");
}

void TextAtlas::makeTexture(int width, int height)
{
    if (width <= 0 || height <= 0) {
        atlasTexture = nullptr;
        return;
    }
    const ImageView storage { BGR_FORMAT, nullptr, width, height };
    if (atlasTexture) {
        atlasTexture->reallocate(storage, 0);
        return;
    }
    if (!context)
        return;
    TextureSettings settings;
    // Text is drawn one texel per pixel, so sampling must not blend neighbouring slots.
    settings.minFilter = 0;
    settings.magFilter = 0;
    settings.wrapS = 1;
    settings.wrapT = 1;
    atlasTexture.reset(context->createTexture2D(storage, 0, settings));
}

void TextAtlas::fitWindow(int clientWidth, int clientHeight)
{
    if (clientWidth <= drawingSurface.width() && clientHeight <= drawingSurface.height())
        return;
    // A texture that repacking already grew keeps its size: shrinking one dimension while the
    // other grows would only force the texts that needed the room to grow it again.
    resize(std::max(width(), extentFor(clientWidth)), std::max(height(), extentFor(clientHeight)));
}

void TextAtlas::resize(int width, int height)
{
    for (AtlasSlot* slot : slots)
        slot->rect = {};
    packer.reset(width, height);
    makeTexture(width, height);
    drawingSurface = BgrSurface(width, height);
}

// [SECTION] Allocation

bool TextAtlas::allocate(AtlasSlot& slot, int w, int h)
{
    release(slot);
    if (std::optional<IntRect> rect = packer.allocate(w, h)) {
        slot.rect = *rect;
        return true;
    }
    return repack(slot, w, h);
}

void TextAtlas::release(AtlasSlot& slot)
{
    if (!slot.rect.empty())
        packer.release(slot.rect);
    slot.rect = {};
}

bool TextAtlas::repack(AtlasSlot& requester, int w, int h)
{
    std::vector<AtlasSlot*> live;
    std::vector<std::pair<int, int>> sizes;
    for (AtlasSlot* slot : slots) {
        if (slot != &requester && !slot->rect.empty()) {
            live.push_back(slot);
            sizes.emplace_back(slot->rect.width(), slot->rect.height());
        }
    }
    sizes.emplace_back(w, h);

    // After a repack that had to stay at the same size, the next one doubles at once: a full
    // atlas that only just fits would otherwise be repacked on every new text.
    int newWidth = width();
    int newHeight = height();
    bool grewNow = grew;
    if (grew && newWidth * 2 <= MAX_EXTENT && newHeight * 2 <= MAX_EXTENT) {
        newWidth *= 2;
        newHeight *= 2;
        grewNow = false;
    } else {
        grewNow = true;
    }
    RectanglePacker fresh;
    std::optional<std::vector<IntRect>> placed;
    while (!(placed = RectanglePacker::pack(newWidth, newHeight, sizes, fresh))) {
        if (newWidth * 2 > MAX_EXTENT || newHeight * 2 > MAX_EXTENT)
            return false;
        newWidth *= 2;
        newHeight *= 2;
        grewNow = false;
    }
    grew = grewNow;

    if (atlasTexture) {
        const Image old = atlasTexture->read(BGR_FORMAT);
        Image moved(BGR_FORMAT, newWidth, newHeight);
        for (size_t i = 0; i < live.size(); ++i) {
            const IntRect& from = live[i]->rect;
            const IntRect& to = (*placed)[i];
            for (int y = 0; y < from.height(); ++y)
                std::memcpy(moved.data() + (size_t(to.y0 + y) * size_t(newWidth) + size_t(to.x0)) * 3,
                            old.data() + (size_t(from.y0 + y) * size_t(old.width()) + size_t(from.x0)) * 3,
                            size_t(from.width()) * 3);
        }
        atlasTexture->reallocate(moved.view(), 0);
    }
    for (size_t i = 0; i < live.size(); ++i)
        live[i]->rect = (*placed)[i];
    requester.rect = placed->back();
    packer = std::move(fresh);
    return true;
}

void TextAtlas::upload(const AtlasSlot& slot, int width, int height)
{
    width = std::min(width, slot.rect.width());
    height = std::min(height, slot.rect.height());
    if (!atlasTexture || width <= 0 || height <= 0)
        return;
    const std::vector<uint8_t> pixels = drawingSurface.copyRegion(width, height);
    if (pixels.size() != size_t(width) * size_t(height) * 3)
        return; // the surface is smaller than the text: nothing sensible to upload
    atlasTexture->update({ { slot.rect.x0, slot.rect.y0 } }, { BGR_FORMAT, pixels.data(), width, height });
}

} // namespace orvex::gui
