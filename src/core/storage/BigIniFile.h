#pragma once
// The keyed .tlx files: sections of verbatim lines, keys found without regard to
// case, every string cut to 255 characters, rewritten only when changed.
//
// A file that is already laid out exactly as a rewrite would write it (CR LF
// line ends, one blank line after each section, nothing a load would drop or
// change) is not split into lines at load: each section keeps its byte range
// in the loaded text, is read into lines only when it is read or written, and
// a rewrite copies the untouched sections' bytes as they are. The bytes written
// are the same either way; a big profiles file just costs a scan, not a parse.
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
        // Until the section is read into `lines`: its bytes in the loaded text,
        // header to blank line (rawEnd is 0 once read, or for a section not loaded so).
        std::size_t rawBegin = 0;
        std::size_t rawEnd = 0;
    };
    // Every section with its lines (all of them read in).
    const std::vector<Section>& sections() const;

    // The text UpdateFile writes: every section with lines, CR LF line ends.
    std::string serialize() const;

private:
    BigIniFile() = default;
    int findSection(const std::string& name) const;
    // The section's lines, read from the loaded text on first use.
    std::vector<std::string>& linesOf(std::size_t index) const;
    bool indexLaidOutText();
    void parseText();

    std::string fileName_;
    std::string text_;  // the loaded text while sections still point into it
    // Mutable: reading a section in is not a change of the object.
    mutable std::vector<Section> sections_;
    bool modified_ = false;
    bool partial_ = false;
    mutable std::size_t lastFound_ = 0;
};

}  // namespace tolvan
