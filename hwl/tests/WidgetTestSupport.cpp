#include <gtest/gtest.h>

#include "gp/src/common/memory/SmallPool.h"

namespace {

// Regions need the small pool, which the library's start-up acquires in a real run.
class SmallPoolEnvironment : public ::testing::Environment {
public:
    void SetUp() override { HA::GP::acquireSmallPool(); }
    void TearDown() override { HA::GP::releaseSmallPool(); }
};

const ::testing::Environment* const gSmallPool = ::testing::AddGlobalTestEnvironment(new SmallPoolEnvironment);

}  // namespace
