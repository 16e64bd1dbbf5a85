// The base rules of Component, the forwarding of EnvelopePrototype and Envelope, and the click
// sequence.
#include "gui/Component.h"

namespace orvex::gui {

void ClickSequence::beforePress(int button)
{
    pressTime.reset();
    bool within = false;
    if ((tracking || queried) && button == lastButton) {
        pressTime = orvex::TimePoint::now();
        within = orvex::seconds(*pressTime - lastPressTime) < interval;
    }
    tracking = tracking || queried;
    if (button != lastButton || !within)
        count = 0;
    count += 1;
    queried = false;
    lastButton = button;
}

void ClickSequence::afterPress(int button)
{
    tracking = queried;
    if ((tracking || queried) && button == lastButton)
        lastPressTime = pressTime ? *pressTime : orvex::TimePoint::now();
}

void Component::configure(Configurator& configurator) { style = configurator.configureStyle(this, style); }

void Component::traverse(Visitor& visitor)
{
    visitor.enter(this);
    visitor.leave(this);
}

std::optional<Rect> Component::focusBounds() { return std::nullopt; }
Response Component::focus(Component* target) { return target == this ? gainFocus() | HANDLED : 0; }
Response Component::gainFocus() { return 0; }
Response Component::textInput(uint32_t) { return 0; }
Response Component::keyPress(const KeyEvent&) { return 0; }
Response Component::keyRelease(const KeyEvent&) { return 0; }
Response Component::mousePress(const MouseButtonEvent&, ClickSequence&) { return 0; }
Response Component::mouseRelease(const MouseButtonEvent&) { return 0; }
Response Component::mouseWheel(const MouseWheelEvent&) { return 0; }
Response Component::mouseMove(const MouseMoveEvent&, bool) { return 0; }
Response Component::mouseLeave() { return 0; }
Response Component::mousePressOutside(const MouseButtonEvent&, ClickSequence&) { return 0; }
Response Component::mouseWheelOutside(const MouseWheelEvent&) { return 0; }
Response Component::mouseMoveOutside(const MouseMoveEvent&) { return 0; }
Response Component::focusTraverse(int) { return 0; }
Response Component::loseFocus() { return 0; }
Response Component::forwardToFocus(void*, void*, void*) { return 0; }
Response Component::resetInput() { return 0; }

UniquePtr<Component> EnvelopePrototype::setContent(UniquePtr<Component>&& newContent)
{
    if (&newContent == &content)
        return nullptr;
    UniquePtr<Component> previous = std::move(content);
    content = std::move(newContent);
    return previous;
}

void EnvelopePrototype::configure(Configurator& configurator)
{
    Component::configure(configurator);
    if (content)
        content->configure(configurator);
}

void EnvelopePrototype::traverse(Visitor& visitor)
{
    visitor.enter(this);
    try {
        if (content)
            content->traverse(visitor);
    } catch (...) {
        visitor.leave(this);
        throw;
    }
    visitor.leave(this);
}

Vector2 EnvelopePrototype::layout(Vector2 minimum, Vector2 maximum, double scale, int final)
{
    return content ? content->layout(minimum, maximum, scale, final) : minimum;
}

std::optional<Rect> EnvelopePrototype::focusBounds() { return content ? content->focusBounds() : std::nullopt; }
Response EnvelopePrototype::draw(Renderer& renderer) { return content ? content->draw(renderer) : 0; }

Response EnvelopePrototype::focus(Component* target)
{
    Response answer = Component::focus(target);
    if (!(answer & HANDLED) && content)
        answer |= content->focus(target);
    return answer;
}

Response EnvelopePrototype::gainFocus() { return content ? content->gainFocus() : 0; }
Response EnvelopePrototype::textInput(uint32_t codePoint) { return content ? content->textInput(codePoint) : 0; }
Response EnvelopePrototype::keyPress(const KeyEvent& event) { return content ? content->keyPress(event) : 0; }
Response EnvelopePrototype::keyRelease(const KeyEvent& event) { return content ? content->keyRelease(event) : 0; }

Response EnvelopePrototype::mousePress(const MouseButtonEvent& event, ClickSequence& clicks)
{
    return content ? content->mousePress(event, clicks) : 0;
}

Response EnvelopePrototype::mouseRelease(const MouseButtonEvent& event) { return content ? content->mouseRelease(event) : 0; }
Response EnvelopePrototype::mouseWheel(const MouseWheelEvent& event) { return content ? content->mouseWheel(event) : 0; }

Response EnvelopePrototype::mouseMove(const MouseMoveEvent& event, bool hovered)
{
    return content ? content->mouseMove(event, hovered) : 0;
}

Response EnvelopePrototype::mouseLeave() { return content ? content->mouseLeave() : 0; }

Response EnvelopePrototype::mousePressOutside(const MouseButtonEvent& event, ClickSequence& clicks)
{
    return content ? content->mousePressOutside(event, clicks) : 0;
}

Response EnvelopePrototype::mouseWheelOutside(const MouseWheelEvent& event)
{
    return content ? content->mouseWheelOutside(event) : 0;
}

Response EnvelopePrototype::mouseMoveOutside(const MouseMoveEvent& event) { return content ? content->mouseMoveOutside(event) : 0; }
Response EnvelopePrototype::focusTraverse(int direction) { return content ? content->focusTraverse(direction) : 0; }
Response EnvelopePrototype::loseFocus() { return content ? content->loseFocus() : 0; }

Response EnvelopePrototype::forwardToFocus(void* first, void* second, void* third)
{
    return content ? content->forwardToFocus(first, second, third) : 0;
}

Response EnvelopePrototype::resetInput() { return content ? content->resetInput() : 0; }

std::optional<Rect> Envelope::focusBounds()
{
    std::optional<Rect> bounds = EnvelopePrototype::focusBounds();
    if (bounds)
        *bounds = bounds->offset(contentOffset());
    return bounds;
}

Response Envelope::draw(Renderer& renderer)
{
    if (!content)
        return 0;
    OffsetScope offset(renderer, contentOffset());
    return content->draw(renderer);
}

Response Envelope::mousePress(const MouseButtonEvent& event, ClickSequence& clicks)
{
    return EnvelopePrototype::mousePress(translated(event, contentOffset()), clicks);
}

Response Envelope::mouseRelease(const MouseButtonEvent& event)
{
    return EnvelopePrototype::mouseRelease(translated(event, contentOffset()));
}

Response Envelope::mouseWheel(const MouseWheelEvent& event) { return EnvelopePrototype::mouseWheel(translated(event, contentOffset())); }

Response Envelope::mouseMove(const MouseMoveEvent& event, bool hovered)
{
    return EnvelopePrototype::mouseMove(translated(event, contentOffset()), hovered);
}

Response Envelope::mousePressOutside(const MouseButtonEvent& event, ClickSequence& clicks)
{
    return EnvelopePrototype::mousePressOutside(translated(event, contentOffset()), clicks);
}

Response Envelope::mouseWheelOutside(const MouseWheelEvent& event)
{
    return EnvelopePrototype::mouseWheelOutside(translated(event, contentOffset()));
}

Response Envelope::mouseMoveOutside(const MouseMoveEvent& event)
{
    return EnvelopePrototype::mouseMoveOutside(translated(event, contentOffset()));
}

} // namespace orvex::gui
