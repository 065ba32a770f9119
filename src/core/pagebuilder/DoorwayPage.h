#pragma once
// The doorway page: one static HTML page that carries a site's title,
// keywords and description as meta data, hidden text and a comment, and links
// (or forwards by script) to the real home page.
#include <array>
#include <string>

namespace tolvan {

class RemoteHosts;

struct DoorwayPage {
    static constexpr std::size_t kKeywordCount = 16;

    std::string title;                                  // required
    std::array<std::string, kKeywordCount> keywords;    // each may be empty
    std::string description;
    std::string homePage = "http://";                   // must differ from "http://"
    std::string image;                                  // optional image file name
    bool forward = false;                               // forward the visitor by script
};

// Why a page cannot be generated yet.
enum class DoorwayProblem { none, noTitle, noHomePage };

// The first problem found: an empty title, then a home page left at exactly
// "http://" (an empty home page is accepted).
DoorwayProblem checkDoorwayPage(const DoorwayPage& page);

// The message shown for a problem ("" for none).
std::string doorwayProblemMessage(DoorwayProblem problem);

// The message shown once the page has been written to `fileName`.
std::string doorwayPageCreatedMessage(const std::string& fileName);

// The whole page as bytes, every line ending in CR LF. `productAddress` is the
// program's home page credited at the foot of the page. The user's texts are
// escaped for where they land (element text, attribute values, the comment,
// the forwarding script); the page's own markup is fixed.
std::string doorwayPageText(const DoorwayPage& page, const std::string& productAddress);

// The address credited at the foot of the page: the product page of the
// hosts file, else the maker's site, else the built-in maker address.
std::string doorwayProductAddress(const RemoteHosts& hosts);

// Writes the page to `fileName`, replacing an existing file only once the new
// one is complete. Throws FileError when it cannot be written.
void saveDoorwayPage(const DoorwayPage& page, const std::string& productAddress, const std::string& fileName);

}  // namespace tolvan
