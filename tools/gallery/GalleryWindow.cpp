// The gallery's window: initialisation in the order the application uses (context, GL state,
// renderer, text, tree), a frame per invalidation, and teardown in reverse.
#include "tools/gallery/GalleryWindow.h"

#include "engine/gl/FrameBuffer.h"
#include "engine/gl/GlFunctions.h"
#include "engine/gl/GlLoader.h"

#include <cstring>

using namespace orvex;

namespace {

constexpr Color<float> BACKGROUND { 0.0625f, 0.0625f, 0.0625f, 1 };

} // namespace

GalleryWindow::GalleryWindow(int width, int height, GalleryScreen::ActionLog log) : log(std::move(log))
{
    setMode(MODE_RESIZABLE);
    setTitle("orvex gallery");
    setMinimumSize(480, 360);
    setSize(width, height);
}

GalleryWindow::~GalleryWindow() { finalize(); }

bool GalleryWindow::initialize()
{
    nativeContext = createNativeContext({});
    if (!nativeContext) {
        why = "no OpenGL context: " + lastError();
        return false;
    }
    glContext.reset(createGlContext(nativeContext.get()));
    if (!glContext) {
        why = "OpenGL 3.3 is not available: " + glLoadFailure();
        return false;
    }
    ScreenFrameBuffer* screenBuffer = glContext->screenFrameBuffer();
    screenBuffer->makeCurrent();
    screenBuffer->setDepthTest(0);
    screenBuffer->setBlending(true);
    screenBuffer->setCullMode(1);
    renderer = gui::BasicGLRenderer::create(glContext.get());
    if (!renderer) {
        why = "the GUI renderer could not be made: " + glContext->lastError();
        return false;
    }
    const Vector<int, 2> client = clientSize();
    textFactory = makeUnique<gui::NativeTextObjectFactory>(glContext.get(), client[0], client[1]);
    if (!textFactory->checkFonts()) {
        why = "the default face cannot be loaded in weights 400 and 700";
        return false;
    }
    screen = makeUnique<GalleryScreen>(*textFactory, log);
    screen->root()->configure(renderer->configurator());
    host.setRoot(screen->root());
    host.handle(screen->root()->focus(screen->firstButton()));
    if (confirmAtStart)
        host.handle(screen->showConfirmation());
    host.relayout();
    return true;
}

void GalleryWindow::finalize()
{
    // The tree's text objects go before the factory's atlas and fonts, GL objects before the context.
    host.setRoot(nullptr);
    screen = nullptr;
    textFactory = nullptr;
    renderer = nullptr;
    glContext = nullptr;
    nativeContext = nullptr;
}

void GalleryWindow::paint()
{
    if (!glContext)
        return;
    ScreenFrameBuffer* screenBuffer = glContext->screenFrameBuffer();
    screenBuffer->makeCurrent();
    screenBuffer->resetViewport();
    glContext->clear(BACKGROUND);
    const Vector<int, 2> size = screenBuffer->size();
    renderer->setViewport({ 0, 0, double(size[0]), double(size[1]) });
    const gui::Response answer = screen->root()->draw(*renderer);
    screenBuffer->present();
    host.handle(answer);
}

void GalleryWindow::paintEmpty()
{
    ScreenFrameBuffer* screenBuffer = glContext->screenFrameBuffer();
    screenBuffer->makeCurrent();
    screenBuffer->resetViewport();
    glContext->clear(BACKGROUND);
    screenBuffer->present();
}

void GalleryWindow::resized(int width, int height)
{
    if (textFactory)
        textFactory->clientResized(width, height);
    host.relayout();
}

void GalleryWindow::dpiChanged(double) { host.relayout(); }

void GalleryWindow::stateChanged(int code) { host.stateChanged(code); }

Image GalleryWindow::readScreen()
{
    ScreenFrameBuffer* screenBuffer = glContext->screenFrameBuffer();
    screenBuffer->makeCurrent();
    const Vector<int, 2> size = screenBuffer->size();
    Image image({ COMPONENT_UINT8, 4 }, size[0], size[1]);
    gl::PixelStorei(GL_PACK_ALIGNMENT, 1);
    gl::ReadPixels(0, 0, size[0], size[1], GL_RGBA, GL_UNSIGNED_BYTE, image.data());
    // GL's rows run bottom to top.
    const size_t row = size_t(size[0]) * 4;
    std::vector<uint8_t> swap(row);
    auto* bytes = static_cast<uint8_t*>(image.data());
    for (int y = 0; y < size[1] / 2; ++y) {
        uint8_t* top = bytes + size_t(y) * row;
        uint8_t* bottom = bytes + size_t(size[1] - 1 - y) * row;
        std::memcpy(swap.data(), top, row);
        std::memcpy(top, bottom, row);
        std::memcpy(bottom, swap.data(), row);
    }
    return image;
}
