// The loader against fake drivers: a look-up that answers like GLX (every name unless told
// otherwise) over a context of a chosen version and extension list. Needs no display.
#include "engine/gl/GlLoader.h"

#include <gtest/gtest.h>

#include <array>
#include <map>
#include <set>
#include <string>
#include <vector>

namespace orvex {
namespace {

struct FakeDriver {
    int major = 4, minor = 5;
    std::vector<std::string> extensions;
    std::set<std::string> missing; // names the look-up answers with null
    float anisotropyLimit = 16.0f;
};

FakeDriver driver;
std::map<std::string, char> addresses; // a distinct address per answered name

void fakeGetIntegerv(GLenum name, GLint* value)
{
    if (name == GL_MAJOR_VERSION)
        *value = driver.major;
    else if (name == GL_MINOR_VERSION)
        *value = driver.minor;
    else if (name == GL_NUM_EXTENSIONS)
        *value = GLint(driver.extensions.size());
}

const GLubyte* fakeGetStringi(GLenum, GLuint index)
{
    return reinterpret_cast<const GLubyte*>(driver.extensions.at(index).c_str());
}

void fakeGetFloatv(GLenum name, GLfloat* value)
{
    if (name == GL_MAX_TEXTURE_MAX_ANISOTROPY_EXT)
        *value = driver.anisotropyLimit;
}

void* addressOf(const std::string& name)
{
    return &addresses[name];
}

void* fakeLookup(const char* name)
{
    std::string key = name;
    if (driver.missing.count(key))
        return nullptr;
    if (key == "glGetIntegerv")
        return reinterpret_cast<void*>(&fakeGetIntegerv);
    if (key == "glGetStringi")
        return reinterpret_cast<void*>(&fakeGetStringi);
    if (key == "glGetFloatv")
        return reinterpret_cast<void*>(&fakeGetFloatv);
    return addressOf(key);
}

template <typename Function>
void* raw(Function function)
{
    return reinterpret_cast<void*>(function);
}

// Every test starts from null pointers and puts the process-wide pointers and flags back
// afterwards, so other tests in this binary never call a fake address.
class GlLoaderTest : public ::testing::Test {
protected:
    void SetUp() override
    {
#define ORVEX_GL_SAVE(name) saved.name = gl::name, gl::name = nullptr;
        ORVEX_GL_ALL(ORVEX_GL_SAVE)
#undef ORVEX_GL_SAVE
        savedFlags = {gl::hasMipmapGeneration, gl::hasTextureBuffers, gl::hasVertexArrayObjects,
                      gl::hasAttribDivisor, gl::hasPatchParameters};
        savedAnisotropy = gl::maxAnisotropy;
        driver = FakeDriver();
    }
    void TearDown() override
    {
#define ORVEX_GL_RESTORE(name) gl::name = saved.name;
        ORVEX_GL_ALL(ORVEX_GL_RESTORE)
#undef ORVEX_GL_RESTORE
        gl::hasMipmapGeneration = savedFlags[0];
        gl::hasTextureBuffers = savedFlags[1];
        gl::hasVertexArrayObjects = savedFlags[2];
        gl::hasAttribDivisor = savedFlags[3];
        gl::hasPatchParameters = savedFlags[4];
        gl::maxAnisotropy = savedAnisotropy;
    }

    bool load() { return loadGlFunctions(&fakeLookup, &failure); }
    std::string failure;

private:
    struct Pointers {
#define ORVEX_GL_FIELD(name) decltype(gl::name) name;
        ORVEX_GL_ALL(ORVEX_GL_FIELD)
#undef ORVEX_GL_FIELD
    } saved;
    std::array<bool, 5> savedFlags;
    float savedAnisotropy;
};

struct RequiredCase {
    const char* label;
    int major, minor;
    std::set<std::string> missing;
    bool loads;
    const char* failureMentions;
};

class GlLoaderRequiredTest : public GlLoaderTest, public ::testing::WithParamInterface<RequiredCase> {};

TEST_P(GlLoaderRequiredTest, LoadsOnlyWithTheRequiredSetOnA33Context)
{
    const RequiredCase& row = GetParam();
    driver.major = row.major;
    driver.minor = row.minor;
    driver.missing = row.missing;
    EXPECT_EQ(load(), row.loads);
    EXPECT_NE(failure.find(row.failureMentions), std::string::npos) << failure;
}

INSTANTIATE_TEST_SUITE_P(
    Rows, GlLoaderRequiredTest,
    ::testing::Values(RequiredCase{"Complete45", 4, 5, {}, true, ""},
                      RequiredCase{"Exactly33", 3, 3, {}, true, ""},
                      RequiredCase{"Version32", 3, 2, {}, false, "3.3 is required"},
                      RequiredCase{"Version30", 3, 0, {}, false, "offers 3.0"},
                      RequiredCase{"Pre30ContextIgnoresTheQuery", 0, 0, {}, false, "less than 3.0"},
                      RequiredCase{"NoGetIntegerv", 4, 5, {"glGetIntegerv"}, false, "3.3 is required"},
                      RequiredCase{"DirectFunctionMissing", 4, 5, {"glViewport"}, false, "glViewport"},
                      RequiredCase{"Step1BlendEquationMissing", 4, 5, {"glBlendEquation"}, false, "glBlendEquation"},
                      RequiredCase{"Step2VertexAttribI4ivMissing", 4, 5, {"glVertexAttribI4iv"}, false,
                                   "glVertexAttribI4iv"},
                      RequiredCase{"Step3MatrixMissing", 4, 5, {"glUniformMatrix4x3fv"}, false,
                                   "glUniformMatrix4x3fv"},
                      RequiredCase{"OptionalNamesNeverFail", 4, 5,
                                   {"glTexBuffer", "glGenerateMipmap", "glPatchParameteri", "glUniform4d"}, true, ""}),
    [](const ::testing::TestParamInfo<RequiredCase>& info) { return std::string(info.param.label); });

TEST_F(GlLoaderTest, FailedStepLeavesEarlierPointersAndSkipsLaterSteps)
{
    driver.missing = {"glVertexAttribI4iv"};
    ASSERT_FALSE(load());
    // Step 2 is fetched as a whole before it is judged; step 3 and the families never run.
    EXPECT_EQ(raw(gl::ActiveTexture), addressOf("glActiveTexture"));
    EXPECT_EQ(raw(gl::GenBuffers), addressOf("glGenBuffers"));
    EXPECT_EQ(gl::UniformMatrix2x3fv, nullptr);
    EXPECT_EQ(gl::GenVertexArrays, nullptr);
    EXPECT_FALSE(gl::hasVertexArrayObjects);
}

TEST_F(GlLoaderTest, NamesAreFilteredByVersionAndExtensions)
{
    // Like GLX, the look-up answers every name; a 3.3 context without extensions offers neither
    // tessellation, doubles nor the geometry-shader4 parameter call.
    driver.major = 3;
    driver.minor = 3;
    ASSERT_TRUE(load());
    EXPECT_FALSE(gl::hasPatchParameters);
    EXPECT_EQ(gl::PatchParameteri, nullptr);
    EXPECT_EQ(gl::Uniform1d, nullptr);
    EXPECT_EQ(gl::ProgramParameteriEXT, nullptr);
    EXPECT_TRUE(gl::hasTextureBuffers);
    EXPECT_TRUE(gl::hasVertexArrayObjects);
    EXPECT_TRUE(gl::hasAttribDivisor);
    EXPECT_TRUE(gl::hasMipmapGeneration);

    GlContextOffer offer = readContextOffer(&fakeLookup);
    EXPECT_EQ(offer.version, 33);
    EXPECT_FALSE(offer.offers("glBogusFunctionXYZ"));
    EXPECT_FALSE(offer.offers("glPatchParameteri"));
    EXPECT_TRUE(offer.offers("glVertexAttribDivisor"));
}

TEST_F(GlLoaderTest, ExtensionsOfferWhatTheVersionDoesNot)
{
    driver.major = 3;
    driver.minor = 3;
    driver.extensions = {"GL_ARB_tessellation_shader", "GL_ARB_gpu_shader_fp64", "GL_ARB_geometry_shader4"};
    ASSERT_TRUE(load());
    EXPECT_TRUE(gl::hasPatchParameters);
    EXPECT_EQ(raw(gl::UniformMatrix4x3dv), addressOf("glUniformMatrix4x3dv"));
    EXPECT_EQ(raw(gl::ProgramParameteriEXT), addressOf("glProgramParameteriEXT"));
}

TEST_F(GlLoaderTest, MipmapGenerationFromExtWithoutTheRestOfTheExtSet)
{
    // Core set incomplete; GL_EXT_framebuffer_object is listed but not the blit and draw-buffers
    // extensions, so the EXT set is incomplete too.
    driver.missing = {"glGenerateMipmap"};
    driver.extensions = {"GL_EXT_framebuffer_object"};
    ASSERT_TRUE(load());
    EXPECT_TRUE(gl::hasMipmapGeneration);
    EXPECT_EQ(raw(gl::GenerateMipmap), addressOf("glGenerateMipmapEXT"));
    EXPECT_EQ(raw(gl::BindFramebuffer), addressOf("glBindFramebufferEXT"));
    EXPECT_EQ(gl::BlitFramebuffer, nullptr);
}

TEST_F(GlLoaderTest, NoMipmapGenerationWithoutCoreOrExt)
{
    driver.missing = {"glGenerateMipmap"};
    ASSERT_TRUE(load());
    EXPECT_FALSE(gl::hasMipmapGeneration);
    EXPECT_EQ(gl::GenerateMipmap, nullptr);
}

struct FamilyCase {
    const char* label;
    std::vector<std::string> extensions;
    std::set<std::string> missing;
    const char* beginTransformFeedback; // the name whose address gl::BeginTransformFeedback holds, or ""
    const char* drawArraysInstanced;
};

class GlLoaderFallbackTest : public GlLoaderTest, public ::testing::WithParamInterface<FamilyCase> {};

TEST_P(GlLoaderFallbackTest, FirstCompleteFormWinsAndIncompleteFamiliesStayNull)
{
    const FamilyCase& row = GetParam();
    driver.extensions = row.extensions;
    driver.missing = row.missing;
    ASSERT_TRUE(load());
    auto expected = [](const char* name) { return *name ? addressOf(name) : nullptr; };
    EXPECT_EQ(raw(gl::BeginTransformFeedback), expected(row.beginTransformFeedback));
    EXPECT_EQ(raw(gl::DrawArraysInstanced), expected(row.drawArraysInstanced));
}

const std::vector<std::string> nvTransformFeedback = {"GL_NV_transform_feedback"};
const std::set<std::string> noCoreForms = {"glBeginTransformFeedback", "glDrawElementsInstanced"};

INSTANTIATE_TEST_SUITE_P(
    Rows, GlLoaderFallbackTest,
    ::testing::Values(
        FamilyCase{"Core", {}, {}, "glBeginTransformFeedback", "glDrawArraysInstanced"},
        FamilyCase{"Ext", {"GL_EXT_transform_feedback", "GL_EXT_draw_instanced"}, noCoreForms,
                   "glBeginTransformFeedbackEXT", "glDrawArraysInstancedEXT"},
        FamilyCase{"ExtIncompleteNone", {"GL_EXT_transform_feedback"},
                   {"glBeginTransformFeedback", "glDrawElementsInstanced", "glBindBufferRangeEXT"}, "", ""},
        FamilyCase{"NvWithAllEight", nvTransformFeedback, noCoreForms, "glBeginTransformFeedbackNV", ""},
        FamilyCase{"NvWithoutGetVaryingLocation", nvTransformFeedback,
                   {"glBeginTransformFeedback", "glGetVaryingLocationNV"}, "", "glDrawArraysInstanced"},
        FamilyCase{"NvWithoutActiveVarying", nvTransformFeedback, {"glBeginTransformFeedback", "glActiveVaryingNV"},
                   "", "glDrawArraysInstanced"}),
    [](const ::testing::TestParamInfo<FamilyCase>& info) { return std::string(info.param.label); });

TEST_F(GlLoaderTest, NvTransformFeedbackKeepsOnlyCoreCompatibleSignatures)
{
    // glTransformFeedbackVaryingsNV takes locations, not names: calling it through the core
    // pointer would hand it the wrong arguments.
    driver.extensions = nvTransformFeedback;
    driver.missing = {"glBeginTransformFeedback"};
    ASSERT_TRUE(load());
    EXPECT_EQ(raw(gl::BindBufferBase), addressOf("glBindBufferBaseNV"));
    EXPECT_EQ(gl::TransformFeedbackVaryings, nullptr);
    EXPECT_EQ(gl::GetTransformFeedbackVarying, nullptr);
}

TEST_F(GlLoaderTest, FlagsNeedEveryNameOfTheirFamily)
{
    driver.missing = {"glBindVertexArray", "glPatchParameterfv"};
    ASSERT_TRUE(load());
    EXPECT_FALSE(gl::hasVertexArrayObjects);
    EXPECT_EQ(gl::GenVertexArrays, nullptr);
    EXPECT_FALSE(gl::hasPatchParameters);
    EXPECT_TRUE(gl::hasTextureBuffers);
}

TEST_F(GlLoaderTest, MaxAnisotropyOnlyWithTheExtension)
{
    ASSERT_TRUE(load());
    EXPECT_EQ(gl::maxAnisotropy, 1.0f); // the driver would answer 16, but does not list the extension

    driver.extensions = {"GL_ARB_texture_filter_anisotropic"};
    ASSERT_TRUE(load());
    EXPECT_EQ(gl::maxAnisotropy, 16.0f);

    driver.extensions = {"GL_EXT_texture_filter_anisotropic"};
    driver.anisotropyLimit = 8.0f;
    ASSERT_TRUE(load());
    EXPECT_EQ(gl::maxAnisotropy, 8.0f);

    driver.extensions.clear();
    ASSERT_TRUE(load());
    EXPECT_EQ(gl::maxAnisotropy, 1.0f) << "a reload starts from the default again";
}

} // namespace
} // namespace orvex
