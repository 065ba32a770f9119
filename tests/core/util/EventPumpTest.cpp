#include "net/EventPump.h"

#include <gtest/gtest.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>

using namespace tolvan;

namespace {
struct CountingPump : EventPump {
    int pumps = 0;
    void processEvents() override { ++pumps; }
};
}  // namespace

TEST(EventPump, WaitReturnsWhenSocketBecomesReadableAndPumpsMeanwhile)
{
    int fds[2];
    ASSERT_EQ(::socketpair(AF_UNIX, SOCK_STREAM, 0, fds), 0);
    CountingPump pump;
    EXPECT_EQ(pump.waitForSocket(fds[0], POLLIN, 50), 0);  // nothing yet: time-out
    EXPECT_GE(pump.pumps, 2);
    ASSERT_EQ(::write(fds[1], "x", 1), 1);
    EXPECT_TRUE(pump.waitForSocket(fds[0], POLLIN, 1000) & POLLIN);
    ::close(fds[0]);
    ::close(fds[1]);
}
