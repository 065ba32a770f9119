#pragma once
// What the rank reports read from the Ranking page: the site, the phrase, the
// depth text, and for each of the eight engines its tick box and place.
#include <array>
#include <string>

namespace tolvan {

// The engines in the order every rank report lists them.
enum class RankEngine { Infoseek, Yahoo, AltaVista, AolNetFind, Lycos, Excite, HotBot, WebCrawler };
inline constexpr std::size_t kRankEngineCount = 8;

struct RankEntry {
    bool selected = false;  // the engine's tick box
    int position = 0;       // its number panel; 0 or less means not found
};

struct RankData {
    std::string site;         // sitetorankedit
    std::string phrase;       // keyphraseedit (blanks already '+' after a run)
    std::string depth = "50"; // depthedit's text, not clamped
    std::array<RankEntry, kRankEngineCount> engines{};

    RankEntry& operator[](RankEngine e) { return engines[static_cast<std::size_t>(e)]; }
    const RankEntry& operator[](RankEngine e) const { return engines[static_cast<std::size_t>(e)]; }
};

}  // namespace tolvan
