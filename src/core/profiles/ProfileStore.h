#pragma once
// Saved site profiles under <base>/sites: the profiles themselves
// (tlxprofiles.tlx, one section per name), the working copy kept between runs
// (last.tlx), and the three indexes: names (tlxplist.tlx), full addresses
// (tlxurls.tlx) and address -> profile name (tlxurlsrev.tlx).
#include "profiles/SiteProfile.h"

#include <string>
#include <vector>

namespace tolvan {

// Messages of the Site Data page's buttons.
inline constexpr const char* kNoAddressToSaveMessage = "You must at least have a web site entered to save.";
inline constexpr const char* kNoProfileToLoadMessage = "You cannot load a site profile until you save one.";
// What a saved profile without an e-mail line yields.
inline constexpr const char* kPlaceholderEmail = "none@example.com";
inline constexpr const char* kUnknownLastRun = "Last Submission: Unknown";

// "Clear All Fields": everything empty, category "SELECT A CATEGORY"; the
// last-submission text stays.
void clearFields(SiteProfile& site);

class ProfileStore {
public:
    explicit ProfileStore(std::string baseDir);

    std::string sitesDir() const;
    std::string profilesPath() const;  // sites/tlxprofiles.tlx
    std::string namesPath() const;     // sites/tlxplist.tlx
    std::string addressesPath() const; // sites/tlxurls.tlx
    std::string reversePath() const;   // sites/tlxurlsrev.tlx
    std::string lastPath() const;      // sites/last.tlx

    bool profilesFileExists() const;
    bool reverseIndexExists() const;

    // The index lists as stored; a missing file gives an empty list.
    std::vector<std::string> readNames() const;
    std::vector<std::string> readAddresses() const;

    // Saves `site` as profile `name`; `names` and `addresses` are the current
    // index lists, extended (exact comparison) and written back. Creates sites/.
    // When the profile had another address before, the reverse entry of that
    // address is dropped if it still names this profile. The whole cycle runs
    // under the sites/ lock, and entries another process added to the index
    // files since the caller read them are kept.
    void saveProfile(const std::string& name, const SiteProfile& site, std::vector<std::string>& names,
                     std::vector<std::string>& addresses) const;
    // The named profile with the saved-profile defaults; an unknown name gives
    // all defaults. The description arrives as one line.
    SiteProfile loadProfile(const std::string& name) const;
    // Removes the profile, its reverse-map entry and the last exact entries of
    // both lists, then writes the lists.
    void deleteProfile(const std::string& name, std::vector<std::string>& names,
                       std::vector<std::string>& addresses) const;

    // The working copy at shutdown / start-up (section "LastSaved", empty defaults).
    void writeLastFields(const SiteProfile& site) const;
    SiteProfile readLastFields() const;

    // The profile last saved with this full address; empty when none.
    std::string profileForAddress(const std::string& fullAddress) const;
    // True when `profile` (as loaded) was saved for the site `fullAddress`: a run
    // never sends one profile's data for another site.
    static bool isProfileOf(const SiteProfile& profile, const std::string& fullAddress);

    // Stores the run's "Last Submission: <date>" text under the profile (key
    // LASTRUN). A profile that no longer exists is not recreated by this.
    void stampLastRun(const std::string& name, const std::string& labelText) const;
    // Stores the site's IndexNow key and key location under the profile, leaving
    // its other lines as they are. A profile that no longer exists is not recreated.
    void storeIndexNowKey(const std::string& name, const std::string& key, const std::string& location) const;

    // The same for a run over many sites: the stamp is appended to a small
    // pending file at once (so a run killed later keeps it) and reaches the
    // profiles file with the next rewrite of that file: applyPendingStamps()
    // at the run's end, or any save, delete or stamp. Loading a profile sees
    // its pending stamp.
    void queueLastRun(const std::string& name, const std::string& labelText) const;
    // Writes every pending stamp into the profiles file with one rewrite.
    void applyPendingStamps() const;
    std::string pendingStampsPath() const;  // sites/tolvan-stamps.pending
private:
    std::string path(const char* relative) const;

    std::string baseDir_;
};

}  // namespace tolvan
