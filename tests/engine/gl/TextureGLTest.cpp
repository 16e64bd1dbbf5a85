// Textures against a real context: sampling settings at creation (the mipmap fallback, the
// anisotropy clamp), that every operation puts the previously bound texture back, content round
// trips, buffer textures, a textured quad probed on screen through both vertex-array kinds, and
// that objects outliving their context make no GL call.
#include "GlTestContext.h"
#include "ScopedOverride.h"

#include "engine/core/UniquePtr.h"
#include "engine/gl/BufferObject.h"
#include "engine/gl/Mesh.h"
#include "engine/gl/Texture.h"
#include "engine/gl/TextureBuffer.h"
#include "engine/gl/TextureShader.h"
#include "engine/gl/VertexArray.h"

#include <cstring>
#include <functional>
#include <tuple>

using namespace orvex;
using orvex::test::GlCallCounter;

namespace {

class TextureGLTest : public orvex::test::GlTest {
protected:
    // A 4 x 4 RGBA image whose bytes count up from `seed`.
    static Image pattern(int width, int height, uint8_t seed = 1)
    {
        Image image({ COMPONENT_UINT8, 4 }, width, height);
        for (size_t i = 0; i < image.byteSize(); ++i)
            image.data()[i] = uint8_t(seed + i);
        return image;
    }
    UniquePtr<Texture2D> create2D(const TextureSettings& settings = {}, int width = 4, int height = 4)
    {
        return UniquePtr<Texture2D>(context()->createTexture2D(pattern(width, height).view(), 0, settings));
    }
};

// The value given to one texture parameter among the recorded glTexParameter* calls, or -1.
template <typename Calls>
double parameter(const Calls& calls, GLenum name)
{
    double value = -1;
    for (const auto& call : calls)
        if (std::get<1>(call) == name)
            value = double(std::get<2>(call));
    return value;
}

} // namespace

TEST_F(TextureGLTest, MipmapsWithoutGenerationFallBackToPlainFilters)
{
    struct Row { const char* name; int minFilter, mipmaps; bool generation; GLenum filter; bool hasMipmaps; };
    const Row rows[] = {
        { "nearest, nearest level", 0, 1, true, GL_NEAREST_MIPMAP_NEAREST, true },
        { "linear between levels", 1, 2, true, GL_LINEAR_MIPMAP_LINEAR, true },
        { "nearest without generation", 0, 2, false, GL_NEAREST, false },
        { "linear without generation", 1, 1, false, GL_LINEAR, false },
        { "unknown filter is linear", 5, 2, true, GL_LINEAR, true },
        { "no mipmaps asked", 0, 0, true, GL_NEAREST, false },
    };
    for (const Row& row : rows) {
        ScopedOverride<bool> generation(gl::hasMipmapGeneration, row.generation && gl::hasMipmapGeneration);
        if (row.generation && !gl::hasMipmapGeneration)
            continue;
        GlCallCounter<gl::TexParameteri> texParameter;
        GlCallCounter<gl::GenerateMipmap> generate;
        TextureSettings settings;
        settings.minFilter = row.minFilter;
        settings.mipmaps = row.mipmaps;
        auto texture = create2D(settings);
        ASSERT_NE(texture, nullptr) << row.name;
        EXPECT_EQ(parameter(texParameter.calls(), GL_TEXTURE_MIN_FILTER), double(row.filter)) << row.name;
        EXPECT_EQ(texture->hasMipmaps(), row.hasMipmaps) << row.name;
        EXPECT_EQ(generate.count(), row.hasMipmaps ? 1u : 0u) << row.name;
    }
}

TEST_F(TextureGLTest, AnisotropyIsClampedToOneAndTheDriverMaximum)
{
    ScopedOverride<float> maximum(gl::maxAnisotropy, 8.0f);
    struct Row { const char* name; int anisotropy; double sent; };
    const Row rows[] = {
        { "above the maximum", 16, 8.0 },
        { "negative", -3, 1.0 },
        { "within range", 4, 4.0 },
        { "zero keeps the driver default", 0, -1.0 },
    };
    for (const Row& row : rows) {
        GlCallCounter<gl::TexParameterf> texParameter;
        TextureSettings settings;
        settings.anisotropy = row.anisotropy;
        auto texture = create2D(settings);
        ASSERT_NE(texture, nullptr) << row.name;
        EXPECT_EQ(parameter(texParameter.calls(), GL_TEXTURE_MAX_ANISOTROPY_EXT), row.sent) << row.name;
    }
}

TEST_F(TextureGLTest, BorderColourOnlyWithClampToBorder)
{
    struct Row { const char* name; int wrapS, wrapT; size_t borderCalls; };
    const Row rows[] = { { "repeat", 0, 3, 0 }, { "border on S", 2, 0, 1 }, { "border on T", 1, 2, 1 } };
    for (const Row& row : rows) {
        GlCallCounter<gl::TexParameterfv> texParameterfv;
        GlCallCounter<gl::TexParameteri> texParameter;
        TextureSettings settings;
        settings.wrapS = row.wrapS;
        settings.wrapT = row.wrapT;
        auto texture = create2D(settings);
        EXPECT_EQ(texParameterfv.count(), row.borderCalls) << row.name;
        EXPECT_EQ(parameter(texParameter.calls(), GL_TEXTURE_WRAP_T), double(Texture::wrapMode(row.wrapT))) << row.name;
    }
}

TEST_F(TextureGLTest, EveryOperationRebindsThePreviouslyBoundTexture)
{
    auto bound = create2D();
    auto worked = create2D();
    UniquePtr<TextureBuffer> texels(context()->createTextureBuffer(0));
    context()->bindTexture(0, bound.get());
    const Image small = pattern(2, 2, 50);

    const std::pair<const char*, std::function<void()>> operations[] = {
        { "update", [&] { worked->update({ { 1, 1 } }, small.view()); } },
        { "read", [&] { worked->read({ COMPONENT_UINT8, 4 }); } },
        { "reallocate", [&] { worked->reallocate(small.view(), 0); } },
        { "create 2D", [&] { UniquePtr<Texture2D> extra(create2D().release()); } },
        { "create 1D", [&] { UniquePtr<Texture1D>(context()->createTexture1D(small.view(), 0, {})); } },
        { "buffer upload", [&] { if (texels) texels->upload({ { { 1, 2, 3 } } }); } },
    };
    for (const auto& [name, operation] : operations) {
        GlCallCounter<gl::BindTexture> bindCalls;
        operation();
        ASSERT_GE(bindCalls.count(), 1u) << name;
        EXPECT_EQ(bindCalls.calls().back(), std::make_tuple(GLenum(GL_TEXTURE_2D), bound->name())) << name;
        EXPECT_EQ(context()->current.texture, bound.get()) << name;
    }
}

TEST_F(TextureGLTest, UpdateAndReallocateAreReadBack)
{
    auto texture = create2D();
    const Image small = pattern(2, 2, 100);
    texture->update({ { 1, 2 } }, small.view());
    Image read = texture->read({ COMPONENT_UINT8, 4 });
    ASSERT_EQ(read.byteSize(), 64u);
    Image expected = pattern(4, 4);
    for (int y = 0; y < 2; ++y)
        std::memcpy(expected.data() + ((2 + y) * 4 + 1) * 4, small.data() + y * 2 * 4, 8);
    EXPECT_EQ(std::memcmp(read.data(), expected.data(), 64), 0);

    texture->update({ { 0, 0 } }, ImageView { { COMPONENT_UINT8, 4 }, nullptr, 4, 4 });
    EXPECT_EQ(std::memcmp(texture->read({ COMPONENT_UINT8, 4 }).data(), expected.data(), 64), 0)
        << "an update without pixels changes nothing";

    Image rgb({ COMPONENT_UINT8, 3 }, 3, 1);
    const uint8_t bytes[] = { 10, 20, 30, 40, 50, 60, 70, 80, 90 };
    std::memcpy(rgb.data(), bytes, sizeof bytes);
    ASSERT_TRUE(texture->reallocate(rgb.view(), 0));
    EXPECT_EQ(texture->size(), (Vector<int, 2> { { 3, 1 } }));
    EXPECT_EQ(texture->format(), (PixelFormat { COMPONENT_UINT8, 3 }));
    Image back = texture->read({ COMPONENT_UINT8, 3 });
    ASSERT_EQ(back.byteSize(), sizeof bytes);
    EXPECT_EQ(std::memcmp(back.data(), bytes, sizeof bytes), 0);
}

TEST_F(TextureGLTest, FormatWithoutGlEquivalentGivesNoTexture)
{
    GlCallCounter<gl::GenTextures> generate;
    EXPECT_EQ(context()->createTexture2D(4, 4, PixelFormat { 2, 4 }, 0, {}), nullptr) << "unknown component type";
    EXPECT_EQ(context()->createTexture2D(4, 4, PixelFormat { COMPONENT_UINT8, 13 }, 0, {}), nullptr) << "unknown channels";
    EXPECT_EQ(generate.count(), 0u);
}

TEST_F(TextureGLTest, TextureBufferHoldsItsTexels)
{
    if (!gl::hasTextureBuffers)
        GTEST_SKIP() << "driver without texture buffers";
    const std::vector<Vector<float, 3>> texels = { { { 1, 2, 3 } }, { { 4, 5, 6 } }, { { -7, 8.5f, 9 } } };
    UniquePtr<TextureBuffer> buffer(context()->createTextureBuffer(texels, 1));
    ASSERT_NE(buffer, nullptr);
    EXPECT_EQ(buffer->internalFormat(), unsigned(GL_RGB32F));
    EXPECT_EQ(buffer->elementCount(), 3u);
    EXPECT_EQ(buffer->usage(), unsigned(GL_DYNAMIC_DRAW));
    std::vector<Vector<float, 3>> back(3);
    gl::BindBuffer(GL_TEXTURE_BUFFER, buffer->buffer());
    gl::GetBufferSubData(GL_TEXTURE_BUFFER, 0, 36, back.data());
    EXPECT_EQ(back, texels);

    ScopedOverride<bool> none(gl::hasTextureBuffers, false);
    EXPECT_EQ(context()->createTextureBuffer(0), nullptr);
}

TEST_F(TextureGLTest, DestroyingTheBoundTextureClearsTheCache)
{
    auto texture = create2D();
    context()->bindTexture(0, texture.get());
    GlCallCounter<gl::DeleteTextures> deleteCalls;
    texture = nullptr;
    EXPECT_EQ(context()->current.texture, nullptr);
    EXPECT_EQ(deleteCalls.count(), 1u);
}

TEST_F(TextureGLTest, ObjectsOutlivingTheirContextMakeNoGlCall)
{
    UniquePtr<Texture2D> texture(create2D());
    UniquePtr<TextureBuffer> texels(context()->createTextureBuffer(0));
    UniquePtr<BufferObject> buffer(context()->createBuffer(size_t(8), 0));
    UniquePtr<VertexArray> array(context()->createVertexArray());
    array->setAttribute(0, buffer.get(), 2, 0, 2);
    array->object()->bind();

    gl.takeContext().reset();
    GlCallCounter<gl::DeleteTextures> deleteTextures;
    GlCallCounter<gl::DeleteBuffers> deleteBuffers;
    GlCallCounter<gl::DeleteVertexArrays> deleteArrays;
    GlCallCounter<gl::BindVertexArray> bindArrays;
    texture = nullptr;
    texels = nullptr;
    array = nullptr;
    buffer = nullptr;
    EXPECT_EQ(deleteTextures.count() + deleteBuffers.count() + deleteArrays.count() + bindArrays.count(), 0u);
}

// A 2 x 2 texture (red, green / blue, white from the bottom row up) on a quad covering the middle
// half of the window, drawn with the stock textured program.
TEST_F(TextureGLTest, TexturedQuadLandsWhereItShould)
{
    for (bool native : { true, false }) {
        SCOPED_TRACE(native ? "native vertex array" : "emulated vertex array");
        ScopedOverride<bool> kind(gl::hasVertexArrayObjects, native && gl::hasVertexArrayObjects);
        UniquePtr<TextureShader> shader(context()->createTextureShader());
        ASSERT_NE(shader, nullptr) << context()->lastError();
        const std::vector<TexturedVertex> quad = {
            { -0.5f, -0.5f, 0, 0, 0 }, { 0.5f, -0.5f, 0, 1, 0 }, { -0.5f, 0.5f, 0, 0, 1 }, { 0.5f, 0.5f, 0, 1, 1 } };
        auto mesh = createMesh<TexturedVertex>(*context(), 7, quad);
        ASSERT_NE(mesh, nullptr);
        Image image({ COMPONENT_UINT8, 4 }, 2, 2);
        const uint8_t texels[] = { 255, 0, 0, 255, 0, 255, 0, 255, 0, 0, 255, 255, 255, 255, 255, 255 };
        std::memcpy(image.data(), texels, sizeof texels);
        TextureSettings nearest;
        nearest.minFilter = nearest.magFilter = 0;
        UniquePtr<Texture2D> texture(context()->createTexture2D(image.view(), 0, nearest));
        ASSERT_NE(texture, nullptr);

        context()->clear({ 0.2f, 0.4f, 0.6f, 1.0f });
        context()->bindTexture(0, texture.get());
        shader->draw(mesh->primitive, *mesh->vertexArray, mesh->vertexCount);

        using C = Color<unsigned char>;
        EXPECT_EQ(gl.pixel(96, 96), (C { 255, 0, 0, 255 }));
        EXPECT_EQ(gl.pixel(160, 96), (C { 0, 255, 0, 255 }));
        EXPECT_EQ(gl.pixel(96, 160), (C { 0, 0, 255, 255 }));
        EXPECT_EQ(gl.pixel(160, 160), (C { 255, 255, 255, 255 }));
        EXPECT_EQ(gl.pixel(20, 20), (C { 51, 102, 153, 255 })) << "outside the quad: the clear colour";
    }
}
