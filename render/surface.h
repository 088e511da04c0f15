// The drawing surface: a small software rasteriser that draws straight into
// a host's bottom-up 24-bit pixel block. The same pixels on every platform.
#pragma once

#include <cstdint>
#include <utility>

namespace qavren {

// A colour as the platform's colour word holds it: 0x00BBGGRR.
using Colour = uint32_t;
constexpr Colour Rgb(uint32_t r, uint32_t g, uint32_t b) { return r | (g << 8) | (b << 16); }

struct Pen { Colour colour; };
struct Brush { Colour colour; };

constexpr Pen kBlackPen{Rgb(0, 0, 0)};
constexpr Pen kWhitePen{Rgb(255, 255, 255)};
constexpr Brush kWhiteBrush{Rgb(255, 255, 255)};

struct Point { int32_t x; int32_t y; };

// Coordinates handed to the surface lie within ±kCoordinateLimit; the surface
// clips exactly inside that range. ToCoordinate maps any float onto it.
constexpr int32_t kCoordinateLimit = 1 << 28;

// Truncates toward zero, saturating at ±kCoordinateLimit. A value that is not
// a number becomes -kCoordinateLimit: such points lie far off the top-left
// corner, so lines towards them leave the canvas and triangles touching them
// are clipped like any other.
inline int32_t ToCoordinate(double v) {
    if (v != v) return -kCoordinateLimit;  // NaN
    if (v >= kCoordinateLimit) return kCoordinateLimit;
    if (v <= -kCoordinateLimit) return -kCoordinateLimit;
    return static_cast<int32_t>(v);  // in range now, so truncation is defined
}

// Byte length of one row of a W-pixel 24-bit block: 3W rounded up to 4.
// In 64 bits: for widths from 0x55555555 up, 3W + 3 passes 2^32, and a
// wrapped stride would size a block far smaller than its rows.
constexpr uint64_t RowStride(uint32_t width) { return (3 * uint64_t{width} + 3) & ~uint64_t{3}; }

class Coverage;
struct LineWalk;

class Surface {
public:
    // `bits` holds `height` rows of `stride` bytes, the bottom canvas row
    // first; each pixel is blue, green, red. Width and height are positive.
    Surface(uint8_t* bits, int32_t width, int32_t height, uint32_t stride);

    int32_t width() const { return width_; }
    int32_t height() const { return height_; }

    // The rows this surface draws into: all of the canvas, or those of a
    // surface made by Rows.
    int32_t top() const { return top_; }
    int32_t bottom() const { return bottom_; }

    // A surface for rows top .. bottom of this one (top <= bottom, both
    // within this surface's rows) over the same pixel block, with its pen,
    // brush and backdrop still to draw, if any. With `coverage` (a view of
    // this surface's coverage over those rows: Coverage::ViewRows) it draws
    // nearest first, else in the painter's order. Whatever it draws lands
    // on those rows only, exactly the pixels this surface would draw there,
    // so surfaces of disjoint rows can draw at once on separate threads.
    // Once row surfaces have finished the backdrop over every row,
    // BackdropDrawnInRows tells this one.
    Surface Rows(int32_t top, int32_t bottom, Coverage* coverage) const {
        Surface rows = *this;
        rows.top_ = top;
        rows.bottom_ = bottom;
        rows.coverage_ = coverage;
        return rows;
    }
    void BackdropDrawnInRows() {
        backdrop_ = nullptr;
        coverage_ = nullptr;
    }

    // Paints every pixel in `colour` and zeroes the row padding.
    void Fill(Colour colour);

    // What lies behind a model (the background and the grid), drawn onto the
    // surface it is given.
    using Backdrop = void (*)(Surface& surface);

    // Nearest first: with a coverage attached, every operation writes only
    // the pixels the coverage does not hold yet and adds them to it, so that
    // the first to reach a pixel keeps it. A triangle claims its outline
    // before its fill, as the painter's order draws the outline over it. The
    // coverage must be allocated for this surface's width and height, and
    // nothing drawn yet. FinishBackdrop then draws `backdrop` into what is
    // left and detaches the coverage. A renderer that finds the painter's
    // order cheaper for its model calls PaintInOrder before it draws
    // anything: the backdrop is drawn at once, and the coverage detached.
    void DrawNearestFirst(Coverage* coverage, Backdrop backdrop) {
        coverage_ = coverage;
        backdrop_ = backdrop;
    }
    void PaintInOrder() {
        coverage_ = nullptr;
        FinishBackdrop();
    }
    void FinishBackdrop() {
        if (const Backdrop backdrop = std::exchange(backdrop_, nullptr)) backdrop(*this);
        coverage_ = nullptr;
    }
    const Coverage* coverage() const { return coverage_; }

    // Select a pen or brush; the one it replaces is returned so that it can
    // be put back. A new surface has the black pen and the white brush.
    Pen SelectPen(Pen pen) { return std::exchange(pen_, pen); }
    Brush SelectBrush(Brush brush) { return std::exchange(brush_, brush); }

    // One-pixel line from the current position to (x, y) with the current
    // pen; the end point itself is not drawn and becomes the current position.
    void MoveTo(int32_t x, int32_t y);
    void LineTo(int32_t x, int32_t y);

    // The triangle filled with the current brush, then outlined with the
    // current pen (a, b, c, back to a).
    void Triangle(Point a, Point b, Point c);

    // Colour of pixel (x, y) in canvas coordinates (y down), for tests and tools.
    Colour PixelAt(int32_t x, int32_t y) const;

private:
    // Unit tests reach FillTriangle to check the fill rule without the outline.
    friend struct SurfaceTestAccess;

    uint8_t* Row(int32_t y) const { return bits_ + static_cast<uint64_t>(height_ - 1 - y) * stride_; }
    void Plot(int32_t x, int32_t y, Colour c);
    void FillSpan(int32_t y, int32_t x0, int32_t x1, Colour c);
    // The pixels of the line, or of the fill, on rows top .. bottom only.
    void Line(Point from, Point to, Colour c, int32_t top, int32_t bottom);
    void CoveredLine(const LineWalk& walk, Colour c);
    void FillTriangle(Point a, Point b, Point c, Colour colour, int32_t top = 0, int32_t bottom = INT32_MAX);
    void OutlineTriangle(const Point (&corner)[3], int32_t top, int32_t bottom);
    void CoveredTriangle(const Point (&corner)[3]);

    uint8_t* bits_;
    int32_t width_;
    int32_t height_;
    uint32_t stride_;
    int32_t top_;
    int32_t bottom_;
    Pen pen_ = kBlackPen;
    Brush brush_ = kWhiteBrush;
    Point position_{0, 0};
    Coverage* coverage_ = nullptr;
    Backdrop backdrop_ = nullptr;
};

}  // namespace qavren
