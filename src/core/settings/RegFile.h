#pragma once
// A settings file in the Windows .reg export format: a header line, then keys
// in brackets, each followed by its values ("Name"="text", "Name"=dword:...,
// @=...). Text values are read and written; every other line is kept as it
// stands so a rewrite loses nothing. Key paths and value names match without
// regard to case.
#include <optional>
#include <string>
#include <vector>

namespace tolvan {

class RegFile {
public:
    static constexpr const char* kHeader = "Windows Registry Editor Version 5.00";

    RegFile() = default;
    // Parses .reg text (UTF-8, Windows-1252 or UTF-16 with a byte-order mark).
    static RegFile parse(const std::string& bytes);

    struct Lookup {
        bool found = false;
        bool isText = false;  // false: a value of another type (dword:, hex:, ...)
        std::string text;
    };
    Lookup value(const std::string& key, const std::string& name) const;
    // Sets a text value, replacing a value of any type with that name; creates the key.
    void setText(const std::string& key, const std::string& name, const std::string& text);
    bool hasKey(const std::string& key) const;
    void addKey(const std::string& key);

    // The file's text: header, keys and values, CR LF line ends.
    std::string serialize() const;

private:
    struct Entry {
        std::string name;      // value name, unescaped ("@" is the default value); empty for a raw line
        bool isValue = false;
        bool isText = false;
        std::string data;      // the unescaped text, or the raw text after "=" (continuations kept)
        std::string raw;       // a line that is not a value, kept verbatim
    };
    struct Key {
        std::string path;
        std::vector<Entry> entries;
    };
    Key* findKey(const std::string& key);
    const Key* findKey(const std::string& key) const;

    std::string header_ = kHeader;
    std::vector<std::string> preamble_;  // lines between the header and the first key
    std::vector<Key> keys_;
};

}  // namespace tolvan
