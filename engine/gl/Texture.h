// Texture, Texture1D, Texture2D: sampled images of one pixel format, created by the GlContext from
// an image and texture settings. Mipmaps are generated on the GPU when the driver can, and kept up
// to date by every change of a 2D texture. Main thread.
#pragma once

#include "engine/core/Math.h"
#include "engine/gl/PixelFormat.h"
#include "engine/gl/Texturelike.h"

namespace orvex {

class Texture : public Texturelike {
public:
    PixelFormat format() const { return pixelFormat; }
    bool hasMipmaps() const { return mipmapped; }

    // The GL minification filter for the settings' filter and mipmap codes.
    static unsigned minificationFilter(int minFilter, int mipmaps);
    // The GL wrap mode of a wrap code (0 repeat, 1 clamp to edge, 2 clamp to border, 3 mirrored).
    static unsigned wrapMode(int wrap);

protected:
    Texture(GlContext* context, unsigned name, unsigned target, PixelFormat format, bool hasMipmaps)
        : Texturelike(context, name, target), pixelFormat(format), mipmapped(hasMipmaps)
    {
    }

    // Creation steps shared by 1D and 2D: a new texture bound on the active unit with the settings'
    // sampling applied (mipmaps switched off where they cannot be generated). 0 on failure.
    static unsigned beginCreation(GlContext* context, unsigned target, const TextureSettings& settings, bool& mipmaps);
    // Mipmaps from level 0, then the previously bound texture back.
    static void endCreation(GlContext* context, unsigned target, bool mipmaps);

    PixelFormat pixelFormat;
    bool mipmapped;
};

class Texture1D final : public Texture {
public:
    // Null when the format has no GL equivalent or no texture name can be generated.
    static Texture1D* create(GlContext* context, const ImageView& image, int formatFlags, const TextureSettings& settings);

    int width() const { return texels; }

private:
    Texture1D(GlContext* context, unsigned name, PixelFormat format, bool hasMipmaps, int width);

    int texels;
};

class Texture2D final : public Texture {
public:
    // Null when the format has no GL equivalent or no texture name can be generated. A view
    // without data gives storage of undefined content.
    static Texture2D* create(GlContext* context, const ImageView& image, int formatFlags, const TextureSettings& settings);

    Vector<int, 2> size() const { return extent; }
    // Level 0 read back into a new image of the texture's size in `format`.
    Image read(PixelFormat format) const;
    // Writes `image` with its lower-left corner at `position`; a view without data writes nothing.
    void update(Vector<int, 2> position, const ImageView& image);
    // New storage of the image's size and format, filled from it; false (texture unchanged) when
    // the format has no GL equivalent.
    bool reallocate(const ImageView& image, int formatFlags);

private:
    Texture2D(GlContext* context, unsigned name, PixelFormat format, bool hasMipmaps, int width, int height);

    Vector<int, 2> extent;
};

} // namespace orvex
