// IcicleView: which part of the chart the chart component shows — the visible byte range and the
// row height — and the arithmetic that moves it: zoom about an anchor, pan by pixels, row scaling
// by a vertical drag, the scroll bar's position, and the mapping from component pixels back to
// chart space. Plain arithmetic with no GL, so the interaction can be tested on its own. Zoom, pan
// and scrolling stay inside the focus range: the whole tree [0, total] with row 1 at the top edge
// (the root row belongs to the root label), or a folder the user went into, whose own row is then
// at the top and whose bytes span the width. Rows further down are brought up to the top edge
// only to show a cell (the keyboard's selection); the focus row is the highest. Main thread.
#pragma once

class IcicleView {
public:
    // The whole tree in view, eight rows filling the height. `totalSize` is the chart's width in
    // bytes (at least 1, as IcicleMesh::totalSize).
    explicit IcicleView(double totalSize);

    // Widens (amount > 0) or narrows (amount < 0) the range by e^(0.1875 × amount) so that the byte
    // at `anchor` (a fraction of the width, clamped to [0, 1]) stays put; the range is shifted back
    // inside the focus range and never narrowed below one byte. False when nothing changed.
    bool zoom(double amount, double anchor);
    // Moves the range with a pointer that moved `pixels` to the right over a component `width`
    // pixels wide; stops at either end. False when nothing can move.
    bool pan(double pixels, double width);
    // Follows a vertical drag of `dy` pixels that ended `y` pixels below the top edge: the top
    // edge stays and the point under the pointer follows it. Nothing happens within 16 pixels of
    // the top; rows never grow taller than the component. False when the height did not change.
    bool scaleRows(double dy, double y);
    // Places the range at `position` of its free travel (0 left end, 1 right end), keeping its
    // width: what the scroll bar asks for.
    void scrollTo(double position);

    // Chart space under a point of a `width` x `height` component.
    double byteAt(double x, double width) const;
    double rowAt(double y, double height) const;
    // The other way: where a byte or a row edge lies in the component.
    double xAt(double bytes, double width) const;
    double yAt(double row, double height) const;

    // Moves the range the least that shows [x0, x1] whole (or, when it is wider than the range,
    // fills the range with it), staying inside the focus range. False when nothing moved.
    bool bringIntoView(double x0, double x1);
    // Moves the rows the least that shows rows [top, bottom] whole (or, when they are taller than
    // the component, puts `top` at the top edge), never above the focus's own row. False when
    // nothing moved.
    bool bringRowsIntoView(double top, double bottom);
    // Makes [start, end] the range zoom, pan and scrolling keep to and shows all of it, with
    // `topRow` at the top edge. An empty or reversed range becomes one byte wide.
    void setFocus(double start, double end, double topRow);
    // Shows [start, end], moved the least into the focus range, and the whole focus range when
    // it is wider (never narrower than one byte).
    void showRange(double start, double end);
    double focusWidth() const { return focusEnd - focusStart; }

    double totalSize;
    double visibleStart = 0.0;
    double visibleEnd;
    double rowScale = 0.125; // row height as a fraction of the component height
    double focusStart = 0.0; // the range the view keeps to: [0, totalSize] until a folder is focused
    double focusEnd;
    double firstRow = 1.0;   // the row at the top edge
    double focusRow = 1.0;   // the focus's own row: the highest row that may be at the top edge

    static constexpr double ZOOM_RATE = 0.1875;   // e^ZOOM_RATE per zoom unit (one wheel notch)
    static constexpr double ROW_DRAG_MARGIN = 16.0; // pixels under the top edge where rows keep their height

private:
    // Into the focus range; outside (or NaN) becomes its start when not above it, else its end.
    double clamp(double bytes) const;
};
