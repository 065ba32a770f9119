#pragma once
// Engines whose add-URL page takes the site's data in the address itself. Their
// request address is built here from the working profile instead of coming
// from the definition file's ACTION.
#include <optional>
#include <string>

#include "profiles/SiteProfile.h"

namespace tolvan {

class RemoteHosts;

struct PlaceholderValues {
    const SiteProfile& site;          // after the form-body defaults were applied
    const std::string& description;   // the description text as sent
    const std::string& categoryValue; // the engine's value for the site's category
    std::string key = {};             // the site's IndexNow key
    std::string keyLocation = {};     // where the site serves it
};

// The address for a built-in engine (names compared exactly, in table order),
// or nothing for every other engine. Placeholder values are form-encoded so a
// blank or "&" typed by the user cannot break the request line or split a field.
std::optional<std::string> builtInAction(const std::string& engineName, const PlaceholderValues& values,
                                         const RemoteHosts& hosts);

// A definition file's ACTION with its placeholders filled in: {URL}, {HOST},
// {KEY}, {KEYLOCATION} and the site fields ({TITLE}, {NAME}, {EMAIL}, {COMPANY},
// {CITY}, {STATE}, {COUNTRY}, {PHONE}, {FAX}, {DESC}, {CAT}, {K1}...{K9}), each
// value form-encoded. Anything else in braces stays as written, so an ACTION
// without placeholders is sent exactly as it stands.
std::string expandActionPlaceholders(const std::string& action, const PlaceholderValues& values);

}  // namespace tolvan
