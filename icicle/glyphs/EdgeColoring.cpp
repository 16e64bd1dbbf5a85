// EdgeColoring: the simple strategy (colour runs between corners, rotate at every corner).
#include "icicle/glyphs/EdgeColoring.h"

#include <cmath>

namespace orvex::glyphs {

namespace EdgeColoring {

namespace {

// CYAN -> MAGENTA -> YELLOW -> CYAN: any two different entries share exactly one channel.
EdgeColor nextColor(EdgeColor color)
{
    switch (color) {
    case CYAN:
        return MAGENTA;
    case MAGENTA:
        return YELLOW;
    default:
        return CYAN;
    }
}

bool isCorner(Vec2 incoming, Vec2 outgoing, double crossThreshold)
{
    Vec2 a = normalized(incoming), b = normalized(outgoing);
    return dot(a, b) <= 0 || std::fabs(cross(a, b)) > crossThreshold;
}

// The teardrop: walking from the corner, the first third of the edges gets `first`, the middle
// third WHITE and the last third `last`; first and last meet at the corner and share one channel.
void colorOneCorner(Contour& contour, int corner)
{
    const EdgeColor first = CYAN, last = MAGENTA;
    std::vector<EdgeSegment>& edges = contour.edges;
    if (edges.size() >= 3) {
        int m = int(edges.size());
        for (int i = 0; i < m; ++i) {
            // Thirds by index, symmetrical so that the middle run stays centred.
            int third = int(3 * (i + 0.5) / m);
            edges[(corner + i) % m].color = third == 0 ? first : third == 1 ? WHITE : last;
        }
        return;
    }
    // Fewer than three edges: cut each into thirds so that three runs exist.
    std::vector<EdgeSegment> parts;
    for (int i = 0; i < int(edges.size()); ++i) {
        EdgeSegment a, b, c;
        edges[(corner + i) % edges.size()].splitInThirds(a, b, c);
        parts.insert(parts.end(), {a, b, c});
    }
    int m = int(parts.size());
    for (int i = 0; i < m; ++i) {
        int third = 3 * i / m;
        parts[i].color = third == 0 ? first : third == 1 ? WHITE : last;
    }
    edges = std::move(parts);
}

} // namespace

std::vector<int> corners(const Contour& contour, double angleThreshold)
{
    std::vector<int> found;
    const std::vector<EdgeSegment>& edges = contour.edges;
    if (edges.empty())
        return found;
    double crossThreshold = std::sin(angleThreshold);
    Vec2 incoming = edges.back().direction(1);
    for (int i = 0; i < int(edges.size()); ++i) {
        if (isCorner(incoming, edges[i].direction(0), crossThreshold))
            found.push_back(i);
        incoming = edges[i].direction(1);
    }
    return found;
}

void colorSimple(Outline& outline, double angleThreshold)
{
    for (Contour& contour : outline.contours) {
        std::vector<int> found = corners(contour, angleThreshold);
        if (found.empty()) {
            for (EdgeSegment& edge : contour.edges)
                edge.color = CYAN;
            continue;
        }
        if (found.size() == 1) {
            colorOneCorner(contour, found[0]);
            continue;
        }
        // Runs between corners, starting at the first corner; the last switch also avoids the
        // first run's colour so that the wrap-around corner joins two different colours.
        int m = int(contour.edges.size());
        int start = found[0];
        size_t nextCorner = 1;
        const EdgeColor initial = CYAN;
        EdgeColor color = initial;
        for (int i = 0; i < m; ++i) {
            int index = (start + i) % m;
            if (nextCorner < found.size() && found[nextCorner] == index) {
                color = nextColor(color);
                if (nextCorner == found.size() - 1 && color == initial)
                    color = nextColor(color);
                ++nextCorner;
            }
            contour.edges[index].color = color;
        }
    }
}

} // namespace EdgeColoring

} // namespace orvex::glyphs
