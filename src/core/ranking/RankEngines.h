#pragma once
// The eight engines the rank checker asks, in the order it asks them: how
// each one's result pages are requested and how a result is found on them.
#include <string>
#include <string_view>
#include <vector>

#include "reporting/RankData.h"

namespace tolvan {

struct RankRecipe {
    RankEngine engine;
    const char* hostKey;       // key of the engine's host in the hosts file's Rank section
    const char* firstHostKey;  // host of the first-page request (only Excite differs)
    int pageSize;              // results per page
    const char* captionWord;   // "Checking <word> results ..."
    const char* firstCaptionWord;
    const char* marker;        // text that comes before each result
    const char* terminator;    // text that ends a result's address
    const char* finalCaption;  // the tick box's caption when the engine is done
    bool separateFirstPage;    // the first page has its own request form
};

// The recipe of one engine.
const RankRecipe& rankRecipe(RankEngine engine);

// Every engine in checking order.
inline constexpr RankEngine kRankEngines[kRankEngineCount] = {
    RankEngine::Infoseek, RankEngine::Yahoo,  RankEngine::AltaVista, RankEngine::AolNetFind,
    RankEngine::Lycos,    RankEngine::Excite, RankEngine::HotBot,    RankEngine::WebCrawler};

// Captions of the tick boxes while and after a page fails.
inline constexpr const char* kRankUnable = "Unable to rank - Try Later";
inline constexpr const char* kRankYahooNoMatch = "No Match - See Alta Vista";
inline constexpr const char* kRankStopped = "Stopped";

// The search depth typed by the user: a decimal number, 100 when it is not one,
// at most 500. Smaller and negative values are kept.
int rankDepth(std::string_view depthText);

// The phrase as the Ranking page shows it after a run: every blank a '+'.
std::string plusForBlanks(std::string phrase);

// The phrase as it goes into a result-page query: a '+' or blank separates
// words, everything else that is not a letter, digit or "-_.*" is %-encoded,
// so a typed '&' or '#' cannot end or cut the query.
std::string rankQueryPhrase(std::string_view phrase);

// What follows the host in the request for the page starting after `n` results
// already requested. `query` is the encoded phrase. `firstPage` selects the
// first-page form of the engines that have one.
std::string rankRequestPath(RankEngine engine, std::string_view query, long n, bool firstPage);

// "Checking Lycos results 51 to 100".
std::string checkingCaption(RankEngine engine, long n, bool firstPage);

// The 1-based place of the first result on the page whose address contains the
// site (without regard to case), or 0. A result is a marker followed somewhere
// by "http:"; its address runs up to the terminator. Marker, "http:" and the
// terminator match exactly. An empty site matches nothing.
int findrank(std::string_view page, std::string_view marker, std::string_view site, std::string_view terminator);

// The addresses of the first `most` results on the page, found by the same
// rules as findrank; each address ends at the terminator or at the first
// blank, quotation mark or '<', so the page's markup around it stays out.
std::vector<std::string> rankResultAddresses(std::string_view page, std::string_view marker,
                                             std::string_view terminator, std::size_t most);

}  // namespace tolvan
