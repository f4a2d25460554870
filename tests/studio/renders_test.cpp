// SPDX-License-Identifier: MIT
#include "tools/zorvan/studio/renders.h"

#include <gtest/gtest.h>

namespace zv::cli {
namespace {

TEST(StudioRenders, ANewerRequestCancelsItsLaneAndTheLimitHolds) {
    Renders renders(2);
    std::unique_ptr<Slot> first, second, third, stale;
    ASSERT_EQ(renders.Begin("preview", 1, first), Admission::kAdmitted);
    EXPECT_FALSE(first->cancel()->load());
    ASSERT_EQ(renders.Begin("thumb", 1, second), Admission::kAdmitted);
    // Full: the newer preview is refused but still cancels the older one.
    EXPECT_EQ(renders.Begin("preview", 2, third), Admission::kBusy);
    EXPECT_TRUE(first->cancel()->load());
    EXPECT_FALSE(second->cancel()->load());
    first.reset();
    ASSERT_EQ(renders.Begin("preview", 3, third), Admission::kAdmitted);
    // An older request that arrives late is not run at all.
    EXPECT_EQ(renders.Begin("preview", 2, stale), Admission::kSuperseded);
    EXPECT_EQ(stale, nullptr);
    EXPECT_FALSE(third->cancel()->load());
    second.reset();
    third.reset();
    std::unique_ptr<Slot> again;
    EXPECT_EQ(renders.Begin("preview", 3, again), Admission::kAdmitted);  // same number: a retry
}

TEST(StudioRenders, NoNumberLocksALane) {
    Renders renders(1);
    std::unique_ptr<Slot> slot, other;
    ASSERT_EQ(renders.Begin("preview", INT64_MAX, slot), Admission::kAdmitted);
    slot.reset();
    EXPECT_EQ(renders.Begin("preview", 1, slot), Admission::kAdmitted);
    slot.reset();
    // Refused while every render runs elsewhere: nothing of it stays.
    ASSERT_EQ(renders.Begin("thumb", 1, other), Admission::kAdmitted);
    EXPECT_EQ(renders.Begin("preview", INT64_MAX, slot), Admission::kBusy);
    other.reset();
    EXPECT_EQ(renders.Begin("preview", 1, slot), Admission::kAdmitted);
}

}  // namespace
}  // namespace zv::cli
