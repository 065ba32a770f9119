#pragma once
// Import files dropped into <base>/batch: one site each, an INI file with the
// section "Tolvan Profile". Importing saves each as a site profile under its
// PROFILE name, the way "Save Current Site" does.
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "profiles/SiteProfile.h"

namespace tolvan {

inline constexpr const char* kImportSection = "Tolvan Profile";
inline constexpr const char* kImportSavedMessage = "Batch Diretcory profiles have been saved as Tolvan Profiles.";
inline constexpr const char* kFilesDeletedMessage = "Files Deleted";

struct ImportedSite {
    std::string profileName;  // PROFILE; empty: the site is not saved
    SiteProfile site;
};

// A file of batch/ that could not be handled, and why.
struct BatchFileProblem {
    std::string file;
    std::string reason;
    bool operator==(const BatchFileProblem&) const = default;
};

class BatchImport {
public:
    explicit BatchImport(std::string baseDir) : baseDir_(std::move(baseDir)) {}

    std::string batchDir() const;  // <base>/batch
    // File names are taken as the bytes they are: "\" and bytes that are not
    // UTF-8 are part of the name.
    std::string filePath(const std::string& fileName) const;

    // The names of the plain files in batch/, sorted without regard to letter
    // case; empty when the directory is missing.
    std::vector<std::string> files() const;

    // One import file, every absent key (or a missing section) giving its
    // default. `site` supplies what an import file does not hold (the
    // last-submission text).
    ImportedSite read(const std::string& fileName, const SiteProfile& site = {}) const;

    // Reads each file in order and saves those with a PROFILE name as profiles,
    // extending the name and address indexes. The last file's data comes back
    // (nullopt for no files): the working copy is left holding it.
    // A file that cannot be read (gone, unreadable, not a name of batch/) is
    // added to `problems` and the others go on; without `problems` it throws
    // FileError.
    std::optional<ImportedSite> importFiles(const std::vector<std::string>& fileNames,
                                            const SiteProfile& working = {},
                                            std::vector<BatchFileProblem>* problems = nullptr) const;

    // FORWARD + URL of each file, in order: the sites the auto-run adds.
    std::vector<std::string> addresses(const std::vector<std::string>& fileNames) const;

    // Deletes each named file of batch/ that exists. Returns the files that
    // could not be deleted, with the reason; the others are gone.
    std::vector<BatchFileProblem> deleteFiles(const std::vector<std::string>& fileNames) const;

private:
    std::string baseDir_;
};

}  // namespace tolvan
