// GalleryWindow: a resizable window that shows the gallery's component tree: it makes the GL
// context, the GUI renderer and the native text factory, hosts the tree (layout on demand, input,
// Tab traversal), and paints it on every invalidation. orvex-gallery runs it; gui-bench drives its
// frames directly. Main thread only.
#pragma once

#include "engine/gl/GlContext.h"
#include "engine/gl/NativeContext.h"
#include "engine/gl/PixelFormat.h"
#include "engine/window/ResponsiveApplication.h"
#include "gui/ComponentHost.h"
#include "gui/render/BasicGLRenderer.h"
#include "gui/text/NativeTextObjectFactory.h"
#include "tools/gallery/GalleryScreen.h"

#include <string>

class GalleryWindow : public orvex::ResponsiveApplication {
public:
    GalleryWindow(int width, int height, GalleryScreen::ActionLog log);
    ~GalleryWindow() override;

    bool initialize() override;
    void finalize() override;
    void paint() override;
    void resized(int width, int height) override;
    void dpiChanged(double scale) override;
    void stateChanged(int code) override;
    void characterInput(char32_t code) override { host.characterInput(code); }
    void keyPressed(const orvex::KeyEvent& event) override { host.keyPressed(event); }
    void keyReleased(const orvex::KeyEvent& event) override { host.keyReleased(event); }
    void mouseButtonPressed(const orvex::MouseButtonEvent& event) override { host.mouseButtonPressed(event); }
    void mouseButtonReleased(const orvex::MouseButtonEvent& event) override { host.mouseButtonReleased(event); }
    void mouseWheel(const orvex::MouseWheelEvent& event) override { host.mouseWheel(event); }
    void mouseMoved(const orvex::MouseMoveEvent& event) override { host.mouseMoved(event); }

    // Draws a frame without the tree (clear and present only), for comparisons.
    void paintEmpty();
    // The window's framebuffer as RGBA, top row first.
    orvex::Image readScreen();
    // Why initialize() failed.
    const std::string& failure() const { return why; }

    orvex::gui::ComponentHost host { *this };
    bool confirmAtStart = false; // shows the screen's confirmation panel once it is built

protected:
    GalleryScreen::ActionLog log;
    std::string why;
    orvex::UniquePtr<orvex::NativeContext> nativeContext;
    orvex::UniquePtr<orvex::GlContext> glContext;
    orvex::UniquePtr<orvex::gui::BasicGLRenderer> renderer;
    orvex::UniquePtr<orvex::gui::NativeTextObjectFactory> textFactory;
    orvex::UniquePtr<GalleryScreen> screen;
};
