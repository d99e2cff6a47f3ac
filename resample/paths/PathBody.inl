// The body of every code path. Path<N>.cpp includes it inside its own namespace with
// HA_RESAMPLE_LEVEL set to N: 0 SSE2, 1 SSSE3, 2 SSE4.1, 3 AVX, 4 AVX2.
//
// It calls no inline function of a shared header (no std:: templates, no helpers of
// ResizeSpec.h): such a function would be compiled once per path and the linker could
// keep the widest copy for all of them. Everything it needs is defined here, per path.
//
// Its parts, each building on the ones before: PathShared.inl (what the paths differ in,
// helpers and the floor), PathNearest.inl (index tables, offsets, row copies),
// PathLinear.inl (the two-pass interpolation) and PathEdges.inl (edge rows and columns);
// here the bilinear tile and the entry points.

namespace {

#include "resample/paths/PathShared.inl"
#include "resample/paths/PathNearest.inl"
#include "resample/paths/PathLinear.inl"
#include "resample/paths/PathEdges.inl"

// Rows and columns one to one inside the picture, between pictures without row padding:
// the tile is one copy of the source block, edges included (a whole tap replicated is the
// tap itself), which the library copies with its widest stores.
bool copyWholeTile(const Tile& t, const int32_t* cols, const int32_t* rows)
{
    const ResizeSpec& s = *t.spec;
    const size_t rowBytes = 4 * size_t(t.width);
    int64_t first = 0;
    if (t.srcStep != ptrdiff_t(rowBytes) || t.dstStep != ptrdiff_t(rowBytes) ||
        !columnsTakeLeftTap(s.cols.weights + 2 * ptrdiff_t(t.x), t.width) || !columnsConsecutive(cols, t.width) ||
        !rowsTakeWhole(rows, s.rows.weights + t.y, t.height, &first))
        return false;
    const int64_t column = int64_t(cols[0] / 4) + t.x0;
    if (column < 0 || column + t.width > s.cols.srcSize || first + t.y0 < 0 || first + t.y0 + t.height > s.rows.srcSize)
        return false;
    if constexpr (kWideIntegers) {
        if (rowStreaming(4 * int64_t(t.width) * t.height).on)
            return false;  // the rows stream past the cache
    }
    __builtin_memmove(t.dst, t.src + t.srcStep * ptrdiff_t(first) + cols[0], rowBytes * size_t(t.height));
    return true;
}

void resizeLinearTile(const Tile& t)
{
    int32_t* cols;
    int32_t* rows;
    fillOffsets(t, &cols, &rows);
    const ResizeSpec& s = *t.spec;
    const int32_t hd = s.rows.dstSize, wd = s.cols.dstSize;
    if (copyWholeTile(t, cols, rows))
        return;
    EdgeCounts e{0, 0, 0, 0};
    if ((t.border & 0xF0) != 0xF0) {
        e.top = edgeCount(t.border & 0x10, t.y, s.rows.leading, t.height);
        e.bottom = edgeCount(t.border & 0x20, hd - t.height - t.y, s.rows.trailing, t.height);
        e.left = edgeCount(t.border & 0x40, t.x, s.cols.leading, t.width);
        e.right = edgeCount(t.border & 0x80, wd - t.width - t.x, s.cols.trailing, t.width);
        linearEdges(t, cols, rows, e);
    }
    LinearRect r;
    r.n = t.width - e.left - e.right;
    r.m = t.height - e.top - e.bottom;
    if (r.n <= 0 || r.m <= 0)
        return;
    r.src = t.src;
    r.srcStep = t.srcStep;
    r.dst = t.dst + t.dstStep * ptrdiff_t(e.top) + 4 * ptrdiff_t(e.left);
    r.dstStep = t.dstStep;
    r.rows = rows + e.top;
    r.cols = cols + e.left;
    r.colWeights = s.cols.weights + 2 * (ptrdiff_t(t.x) + e.left);
    r.rowWeights = s.rows.weights + ptrdiff_t(t.y) + e.top;
    uint16_t* a = alignTo<uint16_t>(rows + t.height, 32);
    uint16_t* b = a + round32(8 * int64_t(r.n)) / 2;
    linearInner(r, a, b);
}

} // namespace

double floor(double x) { return floorOf(x); }

Status getSize(int32_t srcWidth, int32_t srcHeight, int32_t dstWidth, int32_t dstHeight,
               int32_t interpolation, int32_t antialiasing, int32_t* specSize, int32_t* initSize)
{
    return getSizeChecked(srcWidth, srcHeight, dstWidth, dstHeight, interpolation, antialiasing,
                          specSize, initSize);
}

Status getBufferSize(const void* specBuffer, int32_t width, int32_t height, int32_t channels,
                     int32_t* bufferSize)
{
    return getBufferSizeChecked(specBuffer, width, height, channels, bufferSize);
}

Status initNearest(int32_t srcWidth, int32_t srcHeight, int32_t dstWidth, int32_t dstHeight,
                   void* specBuffer)
{
    Status status;
    ResizeSpec* spec =
        prepareSpec(kNearest, srcWidth, srcHeight, dstWidth, dstHeight, specBuffer, &status);
    if (!spec)
        return status;
    nearestAxis(const_cast<int32_t*>(spec->rows.index), srcHeight, dstHeight);
    nearestAxis(const_cast<int32_t*>(spec->cols.index), srcWidth, dstWidth);
    return kOk;
}

Status initLinear(int32_t srcWidth, int32_t srcHeight, int32_t dstWidth, int32_t dstHeight,
                  void* specBuffer)
{
    Status status;
    ResizeSpec* spec =
        prepareSpec(kLinear, srcWidth, srcHeight, dstWidth, dstHeight, specBuffer, &status);
    if (!spec)
        return status;
    linearAxis(&spec->rows, 1);
    linearAxis(&spec->cols, 2);
    return kOk;
}

Status resizeNearest4x8(const void* src, int32_t srcStep, void* dst, int32_t dstStep, int32_t x,
                        int32_t y, int32_t width, int32_t height, const void* specBuffer,
                        void* work)
{
    Tile t;
    const Status status = prepareResize(kNearest, src, srcStep, dst, dstStep, x, y, width, height,
                                        0, specBuffer, work, &t);
    if (status != kOk && status != kSizeClipped)
        return status;
    int32_t* cols;
    int32_t* rows;
    fillOffsets(t, &cols, &rows);
    copyNearestRows(t.src, t.srcStep, t.dst, t.dstStep, t.width, t.height, rows, cols);
    return status;
}

Status resizeLinear4x8(const void* src, int32_t srcStep, void* dst, int32_t dstStep, int32_t x,
                       int32_t y, int32_t width, int32_t height, int32_t borderMode,
                       const void* borderValues, const void* specBuffer, void* work)
{
    (void)borderValues;  // never read: replication or the caller's own neighbours
    Tile t;
    const Status status = prepareResize(kLinear, src, srcStep, dst, dstStep, x, y, width, height,
                                        borderMode, specBuffer, work, &t);
    if (status != kOk && status != kSizeClipped)
        return status;
    resizeLinearTile(t);
    return status;
}

