#pragma once
// Dates and times as the program shows and writes them, with an injectable clock.
#include <ctime>
#include <string>

namespace tolvan {

class Clock {
public:
    virtual ~Clock() = default;
    virtual std::time_t now() const = 0;

    // The process-wide clock; tests may install their own (nullptr restores the system clock).
    static const Clock& current();
    static void install(const Clock* clock);
};

// The user's locale's short date ("%x") and long time ("%X") of a local time.
std::string shortDate(std::time_t t);
std::string longTime(std::time_t t);

}  // namespace tolvan
