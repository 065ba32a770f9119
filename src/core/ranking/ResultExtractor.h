#pragma once
// Finds the result addresses in an engine's answer, as its definition says:
// the first capture group of a PCRE2 pattern for HTML pages, or a field of the
// elements of a JSON array. Redirect-wrapped addresses are unwrapped.
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "ranking/RankDefinition.h"

namespace tolvan {

class ResultExtractor {
public:
    // Compiles the pattern once; throws TolvanError with the pattern's error
    // and position when it does not compile.
    explicit ResultExtractor(const RankDefinition& def);
    ~ResultExtractor();
    ResultExtractor(const ResultExtractor&) = delete;
    ResultExtractor& operator=(const ResultExtractor&) = delete;

    // The result addresses in the order they appear, unwrapped and with HTML
    // character references decoded. An answer that is not JSON where JSON was
    // expected yields none.
    std::vector<std::string> extract(std::string_view answer) const;

private:
    std::vector<std::string> extractHtml(std::string_view page) const;
    std::vector<std::string> extractJson(std::string_view text) const;
    std::string finish(std::string address) const;

    const RankDefinition& def_;
    struct Pattern;
    std::unique_ptr<Pattern> pattern_;
};

// &amp; &quot; &#39; &#x2F; and the like, decoded (an address in an attribute).
std::string decodeHtmlReferences(std::string_view text);

// The target of a redirect address: the value of `param` in its query,
// percent-decoded, and when base64 is set, with `prefix` taken off and the
// rest decoded as (URL-safe) base64. The address itself when it has no such
// parameter or the value does not decode.
std::string unwrapRedirect(const std::string& address, const std::string& param, bool base64,
                           const std::string& prefix);

}  // namespace tolvan
