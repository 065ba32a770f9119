#pragma once
// Whether a result address belongs to the site being checked, and the parts of
// an address the rank tracker needs.
#include <string>
#include <string_view>

namespace tolvan {

struct AddressParts {
    std::string scheme;  // lower case; empty when the text had none
    std::string host;    // lower case, without a port
    std::string port;    // empty when none was written
    std::string path;    // from the first '/', "/" when none (query included)
};

// Splits "https://www.Acme.example:8080/shop?x" (the scheme may be missing).
AddressParts splitAddress(std::string_view address);

// The site matches a result when the hosts are equal without regard to case,
// with or without a leading "www." on either, and the result's path starts
// with the site's path. An empty site matches nothing.
class SiteMatcher {
public:
    explicit SiteMatcher(std::string_view site);
    bool matches(std::string_view address) const;
    const std::string& host() const { return host_; }

private:
    std::string host_;  // without "www."
    std::string path_;
};

}  // namespace tolvan
