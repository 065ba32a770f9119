#include "app/FontConfiguration.h"

#include <fontconfig/fontconfig.h>

#include <thread>

namespace tolvan::app::fontConfiguration {
namespace {

// A thread never waited for would end the process with std::terminate at exit.
struct Reader {
    std::thread thread;
    bool started = false;
    ~Reader()
    {
        if (thread.joinable())
            thread.join();
    }
};

Reader& reader()
{
    static Reader instance;
    return instance;
}

}  // namespace

void startReading()
{
    // The configuration is kept by fontconfig for the whole process, where Qt finds it.
    Reader& ahead = reader();
    if (!ahead.started) {
        ahead.started = true;
        ahead.thread = std::thread([] { FcInit(); });
    }
}

void waitUntilRead()
{
    if (reader().thread.joinable())
        reader().thread.join();
}

}  // namespace tolvan::app::fontConfiguration
