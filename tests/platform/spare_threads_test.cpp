#include "platform/spare_threads.h"

#include <gtest/gtest.h>

namespace kvt {
namespace {

TEST(SpareThreads, NoMoreAreHandedOutThanTheLimitAndReturnedOnesComeBack) {
    EXPECT_GE(AvailableCores(), 1);
    SetSpareThreads(2);
    std::optional<SpareThread> first = SpareThread::Take();
    std::optional<SpareThread> second = SpareThread::Take();
    ASSERT_TRUE(first && second);
    EXPECT_FALSE(SpareThread::Take());
    {
        SpareThread moved(std::move(*second));
        second.reset();  // the moved-from one gives back nothing
        EXPECT_FALSE(SpareThread::Take());
    }
    EXPECT_TRUE(SpareThread::Take());

    first.reset();
    SetSpareThreads(0);
    EXPECT_FALSE(SpareThread::Take());
    SetSpareThreads(-3);
    EXPECT_FALSE(SpareThread::Take());
    SetSpareThreads(1);
}

}  // namespace
}  // namespace kvt
