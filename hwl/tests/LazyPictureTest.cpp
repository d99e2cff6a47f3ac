#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <map>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include "hwl/core/src/style/LazyPicture.h"
#include "uia/graphics/picture/Picture.h"
#include "uia/tests/PictureTestSupport.h"

namespace HA::HWL {
namespace {

using UIA::Picture;
using Map = std::vector<std::string>;

std::shared_ptr<const Picture> codedPicture(int width, int height)
{
    auto picture = std::make_shared<Picture>();
    UIA::TEST::makeCodedPicture(*picture, width, height);
    return picture;
}

// A loader that answers only the scales it was given pictures for and records each call.
struct RecordingLoader {
    std::map<float, std::shared_ptr<const Picture>> pictures;
    std::vector<float> calls;

    LazyPicture::tLoader loader()
    {
        return [this](float scale) -> std::shared_ptr<const Picture> {
            calls.push_back(scale);
            auto found = pictures.find(scale);
            return found == pictures.end() ? nullptr : found->second;
        };
    }
};

TEST(LazyPictureTest, EmptyDrawsNothingAtAnyScale)
{
    const LazyPicture empty;
    EXPECT_EQ(empty.get(1.0f), nullptr);
    EXPECT_EQ(empty.get(2.0f), nullptr);
    const LazyPicture fromNull{std::shared_ptr<const Picture>()};
    EXPECT_EQ(fromNull.get(1.0f), nullptr);
    EXPECT_EQ(fromNull.get(1.5f), nullptr);
}

TEST(LazyPictureTest, FromPictureScalesTheScaleOnePictureByNearestNeighbour)
{
    const auto base = codedPicture(2, 2);
    const LazyPicture lazy(base);
    EXPECT_EQ(lazy.get(1.0f), base.get());

    const Picture* twice = lazy.get(2.0f);
    ASSERT_NE(twice, nullptr);
    EXPECT_EQ(UIA::TEST::codedMap(*twice), (Map{"00 00 10 10", "00 00 10 10", "01 01 11 11", "01 01 11 11"}));
    EXPECT_EQ(lazy.get(2.0f), twice) << "the scaled copy is cached under its scale";
}

TEST(LazyPictureTest, CopiesShareNoCache)
{
    const LazyPicture original(codedPicture(2, 2));
    const LazyPicture copy = original;
    const Picture* a = original.get(2.0f);
    const Picture* b = copy.get(2.0f);
    ASSERT_NE(a, nullptr);
    ASSERT_NE(b, nullptr);
    EXPECT_NE(a, b);
    EXPECT_EQ(original.get(1.0f), copy.get(1.0f)) << "the picture itself is shared";

    // A copy made later takes the entries cached so far.
    RecordingLoader source;
    source.pictures[1.0f] = codedPicture(1, 1);
    const LazyPicture loaded(source.loader());
    ASSERT_NE(loaded.get(1.0f), nullptr);
    const LazyPicture later = loaded;
    EXPECT_EQ(later.get(1.0f), loaded.get(1.0f));
    EXPECT_EQ(source.calls, (std::vector<float>{1.0f}));
}

struct LoaderCase {
    std::string name;
    std::vector<float> loaderScales;  // scales the loader has a picture for
    std::vector<float> asked;         // get() calls in order
    std::vector<float> expectedCalls;
    std::vector<bool> expectedFound;  // per get() call
};

void PrintTo(const LoaderCase& c, std::ostream* os) { *os << c.name; }

class LazyPictureLoaderTest : public ::testing::TestWithParam<LoaderCase> {};

TEST_P(LazyPictureLoaderTest, CallsTheLoaderOncePerScale)
{
    const LoaderCase& c = GetParam();
    RecordingLoader source;
    for (float scale : c.loaderScales)
        source.pictures[scale] = codedPicture(2, 1);
    const LazyPicture lazy(source.loader());
    std::vector<bool> found;
    for (float scale : c.asked)
        found.push_back(lazy.get(scale) != nullptr);
    EXPECT_EQ(source.calls, c.expectedCalls);
    EXPECT_EQ(found, c.expectedFound);
}

const float kJustBelow = std::nextafter(1.5f, 0.0f);
const float kNaN = std::numeric_limits<float>::quiet_NaN();
const float kInf = std::numeric_limits<float>::infinity();

INSTANTIATE_TEST_SUITE_P(
    Cases, LazyPictureLoaderTest,
    ::testing::Values(
        LoaderCase{"OwnPictureCached", {2.0f}, {2.0f, 2.0f}, {2.0f}, {true, true}},
        LoaderCase{"MissingScaleFallsBackToScaleOne", {1.0f}, {2.0f, 2.0f, 1.0f}, {2.0f, 1.0f}, {true, true, true}},
        LoaderCase{"ScaleOneAlreadyCached", {1.0f}, {1.0f, 2.0f}, {1.0f, 2.0f}, {true, true}},
        LoaderCase{"ExactKeysOnly", {1.5f, kJustBelow}, {kJustBelow, 1.5f, 1.5f}, {kJustBelow, 1.5f}, {true, true, true}},
        LoaderCase{"NothingAnywhere", {}, {2.0f, 2.0f}, {2.0f, 1.0f, 2.0f, 1.0f}, {false, false}},
        LoaderCase{"ScaleOneAskedOnce", {}, {1.0f}, {1.0f}, {false}},
        LoaderCase{"ScalesThatAreNoScales", {1.0f}, {kNaN, kInf, 0.0f, -1.0f}, {}, {false, false, false, false}}),
    [](const ::testing::TestParamInfo<LoaderCase>& info) { return info.param.name; });

TEST(LazyPictureTest, FallbackCopyHasTheScaledSize)
{
    RecordingLoader source;
    source.pictures[1.0f] = codedPicture(4, 2);
    const LazyPicture lazy(source.loader());
    const Picture* half = lazy.get(1.5f);
    ASSERT_NE(half, nullptr);
    EXPECT_EQ(half->getWidth(), 6);
    EXPECT_EQ(half->getHeight(), 3);
}

}  // namespace
}  // namespace HA::HWL
