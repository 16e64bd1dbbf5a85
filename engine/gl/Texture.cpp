// Texture creation and the work on existing textures. Every operation binds the texture on the
// active unit only for its own GL calls and then rebinds what the context records as bound, so
// the bound-texture cache stays true without a glGet.
#include "engine/gl/Texture.h"

#include "engine/gl/GlContext.h"
#include "engine/gl/GlFunctions.h"

#include <algorithm>

namespace orvex {

// [SECTION] Texturelike

Texturelike::Texturelike(GlContext* context, unsigned name, unsigned target)
    : owner(context), token(context->token()), textureName(name), textureTarget(target)
{
}

Texturelike::~Texturelike()
{
    if (!token.alive())
        return;
    owner->makeShareCurrent();
    owner->forgetTexture(this);
    gl::DeleteTextures(1, &textureName);
}

void Texturelike::bindToWork() const
{
    owner->makeCurrent();
    gl::BindTexture(textureTarget, textureName);
}

void Texturelike::rebindRecorded(GlContext* context, unsigned target)
{
    const Texturelike* previous = context->current.texture;
    if (previous)
        gl::BindTexture(previous->target(), previous->name());
    else
        gl::BindTexture(target, 0);
}

// [SECTION] Creation

unsigned Texture::minificationFilter(int minFilter, int mipmaps)
{
    if (minFilter == 0)
        return mipmaps == 1 ? GL_NEAREST_MIPMAP_NEAREST : mipmaps == 2 ? GL_NEAREST_MIPMAP_LINEAR : GL_NEAREST;
    if (minFilter == 1)
        return mipmaps == 1 ? GL_LINEAR_MIPMAP_NEAREST : mipmaps == 2 ? GL_LINEAR_MIPMAP_LINEAR : GL_LINEAR;
    return GL_LINEAR;
}

unsigned Texture::wrapMode(int wrap)
{
    switch (wrap) {
    case 1: return GL_CLAMP_TO_EDGE;
    case 2: return GL_CLAMP_TO_BORDER;
    case 3: return GL_MIRRORED_REPEAT;
    default: return GL_REPEAT;
    }
}

unsigned Texture::beginCreation(GlContext* context, unsigned target, const TextureSettings& settings, bool& mipmaps)
{
    int mipmapCode = gl::hasMipmapGeneration ? settings.mipmaps : 0;
    mipmaps = mipmapCode != 0;
    context->makeCurrent();
    GLuint name = 0;
    gl::GenTextures(1, &name);
    if (name == 0)
        return 0;
    gl::BindTexture(target, name);
    gl::TexParameteri(target, GL_TEXTURE_MIN_FILTER, GLint(minificationFilter(settings.minFilter, mipmapCode)));
    gl::TexParameteri(target, GL_TEXTURE_MAG_FILTER, settings.magFilter == 0 ? GL_NEAREST : GL_LINEAR);
    if (settings.anisotropy != 0)
        gl::TexParameterf(target, GL_TEXTURE_MAX_ANISOTROPY_EXT,
                          std::clamp(float(settings.anisotropy), 1.0f, std::max(gl::maxAnisotropy, 1.0f)));
    if (settings.lodBias != 0.0f)
        gl::TexParameterf(target, GL_TEXTURE_LOD_BIAS, settings.lodBias);
    gl::TexParameteri(target, GL_TEXTURE_WRAP_S, GLint(wrapMode(settings.wrapS)));
    bool border = settings.wrapS == 2;
    if (target != GL_TEXTURE_1D) {
        gl::TexParameteri(target, GL_TEXTURE_WRAP_T, GLint(wrapMode(settings.wrapT)));
        border = border || settings.wrapT == 2;
    }
    if (border) {
        const Color<float>& c = settings.borderColor;
        const float color[4] = { c.red, c.green, c.blue, c.alpha };
        gl::TexParameterfv(target, GL_TEXTURE_BORDER_COLOR, color);
    }
    return name;
}

void Texture::endCreation(GlContext* context, unsigned target, bool mipmaps)
{
    if (mipmaps)
        gl::GenerateMipmap(target);
    rebindRecorded(context, target);
}

namespace {

// A format the GL tables cannot express would give a texture without storage that samples as
// black; refusing it up front reports the failure instead.
bool expressible(PixelFormat format, int formatFlags)
{
    return internalFormat(format, formatFlags) != 0 && transferFormat(format.channelCode) != 0 &&
           transferType(format.componentType) != 0;
}

} // namespace

Texture1D::Texture1D(GlContext* context, unsigned name, PixelFormat format, bool hasMipmaps, int width)
    : Texture(context, name, GL_TEXTURE_1D, format, hasMipmaps), texels(width)
{
}

Texture1D* Texture1D::create(GlContext* context, const ImageView& image, int formatFlags, const TextureSettings& settings)
{
    if (!expressible(image.format, formatFlags))
        return nullptr;
    bool mipmaps = false;
    unsigned name = beginCreation(context, GL_TEXTURE_1D, settings, mipmaps);
    if (name == 0)
        return nullptr;
    gl::TexImage1D(GL_TEXTURE_1D, 0, GLint(internalFormat(image.format, formatFlags)), image.width, 0,
                   transferFormat(image.format.channelCode), transferType(image.format.componentType), image.data);
    endCreation(context, GL_TEXTURE_1D, mipmaps);
    return new Texture1D(context, name, image.format, mipmaps, image.width);
}

Texture2D::Texture2D(GlContext* context, unsigned name, PixelFormat format, bool hasMipmaps, int width, int height)
    : Texture(context, name, GL_TEXTURE_2D, format, hasMipmaps), extent { { width, height } }
{
}

Texture2D* Texture2D::create(GlContext* context, const ImageView& image, int formatFlags, const TextureSettings& settings)
{
    if (!expressible(image.format, formatFlags))
        return nullptr;
    bool mipmaps = false;
    unsigned name = beginCreation(context, GL_TEXTURE_2D, settings, mipmaps);
    if (name == 0)
        return nullptr;
    gl::TexImage2D(GL_TEXTURE_2D, 0, GLint(internalFormat(image.format, formatFlags)), image.width, image.height, 0,
                   transferFormat(image.format.channelCode), transferType(image.format.componentType), image.data);
    endCreation(context, GL_TEXTURE_2D, mipmaps);
    return new Texture2D(context, name, image.format, mipmaps, image.width, image.height);
}

// [SECTION] Work on a 2D texture

Image Texture2D::read(PixelFormat format) const
{
    Image image(format, extent[0], extent[1]);
    if (image.byteSize() == 0 || transferFormat(format.channelCode) == 0)
        return image;
    bindToWork();
    gl::GetTexImage(GL_TEXTURE_2D, 0, transferFormat(format.channelCode), transferType(format.componentType),
                    image.data());
    restoreBinding();
    return image;
}

void Texture2D::update(Vector<int, 2> position, const ImageView& image)
{
    // Without a pixel-unpack buffer, GL would read the pixels from address 0.
    if (!image.data)
        return;
    bindToWork();
    gl::TexSubImage2D(GL_TEXTURE_2D, 0, position[0], position[1], image.width, image.height,
                      transferFormat(image.format.channelCode), transferType(image.format.componentType), image.data);
    if (mipmapped)
        gl::GenerateMipmap(GL_TEXTURE_2D);
    restoreBinding();
}

bool Texture2D::reallocate(const ImageView& image, int formatFlags)
{
    if (!expressible(image.format, formatFlags))
        return false;
    bindToWork();
    gl::TexImage2D(GL_TEXTURE_2D, 0, GLint(internalFormat(image.format, formatFlags)), image.width, image.height, 0,
                   transferFormat(image.format.channelCode), transferType(image.format.componentType), image.data);
    if (mipmapped)
        gl::GenerateMipmap(GL_TEXTURE_2D);
    restoreBinding();
    extent = { { image.width, image.height } };
    pixelFormat = image.format;
    return true;
}

} // namespace orvex
