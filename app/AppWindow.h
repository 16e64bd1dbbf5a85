// AppWindow: the program's one window. Its initialisation makes, in order, the settings, the GL
// context, the chart's resources, the dark title bar, the GUI renderer, the text factory (font
// cache and text atlas), the clipboard and the controller AppGui; it forwards every window event
// to AppGui through a ComponentHost, acts on the answers (layout, repaint), reloads the settings
// on F6 and tears everything down in reverse. Main thread only.
#pragma once

#include "app/Settings.h"
#include "engine/core/Clock.h"
#include "engine/gl/GlContext.h"
#include "engine/gl/NativeContext.h"
#include "engine/window/ResponsiveApplication.h"
#include "gui/ComponentHost.h"
#include "gui/render/BasicGLRenderer.h"
#include "gui/text/DirectClipboardDelegate.h"
#include "gui/text/NativeTextObjectFactory.h"
#include "icicle/IcicleResources.h"

#include <cstdio>
#include <string>
#include <vector>

class AppGui;

class AppWindow final : public orvex::ResponsiveApplication {
public:
    // `startPaths`: directories or stored scans to scan at once, several under one summary (none:
    // the start screen).
    explicit AppWindow(std::vector<std::string> startPaths = {});
    ~AppWindow() override;

    bool initialize() override;
    void finalize() override;
    int initializationFailed() override;

    void stateChanged(int code) override { host.stateChanged(code); }
    void resized(int width, int height) override;
    void characterInput(char32_t code) override { host.characterInput(code); }
    void keyPressed(const orvex::KeyEvent& event) override;
    void keyReleased(const orvex::KeyEvent& event) override { host.keyReleased(event); }
    void mouseButtonPressed(const orvex::MouseButtonEvent& event) override { host.mouseButtonPressed(event); }
    void mouseButtonReleased(const orvex::MouseButtonEvent& event) override { host.mouseButtonReleased(event); }
    void mouseWheel(const orvex::MouseWheelEvent& event) override { host.mouseWheel(event); }
    void mouseMoved(const orvex::MouseMoveEvent& event) override { host.mouseMoved(event); }
    void paint() override;
    void dpiChanged(double) override { host.relayout(); }

    // Lays out and repaints as an answer asks (for the controller's posted work).
    orvex::gui::Response handle(orvex::gui::Response answer) { return host.handle(answer); }
    const Settings& currentSettings() const { return *settings; }

private:
    void release();
    void logFrame(double frameMs);
    void pace();
    void warmUp();

    std::vector<std::string> startPaths;
    // The frame log for benchmarks (VELBRIN_FRAME_LOG names the file; see bench/app-compare.sh).
    std::FILE* frameLog = nullptr;
    std::string loggedStatus; // the status line as last written to the frame log
    std::string loggedDetails; // the details line likewise
    int chartFramesToExit = 0;
    int chartFrames = 0;
    orvex::TimePoint started = orvex::TimePoint::now();
    orvex::TimePoint lastPaced {};
    bool framePaced = false;
    orvex::gui::ComponentHost host { *this };
    // In the order they are made; released in reverse.
    orvex::UniquePtr<Settings> settings;
    orvex::UniquePtr<orvex::NativeContext> nativeContext;
    orvex::UniquePtr<orvex::GlContext> glContext;
    orvex::UniquePtr<IcicleResources> icicleResources;
    orvex::UniquePtr<orvex::gui::BasicGLRenderer> renderer;
    orvex::UniquePtr<orvex::gui::NativeTextObjectFactory> textFactory; // the font cache and the text atlas
    orvex::UniquePtr<orvex::gui::DirectClipboardDelegate> clipboard;
    orvex::UniquePtr<AppGui> gui;
};
