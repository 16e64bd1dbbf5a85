// The layout traversal, iterative so that a tree of any depth lays out on the main thread's stack.
#include "icicle/IcicleLayout.h"

#include <algorithm>
#include <vector>

namespace {

struct HueWindow {
    double lo;
    double width;
};

// One directory whose children are being laid out.
struct Frame {
    FilesystemNode* node;
    int32_t depth;
    uint64_t offset;  // where the next emitted child starts
    uint64_t end;     // where the directory's cell ends
    HueWindow window; // the sub-window of the next child
    double shift;     // from one child's sub-window to the next
    double hueStep;
    double hue;       // of the next child
    bool narrow;      // sub-windows narrower than 1/8 of a turn
    bool emitted;     // a child has been emitted already
    int64_t next;     // index of the next child
};

Frame enter(FilesystemNode* node, int32_t depth, uint64_t offset, uint64_t width, HueWindow window, double inheritedHue)
{
    const int64_t n = layoutChildCount(node);
    Frame frame { node, depth, offset, offset + width, window, 0, 0, 0, false, false, 0 };
    if (n == 0)
        return frame;
    double subWidth = window.width / (1.5 * double(n) - 0.5);
    frame.shift = 1.5 * subWidth;
    frame.hueStep = window.width / double(std::max<int64_t>(1, n - 1));
    frame.hue = n == 1 ? inheritedHue : window.lo;
    frame.window.width = subWidth;
    frame.narrow = subWidth < 0.125;
    return frame;
}

} // namespace

bool IcicleLayout::isBalanced(const FilesystemNode* node, uint64_t minimumSize)
{
    if (layoutChildCount(node) < 4)
        return false;
    uint64_t half = node->size / 2;
    uint64_t largest[3] = { 0, 0, 0 };
    for (int64_t i = 0; i < node->children.count; ++i) {
        // A folded entry stands for children under the minimum: its largest is what they weigh here.
        const FilesystemNode* child = node->children[i];
        const FoldedEntry* folded = asFolded(child);
        uint64_t size = folded ? folded->largest : child->size;
        if (size >= half)
            return false;
        if (size < minimumSize)
            continue;
        if (size > largest[0]) {
            largest[2] = largest[1];
            largest[1] = largest[0];
            largest[0] = size;
        } else if (size > largest[1]) {
            largest[2] = largest[1];
            largest[1] = size;
        } else if (size > largest[2]) {
            largest[2] = size;
        }
    }
    return largest[2] >= largest[0] / 8;
}

void IcicleLayout::layOutDescendants(FilesystemNode* root, uint64_t minimumSize, CellSink& sink)
{
    std::vector<Frame> stack;
    stack.push_back(enter(root, 0, 0, root->size, { 0.0, 1.0 }, 0.0));
    if (root->children.count > 0)
        sink.childrenBegin(root, 1, 0, root->size);
    while (!stack.empty()) {
        Frame& frame = stack.back();
        if (frame.next == frame.node->children.count) {
            if (frame.node->children.count > 0)
                sink.childrenEnd(frame.node);
            stack.pop_back();
            continue;
        }
        FilesystemNode* child = frame.node->children[frame.next++];
        // A child with no room left in its parent (sizes saturated) is left out like a small one;
        // a folded entry stands for as many left-out children.
        const FoldedEntry* folded = asFolded(child);
        if (folded || child->size < minimumSize || frame.offset == frame.end) {
            // A left-out child keeps its place in the palette once a sibling has been drawn. The
            // steps are added one by one, as they would be for the children themselves, so the
            // sums round alike.
            if (frame.emitted) {
                for (uint64_t k = folded ? folded->items : 1; k > 0; --k) {
                    frame.window.lo += frame.shift;
                    frame.hue += frame.hueStep;
                }
            }
            continue;
        }
        int32_t row = frame.depth + 1;
        uint64_t x0 = frame.offset;
        uint64_t width = std::min(child->size, frame.end - x0);
        double hue = frame.hue;
        sink.cell(child, row, x0, width, hue);
        HueWindow childWindow = frame.narrow && isBalanced(child, minimumSize) ? HueWindow { hue, 1.0 } : frame.window;
        frame.offset += width;
        frame.emitted = true;
        frame.window.lo += frame.shift;
        frame.hue += frame.hueStep;
        if (child->children.count > 0) {
            stack.push_back(enter(child, row, x0, width, childWindow, hue)); // invalidates `frame`
            sink.childrenBegin(child, row + 1, x0, x0 + width);
        }
    }
}
