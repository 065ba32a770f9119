#pragma once
// The proxy of the Options page for a command-line client, used as `tolvan
// submit` uses it: a stored proxy server is used whatever the box says, and a
// stored port that is no port number means 80 (with a word on `messages`).
#include <ostream>

namespace tolvan {
class HttpClient;
struct Settings;
}  // namespace tolvan

namespace tolvan::cli {

void useSettingsProxy(HttpClient& client, const Settings& settings, std::ostream& messages);

}  // namespace tolvan::cli
