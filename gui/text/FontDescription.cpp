// FontDescription helpers and ShapedText's caret rule, shared by every font-engine backend.
#include "gui/text/FontEngine.h"
#include "gui/text/FontDescription.h"

#include <algorithm>
#include <cmath>

namespace orvex::gui {

int pixelHeight(double height)
{
    if (!(height > 0))
        return 0;
    return std::max(1, int(std::round(height)));
}

int ShapedText::caretBefore(size_t i) const
{
    if (cellLeft.empty())
        return 0;
    if (i >= size()) {
        const size_t last = size() - 1;
        return rightToLeft[last] ? cellLeft[last] : cellRight[last];
    }
    return rightToLeft[i] ? cellRight[i] : cellLeft[i];
}

} // namespace orvex::gui
