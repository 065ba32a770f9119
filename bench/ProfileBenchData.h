#pragma once
// 10,000 saved profiles with their three indexes, as the profile benchmarks use them.
#include "profiles/ProfileStore.h"
#include "storage/BigIniFile.h"
#include "storage/LineList.h"
#include "util/Files.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <utility>
#include <vector>

namespace tolvan::bench {

constexpr int kProfiles = 10000;

inline std::string profileName(int i) { return "Profile number " + std::to_string(i); }
inline std::string address(int i) { return "http://www.site" + std::to_string(i) + ".example.com/index.html"; }

inline tolvan::SiteProfile sampleSite(int i)
{
    tolvan::SiteProfile p;
    p.protocol = "http://";
    p.address = address(i).substr(7);
    p.title = "The site number " + std::to_string(i) + " with a title of fair length";
    p.descriptionLines = {std::string(180, 'd') + " " + std::to_string(i)};
    p.category = "Business => Marketing => Advertising";
    for (std::size_t k = 0; k < p.keywords.size(); ++k)
        p.keywords[k] = "keyword phrase " + std::to_string(k);
    p.name = "Ann Owner";
    p.company = "Owner Trading Company";
    p.city = "Ostby";
    p.country = "Nordland";
    p.email = "ann@site" + std::to_string(i) + ".example.com";
    p.street = "1 Main Street";
    p.state = "OS";
    p.zip = "12345";
    p.phone = "555-555-5555";
    p.fax = "555-555-5556";
    return p;
}

// A base directory holding kProfiles saved profiles, written the way saving
// them one by one would leave the files (built in one go for speed).
inline std::string makeProfilesBase()
{
    std::string dir = (std::filesystem::temp_directory_path() / "tolvan-profiles-bench-XXXXXX").string();
    if (!::mkdtemp(dir.data()))
        std::abort();
    tolvan::ensureDirectory(dir + "/sites");
    tolvan::BigIniFile profiles(dir + "/sites/tlxprofiles.tlx");
    tolvan::BigIniFile reverse(dir + "/sites/tlxurlsrev.tlx");
    std::vector<std::string> names, addresses;
    for (int i = 0; i < kProfiles; ++i) {
        const tolvan::SiteProfile p = sampleSite(i);
        const std::string n = profileName(i);
        // The same keys in the same order as a save writes them.
        profiles.WriteString(n, "FORWARD", p.protocol);
        profiles.WriteString(n, "URL", p.address);
        profiles.WriteString(n, "TITLE", p.title);
        profiles.WriteString(n, "desc", p.descriptionText());
        profiles.WriteString(n, "CATEGORY", p.category);
        for (std::size_t k = 0; k < p.keywords.size(); ++k)
            profiles.WriteString(n, "KEY" + std::to_string(k + 1), p.keywords[k]);
        for (const auto& [key, value] : {std::pair{"NAME", p.name}, {"COMPANY", p.company}, {"CITY", p.city},
                                         {"COUNTRY", p.country}, {"email", p.email}, {"address", p.street},
                                         {"state", p.state}, {"zip", p.zip}, {"phone", p.phone}, {"fax", p.fax}})
            profiles.WriteString(n, key, value);
        profiles.WriteString(n, "LASTRUN", "Last Submission: 01/01/2026");
        reverse.WriteString(p.fullAddress(), "profile", n);
        names.push_back(n);
        addresses.push_back(p.fullAddress());
    }
    profiles.UpdateFile();
    reverse.UpdateFile();
    tolvan::writeLineList(dir + "/sites/tlxplist.tlx", names);
    tolvan::writeLineList(dir + "/sites/tlxurls.tlx", addresses);
    std::fprintf(stderr, "profiles file: %lld bytes, %d profiles\n",
                 static_cast<long long>(std::filesystem::file_size(dir + "/sites/tlxprofiles.tlx")), kProfiles);
    return dir;
}

}  // namespace tolvan::bench
