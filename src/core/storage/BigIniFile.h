#pragma once
// The keyed .tlx files: sections of verbatim lines, keys found without regard to
// case, every string cut to 255 characters, rewritten only when changed.
#include <cstddef>
#include <string>
#include <vector>

namespace tolvan {

class BigIniFile {
public:
    // Loads the file; a missing file gives an empty object.
    explicit BigIniFile(std::string fileName);

    // Loads only the one section (as the whole file would show it) for reads:
    // a look-up in a big file without keeping every line of it. Such an object
    // is never written back (UpdateFile throws std::logic_error when changed).
    static BigIniFile loadSection(std::string fileName, const std::string& section);

    std::string ReadString(const std::string& section, const std::string& key,
                           const std::string& defaultValue) const;
    void WriteString(const std::string& section, const std::string& key, const std::string& value);
    void EraseSection(const std::string& section);
    bool SectionExists(const std::string& section) const;
    // Whether two names find the same section (letter case aside, as stored).
    static bool sameSectionName(const std::string& a, const std::string& b);

    // Rewrites the file (atomically) when modified; throws FileError on failure.
    // Callers call it when their operation ends; the destructor never writes.
    void UpdateFile();

    bool modified() const { return modified_; }
    const std::string& fileName() const { return fileName_; }

    struct Section {
        std::string name;
        std::vector<std::string> lines;
    };
    const std::vector<Section>& sections() const { return sections_; }

    // The text UpdateFile writes: every section with lines, CR LF line ends.
    std::string serialize() const;

private:
    BigIniFile() = default;
    int findSection(const std::string& name) const;

    std::string fileName_;
    std::vector<Section> sections_;
    bool modified_ = false;
    bool partial_ = false;
    mutable std::size_t lastFound_ = 0;
};

}  // namespace tolvan
