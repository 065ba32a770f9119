#pragma once
// A site's robots.txt, read for one user agent: the group naming the agent
// (a case-insensitive token match), else the "*" group; the longest matching
// Allow or Disallow rule decides ("*" and a final "$" in rules are honoured),
// an Allow winning a tie.
#include <string>
#include <string_view>
#include <vector>

namespace tolvan {

class RobotsRules {
public:
    RobotsRules() = default;  // allows everything
    RobotsRules(std::string_view robotsTxt, std::string_view agentToken);

    // path: the path and query of an address, starting with '/'.
    bool allowed(std::string_view path) const;

private:
    struct Rule {
        std::string pattern;
        bool allow;
    };
    std::vector<Rule> rules_;
};

}  // namespace tolvan
