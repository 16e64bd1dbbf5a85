// Texturelike: what every GL texture object shares (its name and target, its context and the
// context's liveness token). GlContext::bindTexture binds one through name() and target() and
// records it as the bound texture; the wrappers that bind a texture briefly to work on it put the
// recorded one back afterwards. Main thread.
#pragma once

#include "engine/gl/ContextToken.h"

namespace orvex {

class GlContext;

class Texturelike {
public:
    // Deletes the GL texture while the context lives, after dropping it from the bound-texture
    // caches of the share group.
    virtual ~Texturelike();
    // Texture objects are not moved: the context's cache refers to them by address.
    Texturelike(const Texturelike&) = delete;
    Texturelike& operator=(const Texturelike&) = delete;

    unsigned name() const { return textureName; }
    unsigned target() const { return textureTarget; } // GL_TEXTURE_1D, GL_TEXTURE_2D or GL_TEXTURE_BUFFER
    GlContext* context() const { return owner; }

protected:
    // Takes ownership of `name`, a freshly generated texture of `context`.
    Texturelike(GlContext* context, unsigned name, unsigned target);

    // Makes the context current and binds this texture on the active unit, to work on it.
    void bindToWork() const;
    // Rebinds what the context records as bound, undoing bindToWork.
    void restoreBinding() const { rebindRecorded(owner, textureTarget); }
    // The same for a texture still being created: with nothing recorded, `target` gets 0.
    static void rebindRecorded(GlContext* context, unsigned target);

    GlContext* owner;
    ContextToken token;

private:
    unsigned textureName;
    unsigned textureTarget;
};

} // namespace orvex
