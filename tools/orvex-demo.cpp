// orvex-demo: the engine's smallest whole program. Opens a resizable window with a GL context,
// draws a few rectangles with the stock flat-colour shader on every paint, logs every engine event
// it receives to standard output, and exits when the window is closed. A quick check that the
// window, input and GL layers work on this machine.
#include "engine/gl/BasicShader.h"
#include "engine/gl/FrameBuffer.h"
#include "engine/gl/GlContext.h"
#include "engine/gl/GlLoader.h"
#include "engine/gl/Mesh.h"
#include "engine/gl/NativeContext.h"
#include "engine/gl/VertexFormats.h"
#include "engine/window/ResponsiveApplication.h"

#include <cstdio>
#include <vector>

using namespace orvex;

namespace {

class Demo final : public ResponsiveApplication {
public:
    bool initialize() override
    {
        setMode(MODE_RESIZABLE);
        setTitle("orvex demo");
        setMinimumSize(200, 150);
        native = createNativeContext({});
        if (!native) {
            std::fprintf(stderr, "orvex-demo: no OpenGL context: %s\n", lastError().c_str());
            return false;
        }
        context.reset(createGlContext(native.get()));
        if (!context) {
            std::fprintf(stderr, "orvex-demo: OpenGL 3.3 is not available: %s\n", glLoadFailure().c_str());
            return false;
        }
        shader.reset(context->createBasicShader());
        if (!shader) {
            std::fprintf(stderr, "orvex-demo: the flat-colour shader failed: %s\n", context->lastError().c_str());
            return false;
        }
        // Three rectangles in clip space, two triangles each.
        std::vector<BasicVertex> vertices;
        auto rectangle = [&](float x0, float y0, float x1, float y1) {
            for (auto [x, y] : { std::pair { x0, y0 }, { x1, y0 }, { x0, y1 }, { x0, y1 }, { x1, y0 }, { x1, y1 } })
                vertices.push_back({ x, y, 0.0f });
        };
        rectangle(-0.9f, -0.9f, -0.3f, 0.9f);
        rectangle(-0.2f, -0.5f, 0.4f, 0.5f);
        rectangle(0.5f, 0.2f, 0.9f, 0.9f);
        rectangles = createMesh<BasicVertex>(*context, 3, vertices);
        return bool(rectangles);
    }

    void finalize() override
    {
        // GL objects before their context, the context before the native one.
        rectangles = nullptr;
        shader = nullptr;
        context = nullptr;
        native = nullptr;
    }

    void paint() override
    {
        ScreenFrameBuffer* screen = context->screenFrameBuffer();
        screen->makeCurrent();
        screen->resetViewport();
        context->clear({ 0.08f, 0.09f, 0.11f, 1.0f });
        const Color<float> colors[3] = { { 0.85f, 0.3f, 0.25f, 1 }, { 0.3f, 0.7f, 0.4f, 1 }, { 0.3f, 0.45f, 0.85f, 1 } };
        for (int i = 0; i < 3; ++i) {
            shader->setColor(colors[i]);
            shader->draw(rectangles->primitive, *rectangles->vertexArray, i * 6, 6);
        }
        screen->present();
        std::printf("paint\n");
        std::fflush(stdout);
    }

    void closeRequested() override
    {
        log("closeRequested");
        ResponsiveApplication::closeRequested();
    }
    void stateChanged(int code) override { log("stateChanged %d", code); }
    void resized(int width, int height) override
    {
        log("resized %d x %d", width, height);
        requestRedraw();
    }
    void characterInput(char32_t code) override { log("characterInput U+%04X", unsigned(code)); }
    void keyPressed(const KeyEvent& e) override { log("keyPressed scanKey=%d key=%d action=%d modifiers=0x%x", e.scanKey, e.key, e.action, e.modifiers); }
    void keyReleased(const KeyEvent& e) override { log("keyReleased scanKey=%d key=%d action=%d modifiers=0x%x", e.scanKey, e.key, e.action, e.modifiers); }
    void mouseButtonPressed(const MouseButtonEvent& e) override { log("mouseButtonPressed button=%d at %.1f,%.1f modifiers=0x%x", e.button, e.x, e.y, e.modifiers); }
    void mouseButtonReleased(const MouseButtonEvent& e) override { log("mouseButtonReleased button=%d action=%d at %.1f,%.1f", e.button, e.action, e.x, e.y); }
    void mouseWheel(const MouseWheelEvent& e) override { log("mouseWheel delta=%+.2f at %.1f,%.1f", e.delta, e.x, e.y); }
    void mouseMoved(const MouseMoveEvent& e) override { log("mouseMoved %.1f,%.1f d=%+.0f,%+.0f buttons=0x%x", e.x, e.y, e.dx, e.dy, e.buttons); }
    void dpiChanged(double scale) override { log("dpiChanged %.3f", scale); }

private:
    template <typename... Args>
    void log(const char* format, Args... args)
    {
        std::printf(format, args...);
        std::printf("\n");
        std::fflush(stdout);
    }

    UniquePtr<NativeContext> native;
    UniquePtr<GlContext> context;
    UniquePtr<BasicShader> shader;
    UniquePtr<Mesh<BasicVertex>> rectangles;
};

} // namespace

int main()
{
    Demo demo;
    return demo.run();
}
