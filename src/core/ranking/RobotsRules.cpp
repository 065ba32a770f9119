#include "ranking/RobotsRules.h"
#include "util/TextCodec.h"

#include <algorithm>

namespace tolvan {

namespace {

std::string_view trim(std::string_view s)
{
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t'))
        s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\r'))
        s.remove_suffix(1);
    return s;
}

// Whether `pattern` ('*' any run, a final '$' the end) matches the start of `path`.
bool ruleMatches(std::string_view pattern, std::string_view path)
{
    const bool anchored = !pattern.empty() && pattern.back() == '$';
    if (anchored)
        pattern.remove_suffix(1);
    // Greedy-free matching with backtracking over the last '*'.
    std::size_t p = 0, s = 0, starP = std::string_view::npos, starS = 0;
    while (true) {
        if (p == pattern.size()) {
            if (!anchored || s == path.size())
                return true;
        } else if (pattern[p] == '*') {
            starP = p++;
            starS = s;
            continue;
        } else if (s < path.size() && pattern[p] == path[s]) {
            ++p;
            ++s;
            continue;
        }
        if (starP == std::string_view::npos || starS >= path.size())
            return false;
        p = starP + 1;
        s = ++starS;
    }
}

}  // namespace

RobotsRules::RobotsRules(std::string_view text, std::string_view agentToken)
{
    const std::string agent = asciiLower(agentToken);
    std::vector<Rule> mine, star;
    bool inMine = false, inStar = false, lastWasAgent = false, sawMine = false;
    while (!text.empty()) {
        const std::size_t nl = text.find('\n');
        std::string_view line = text.substr(0, nl);
        text = nl == std::string_view::npos ? std::string_view() : text.substr(nl + 1);
        const std::size_t hash = line.find('#');
        if (hash != std::string_view::npos)
            line = line.substr(0, hash);
        const std::size_t colon = line.find(':');
        if (colon == std::string_view::npos)
            continue;
        const std::string field = asciiLower(trim(line.substr(0, colon)));
        const std::string_view value = trim(line.substr(colon + 1));
        if (field == "user-agent") {
            if (!lastWasAgent)
                inMine = inStar = false;  // a new group starts
            const std::string name = asciiLower(value);
            if (name == "*")
                inStar = true;
            else if (!name.empty() && agent.find(name) == 0) {
                inMine = true;
                sawMine = true;
            }
            lastWasAgent = true;
            continue;
        }
        lastWasAgent = false;
        if (field != "allow" && field != "disallow")
            continue;
        if (value.empty())
            continue;  // "Disallow:" with nothing allows everything
        const Rule rule{std::string(value), field == "allow"};
        if (inMine)
            mine.push_back(rule);
        if (inStar)
            star.push_back(rule);
    }
    rules_ = sawMine ? std::move(mine) : std::move(star);
}

bool RobotsRules::allowed(std::string_view path) const
{
    std::size_t best = 0;
    bool allow = true, any = false;
    for (const Rule& rule : rules_) {
        if (!ruleMatches(rule.pattern, path))
            continue;
        const std::size_t length = rule.pattern.size();
        if (!any || length > best || (length == best && rule.allow && !allow)) {
            best = length;
            allow = rule.allow;
            any = true;
        }
    }
    return allow;
}

}  // namespace tolvan
