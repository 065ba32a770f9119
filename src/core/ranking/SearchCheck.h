#pragma once
// The browser search check: the address of one engine's own search for a site
// address or some keywords, to be opened in the user's browser.
#include <array>
#include <string>
#include <string_view>

namespace tolvan {

class RemoteHosts;

enum class SearchEngine { infoseek, yahoo, altaVista, lycos, aolNetFind, excite, hotBot, webCrawler };

inline constexpr std::array<SearchEngine, 8> kSearchEngines = {
    SearchEngine::infoseek, SearchEngine::yahoo,  SearchEngine::altaVista, SearchEngine::lycos,
    SearchEngine::aolNetFind, SearchEngine::excite, SearchEngine::hotBot,  SearchEngine::webCrawler};

// The engine's key in the "Search" section of data/hosts.tlx.
std::string searchHostKey(SearchEngine engine);

// What follows the host: the engine's search path with `text` form-encoded
// into its query (a blank becomes "+", "&", "#" and the like cannot break the
// query apart).
std::string searchPath(SearchEngine engine, std::string_view text);

// "http://", the engine's search host and the path; empty when the hosts file
// names no host for the engine.
std::string searchAddress(const RemoteHosts& hosts, SearchEngine engine, std::string_view text);

}  // namespace tolvan
