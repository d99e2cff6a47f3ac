// Every buffer of a resize sits right against an inaccessible page, at exactly the size
// the library reported, so a vector tail that reads or writes one byte too far faults.
#include <gtest/gtest.h>

#include <sys/mman.h>
#include <unistd.h>

#include "resample/tests/ResizeHarness.h"

using namespace ResampleTest;
using namespace Resample;

namespace {

enum class eGuard { After, Before };

class GuardedBuffer {
public:
    GuardedBuffer(std::size_t size, eGuard side)
    {
        const std::size_t page = std::size_t(sysconf(_SC_PAGESIZE));
        const std::size_t span = (size + page - 1) / page * page;
        total_ = span + page;
        void* m = mmap(nullptr, total_, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
        if (m == MAP_FAILED) {
            ADD_FAILURE() << "mmap failed";
            return;
        }
        base_ = static_cast<std::uint8_t*>(m);
        if (side == eGuard::After) {
            mprotect(base_ + span, page, PROT_NONE);
            data_ = base_ + span - size;
        } else {
            mprotect(base_, page, PROT_NONE);
            data_ = base_ + page;
        }
    }
    ~GuardedBuffer()
    {
        if (base_)
            munmap(base_, total_);
    }
    GuardedBuffer(const GuardedBuffer&) = delete;
    GuardedBuffer& operator=(const GuardedBuffer&) = delete;
    std::uint8_t* data() { return data_; }

private:
    std::uint8_t* base_ = nullptr;
    std::uint8_t* data_ = nullptr;
    std::size_t total_ = 0;
};

// One resize with all four buffers guarded on one side; returns the tile's pixels.
Bytes guardedResize(int path, eOp op, const Shape& s, const TileBox& t, eGuard side,
                    const Bytes& picture)
{
    const DETAIL::PathTable& p = DETAIL::pathTable(path);
    const std::int32_t interp = op == eOp::Nearest ? kNearest : kLinear;
    std::int32_t specSize = 0, initSize = 0, workSize = 0;
    EXPECT_EQ(p.getSize(s.ws, s.hs, s.wd, s.hd, interp, 0, &specSize, &initSize), kOk);
    GuardedBuffer spec(std::size_t(specSize), side);
    EXPECT_EQ(op == eOp::Nearest ? p.initNearest(s.ws, s.hs, s.wd, s.hd, spec.data())
                                 : p.initLinear(s.ws, s.hs, s.wd, s.hd, spec.data()),
              kOk);
    EXPECT_EQ(p.getBufferSize(spec.data(), t.w, t.h, 4, &workSize), kOk);
    GuardedBuffer work(std::size_t(workSize), side);
    const std::size_t srcBytes = std::size_t(s.ws) * s.hs * 4;
    GuardedBuffer src(srcBytes, side);
    std::memcpy(src.data(), picture.data(), srcBytes);
    const std::size_t dstBytes = std::size_t(t.w) * t.h * 4;
    GuardedBuffer dst(dstBytes, side);
    const std::int64_t x0 = std::int64_t(t.x) * s.ws / s.wd, y0 = std::int64_t(t.y) * s.hs / s.hd;
    const std::uint8_t* origin = src.data() + (y0 * s.ws + x0) * 4;
    const Status status =
        op == eOp::Nearest
            ? p.resizeNearest4x8(origin, 4 * s.ws, dst.data(), 4 * t.w, t.x, t.y, t.w, t.h,
                                 spec.data(), work.data())
            : p.resizeLinear4x8(origin, 4 * s.ws, dst.data(), 4 * t.w, t.x, t.y, t.w, t.h,
                                kBorderReplicate, nullptr, spec.data(), work.data());
    EXPECT_EQ(status, kOk);
    return Bytes(dst.data(), dst.data() + dstBytes);
}

void guardedOnEveryPath(eOp op, const Shape& s, const TileBox& t)
{
    const Bytes picture = makePicture(s.ws, s.hs, eFill::Random);
    for (eGuard side : {eGuard::After, eGuard::Before}) {
        const Bytes base = guardedResize(0, op, s, t, side, picture);
        for (int path = 1; path < DETAIL::kPathCount; ++path) {
            if (!pathRuns(path))
                continue;
            for (eStores mode : {eStores::Plain, eStores::Gathers, eStores::Streaming}) {
                if (path != 4 && mode != eStores::Plain)
                    break;
                StoreModeScope scope(mode);
                EXPECT_EQ(guardedResize(path, op, s, t, side, picture), base)
                    << "path " << path << " mode " << int(mode);
            }
        }
    }
}

std::vector<Shape> guardShapes(eOp op)
{
    std::vector<Shape> shapes;
    const std::int32_t least = op == eOp::Linear ? 2 : 1;
    for (std::int32_t w = least; w <= 40; ++w) {
        shapes.push_back({w, 3, 37, 2});
        shapes.push_back({w, 3, 45, 2});  // enlargements whose last eight columns end on other tap positions
        shapes.push_back({w, 3, 53, 2});
        shapes.push_back({23, 3, w, 2});
        shapes.push_back({w, 2, w, 3});
    }
    for (const Shape& s : std::vector<Shape>{{64, 64, 80, 80}, {80, 80, 64, 64}, {97, 5, 33, 7},
                                             {2, 2, 98, 98}, {1000, 2, 3, 2}, {3, 2, 1000, 2}})
        shapes.push_back(s);
    return shapes;
}

void runGuardTable(eOp op)
{
    for (const Shape& s : guardShapes(op)) {
        SCOPED_TRACE(testing::Message() << s.ws << "x" << s.hs << " -> " << s.wd << "x" << s.hd);
        guardedOnEveryPath(op, s, {0, 0, s.wd, s.hd});
        // The last tile of a grid, at the bottom-right corner.
        const TileBox corner{s.wd / 2, s.hd / 2, s.wd - s.wd / 2, s.hd - s.hd / 2};
        guardedOnEveryPath(op, s, corner);
    }
}

TEST(ResampleGuardPages, NearestStaysInsideEveryBuffer) { runGuardTable(eOp::Nearest); }

TEST(ResampleGuardPages, LinearStaysInsideEveryBuffer) { runGuardTable(eOp::Linear); }

} // namespace
