// TextAtlas and AtlasSlot: the one texture all native text objects of a window draw from. Each
// object rasterises its text onto the atlas's BGR drawing surface at (0, 0), then copies that
// region into its slot, a rectangle of the RGB texture handed out by a rectangle packer. When the
// packer is full, every live slot is repacked (growing the texture when needed, with the
// grewLastTime rule below) and its pixels moved to its new place. Works without a GL context
// (no texture: nothing is uploaded), which is how the packing logic is tested. Window thread.
#pragma once

#include "engine/core/Math.h"
#include "engine/core/UniquePtr.h"
#include "gui/text/BgrSurface.h"
#include "gui/text/RectanglePacker.h"

#include <set>

namespace orvex {
class GlContext;
class Texture2D;
} // namespace orvex

namespace orvex::gui {

class TextAtlas;

// A text object's place in the atlas; registered with the atlas while it lives.
class AtlasSlot {
public:
    explicit AtlasSlot(TextAtlas& atlas);
    // Frees the rectangle and unregisters.
    ~AtlasSlot();
    AtlasSlot(const AtlasSlot&) = delete;
    AtlasSlot& operator=(const AtlasSlot&) = delete;

    TextAtlas& atlas;
    IntRect rect; // empty: no place (never drawn yet, freed, or taken away by a resize)
};

class TextAtlas {
public:
    // Past this extent the atlas stops doubling and an allocation fails instead.
    static constexpr int MAX_EXTENT = 16384;

    // S(n): the smallest multiple of 256 at least 256 above n.
    static int extentFor(int clientExtent) { return (clientExtent + 511) / 256 * 256; }
    // The size for a window's client area: max(1024, S(width)) x max(512, S(height)).
    static Vector<int, 2> initialSize(int clientWidth, int clientHeight);

    // A `context` of null makes an atlas without a texture.
    TextAtlas(GlContext* context, int width, int height);
    ~TextAtlas();
    TextAtlas(const TextAtlas&) = delete;
    TextAtlas& operator=(const TextAtlas&) = delete;

    // Called on every resize of the window: when the client area outgrows the drawing surface,
    // resizes to S(width) x S(height), never below the current texture size.
    void fitWindow(int clientWidth, int clientHeight);
    // Empties every slot (their texts are re-rasterised when next drawn), restarts the packer,
    // resizes the texture (content undefined; deleted when the size is not positive) and makes
    // a new drawing surface.
    void resize(int width, int height);

    // Gives `slot` a w x h rectangle, repacking and growing when the packer is full; false (slot
    // left empty) when even the largest atlas cannot hold everything.
    bool allocate(AtlasSlot& slot, int w, int h);
    // Frees the slot's rectangle.
    void release(AtlasSlot& slot);
    // Copies the surface region (0, 0)-(width, height) into the top-left of the slot's rectangle;
    // a slot may be wider than its text (and than the surface), and only the text is sent.
    void upload(const AtlasSlot& slot, int width, int height);

    // The texture's (and packer's) size, and the drawing surface, whose size bounds a text's layout.
    int width() const { return packer.width(); }
    int height() const { return packer.height(); }
    BgrSurface& surface() { return drawingSurface; }
    Texture2D* texture() const { return atlasTexture.get(); }
    bool grewLastTime() const { return grew; }
    size_t slotCount() const { return slots.size(); }

private:
    friend class AtlasSlot;
    bool repack(AtlasSlot& requester, int w, int h);
    void makeTexture(int width, int height);

    GlContext* context;
    UniquePtr<Texture2D> atlasTexture;
    BgrSurface drawingSurface;
    RectanglePacker packer;
    std::set<AtlasSlot*> slots;
    bool grew = false;
};

} // namespace orvex::gui
