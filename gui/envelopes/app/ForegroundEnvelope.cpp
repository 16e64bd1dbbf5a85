// ForegroundEnvelope: the content, then an overlay in the envelope's blend mode.
#include "gui/envelopes/app/ForegroundEnvelope.h"

using orvex::gui::Renderer;
using orvex::gui::Response;
using orvex::gui::Vector2;

namespace {

// Swaps the renderer's blend mode and puts the previous one back, also on exception.
class BlendModeScope {
public:
    BlendModeScope(Renderer& renderer, int mode) : renderer(renderer), saved(renderer.blendMode) { renderer.blendMode = mode; }
    ~BlendModeScope() { renderer.blendMode = saved; }
    BlendModeScope(const BlendModeScope&) = delete;
    BlendModeScope& operator=(const BlendModeScope&) = delete;

private:
    Renderer& renderer;
    int saved;
};

} // namespace

Vector2 ForegroundEnvelope::layout(Vector2 minimum, Vector2 maximum, double scale, int final)
{
    size = EnvelopePrototype::layout(minimum, maximum, scale, final);
    return size;
}

Response ForegroundEnvelope::draw(Renderer& renderer)
{
    Response answer = EnvelopePrototype::draw(renderer);
    if (style) {
        BlendModeScope blend(renderer, blendMode);
        renderer.fillRectangle({ 0, 0, size.x, size.y }, kind, style);
        answer |= orvex::gui::HANDLED;
    }
    return answer;
}
