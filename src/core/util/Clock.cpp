#include "util/Clock.h"

namespace tolvan {

namespace {
class SystemClock final : public Clock {
public:
    std::time_t now() const override { return std::time(nullptr); }
};
const SystemClock systemClock;
const Clock* installed = nullptr;

std::string format(std::time_t t, const char* fmt)
{
    std::tm tm{};
    localtime_r(&t, &tm);
    char buf[128];
    const std::size_t n = std::strftime(buf, sizeof buf, fmt, &tm);
    return std::string(buf, n);
}
}  // namespace

const Clock& Clock::current() { return installed ? *installed : systemClock; }
void Clock::install(const Clock* clock) { installed = clock; }

std::string shortDate(std::time_t t) { return format(t, "%x"); }
std::string longTime(std::time_t t) { return format(t, "%X"); }

}  // namespace tolvan
