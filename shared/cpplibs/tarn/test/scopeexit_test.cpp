#include <gtest/gtest.h>

#include "tarnexception.h"
#include "tarnscopeexit.h"

TEST(ScopeExitTest, RunsOnceOnEveryWayOutUnlessDismissed)
{
    int runs = 0;
    {
        const Tarn::ScopeExit count([&runs]() noexcept { ++runs; });
    }
    EXPECT_EQ(1, runs);

    EXPECT_THROW(
        {
            const Tarn::ScopeExit count([&runs]() noexcept { ++runs; });
            throw Tarn::InvalidOperationException();
        },
        Tarn::InvalidOperationException);
    EXPECT_EQ(2, runs);

    {
        Tarn::ScopeExit count([&runs]() noexcept { ++runs; });
        count.Dismiss();
    }
    EXPECT_EQ(2, runs);
}
