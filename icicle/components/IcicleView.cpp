// IcicleView: zoom, pan and row scaling of the chart. Every result is brought back into
// the focus range with a comparison that also catches NaN (a zero-width component divides by zero),
// so a bad input leaves a valid view rather than a poisoned one.
#include "icicle/components/IcicleView.h"

#include <algorithm>
#include <cmath>

IcicleView::IcicleView(double totalSize)
    : totalSize(totalSize)
    , visibleEnd(totalSize)
    , focusEnd(totalSize)
{
}

void IcicleView::setFocus(double start, double end, double topRow)
{
    if (!(end > start))
        end = start + 1.0;
    focusStart = visibleStart = start;
    focusEnd = visibleEnd = end;
    firstRow = focusRow = topRow;
}

void IcicleView::showRange(double start, double end)
{
    const double span = std::min(std::max(end - start, 1.0), focusWidth());
    start = std::isfinite(start) ? std::clamp(start, focusStart, focusEnd - span) : focusStart;
    visibleStart = start;
    visibleEnd = start + span;
}

bool IcicleView::bringIntoView(double x0, double x1)
{
    const double span = visibleEnd - visibleStart;
    double shift = 0.0;
    if (x1 - x0 <= span) {
        if (x0 < visibleStart)
            shift = x0 - visibleStart;
        else if (x1 > visibleEnd)
            shift = x1 - visibleEnd;
    } else if (x0 > visibleStart) {
        shift = x0 - visibleStart;
    } else if (x1 < visibleEnd) {
        shift = x1 - visibleEnd;
    }
    double start = visibleStart + shift;
    if (start < focusStart)
        start = focusStart;
    if (start + span > focusEnd)
        start = focusEnd - span;
    if (!(start != visibleStart))
        return false;
    visibleStart = start;
    visibleEnd = start + span;
    return true;
}

bool IcicleView::bringRowsIntoView(double top, double bottom)
{
    const double rows = 1.0 / rowScale;
    double row = firstRow;
    if (top < firstRow || bottom - top > rows)
        row = top;
    else if (bottom > firstRow + rows)
        row = bottom - rows;
    row = std::max(row, focusRow);
    if (!(row != firstRow))
        return false;
    firstRow = row;
    return true;
}

double IcicleView::clamp(double bytes) const
{
    if (bytes >= focusStart && bytes <= focusEnd)
        return bytes;
    return bytes > focusStart ? focusEnd : focusStart;
}

bool IcicleView::zoom(double amount, double anchor)
{
    const double width = visibleEnd - visibleStart;
    if (width <= 1.0 && amount < 0.0)
        return false;
    const double b = anchor > 0.0 ? (anchor < 1.0 ? anchor : 1.0) : 0.0;
    const double fixed = visibleEnd * b + visibleStart * (1.0 - b);
    const double factor = std::exp(ZOOM_RATE * amount);
    double start = fixed - factor * b * width;
    double end = fixed + (1.0 - b) * factor * width;
    if (start < focusStart) {
        end += focusStart - start;
        start = focusStart;
    } else if (end > focusEnd) {
        start -= end - focusEnd;
        end = focusEnd;
    }
    start = clamp(start);
    end = clamp(end);
    if (start == visibleStart && end == visibleEnd)
        return false;
    visibleStart = start;
    visibleEnd = end;
    return true;
}

bool IcicleView::pan(double pixels, double width)
{
    const double span = visibleEnd - visibleStart;
    const double bytes = span * pixels / width;
    if (bytes > 0.0 && visibleStart > focusStart) {
        visibleStart -= bytes;
        visibleEnd -= bytes;
        if (visibleStart < focusStart) {
            visibleStart = focusStart;
            visibleEnd = focusStart + span;
        }
    } else if (bytes < 0.0 && visibleEnd < focusEnd) {
        visibleStart -= bytes;
        visibleEnd -= bytes;
        if (visibleEnd > focusEnd) {
            visibleStart = focusEnd - span;
            visibleEnd = focusEnd;
        }
    } else {
        return false;
    }
    visibleStart = clamp(visibleStart);
    visibleEnd = clamp(visibleEnd);
    return true;
}

bool IcicleView::scaleRows(double dy, double y)
{
    if (dy == 0.0 || y < ROW_DRAG_MARGIN || y - dy < ROW_DRAG_MARGIN)
        return false;
    double scaled = rowScale * y / (y - dy);
    if (scaled > 1.0)
        scaled = 1.0;
    if (scaled == rowScale)
        return false;
    rowScale = scaled;
    return true;
}

void IcicleView::scrollTo(double position)
{
    const double span = visibleEnd - visibleStart;
    if (position >= 1.0) {
        visibleStart = focusEnd - span;
        visibleEnd = focusEnd;
        return;
    }
    visibleStart = focusStart + (position > 0.0 ? position : 0.0) * (focusWidth() - span);
    visibleEnd = visibleStart + span;
}

double IcicleView::byteAt(double x, double width) const
{
    const double f = x / width;
    return (1.0 - f) * visibleStart + f * visibleEnd;
}

double IcicleView::rowAt(double y, double height) const { return y / (height * rowScale) + firstRow; }

double IcicleView::xAt(double bytes, double width) const
{
    return (bytes - visibleStart) / (visibleEnd - visibleStart) * width;
}

double IcicleView::yAt(double row, double height) const { return (row - firstRow) * height * rowScale; }
