// The font configuration read ahead on a second thread while Qt starts.
#include <gtest/gtest.h>

#include <cstdlib>

#include "app/FontConfiguration.h"

namespace fontConfiguration = tolvan::app::fontConfiguration;

TEST(FontConfiguration, AProcessMayEndWithoutWaiting)
{
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(
        {
            fontConfiguration::startReading();
            std::exit(3);
        },
        ::testing::ExitedWithCode(3), "");
}
