#pragma once
// A rank engine described by data: data/rank/<name>.tlx says how to ask the
// engine for a result page and how to find the result addresses in its answer,
// so a changed page format is mended by editing a file, not by a new build.
//
//   [Engine]
//   Address=https://{HOST}/search?q={Q}&s={OFFSET}
//   Format=HTML                 ; or JSON
//   FirstPage=1                 ; the number {PAGE} has on the first page
//   OffsetBase=1                ; added to {OFFSET}, the results asked so far
//   PerPage=10                  ; results per page ({COUNT})
//   MaxPages=10                 ; the most pages the engine serves
//   NeedsKey=1                  ; {APIKEY} comes from the secret store
//   Header1=Accept: application/json   ; extra request headers, Header1..HeaderN
//   [Results]
//   Pattern=<a class="title" href="([^"]+)"   ; HTML: one capture group
//   Array=web.results           ; JSON: dotted path to the results array
//   Field=url                   ; JSON: the member holding the address
//   UnwrapParam=uddg            ; a redirect address carries the target here
//   UnwrapBase64=1              ; ... base64 (URL-safe) encoded
//   UnwrapPrefix=a1             ; ... after this prefix
//   [Refusal]
//   Status=403,429              ; status codes that mean "refused"
//   Redirect1=/challenge        ; a redirect whose target contains this
//   Marker1=captcha             ; a page containing this text
//
// {HOST} is the engine's host from the [RankEngines] section of
// data/hosts.tlx (key: the definition's name).
#include <string>
#include <vector>

namespace tolvan {

struct RankDefinition {
    std::string name;  // the file's base name
    std::string address;
    bool json = false;
    long firstPage = 1;
    long offsetBase = 0;
    int perPage = 10;
    int maxPages = 1;
    bool needsKey = false;
    std::vector<std::string> headers;

    std::string pattern;
    std::string jsonArray;
    std::string jsonField;
    std::string unwrapParam;
    bool unwrapBase64 = false;
    std::string unwrapPrefix;

    std::vector<int> refusalStatuses;
    std::vector<std::string> refusalRedirects;
    std::vector<std::string> refusalMarkers;

    // The most results the engine can serve.
    long maxResults() const { return static_cast<long>(perPage) * maxPages; }
};

// Reads data/rank/<name>.tlx under baseDir. Throws TolvanError naming the file
// when it is missing or lacks what a search needs.
RankDefinition loadRankDefinition(const std::string& baseDir, const std::string& name);

// The names of the definitions in data/rank/, sorted.
std::vector<std::string> rankDefinitionNames(const std::string& baseDir);

// The names of the definitions in data/rank/ with NeedsKey=1, sorted.
std::vector<std::string> rankEnginesNeedingKey(const std::string& baseDir);

// The page's address: the placeholders filled in. `page` counts from 0.
// {Q} the form-encoded phrase, {PAGE}, {OFFSET}, {COUNT}, {APIKEY}, {HOST}.
std::string rankPageAddress(const RankDefinition& def, const std::string& host, const std::string& phrase, int page,
                            const std::string& apiKey);
// A header line with the placeholders filled in (an API key may go there).
std::string rankHeaderLine(const std::string& header, const std::string& apiKey);

}  // namespace tolvan
