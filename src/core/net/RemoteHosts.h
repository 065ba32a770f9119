#pragma once
// Every remote host the program talks to comes from data/hosts.tlx, so tests and
// users can point them anywhere. Sections: Engines (built-in engine name -> host,
// plus "Anzwers Path"), Rank and Search (engine -> host), Maker (Web, Product,
// Update, SignUp). A value is a host with an optional ":port" (Web and Product
// are full addresses).
#include <memory>
#include <string>

namespace tolvan {

class RemoteHosts {
public:
    // When the file is looked at again: before every look-up (the window and
    // most callers), or never after its first read (a submission site, whose
    // engines ask for a host each: it takes a fresh object per site).
    enum class Rereading { WhenChanged, Never };

    // Reads <baseDir>/data/hosts.tlx; a missing file gives empty values.
    explicit RemoteHosts(const std::string& baseDir, Rereading rereading = Rereading::WhenChanged);

    std::string value(const std::string& section, const std::string& key) const;
    std::string engineHost(const std::string& engine) const { return value("Engines", engine); }
    std::string rankHost(const std::string& engine) const { return value("Rank", engine); }
    std::string searchHost(const std::string& engine) const { return value("Search", engine); }
    std::string makerWeb() const { return value("Maker", "Web"); }
    std::string makerProduct() const { return value("Maker", "Product"); }
    std::string updateHost() const { return value("Maker", "Update"); }
    std::string signUpHost() const { return value("Maker", "SignUp"); }

private:
    struct Loaded;
    std::string file_;
    Rereading rereading_;
    // The file as last read, kept while its identity (inode, size, time) stays:
    // a run asks for a host per engine, and the update may replace the file
    // between two runs. Copies of this object share it.
    std::shared_ptr<Loaded> loaded_;
};

}  // namespace tolvan
