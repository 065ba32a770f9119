#pragma once
// One site's submission data: the working copy behind the Site Data page.
#include <array>
#include <string>
#include <vector>

namespace tolvan {

struct SiteProfile {
    std::string protocol;  // url1: "http://" or "https://" (editable)
    std::string address;   // url2: the address without protocol
    std::string title;
    // The description memo's lines as displayed (word-wrapped); a profile read
    // from disk arrives as one line.
    std::vector<std::string> descriptionLines;
    std::string category;
    std::array<std::string, 18> keywords;
    std::string name;
    std::string company;
    std::string city;
    std::string country;
    std::string email;
    std::string street;  // "address" key
    std::string state;
    std::string zip;
    std::string phone;
    std::string fax;
    std::string lastRun = "Last Submission: Unknown";  // the label text
    // The site's IndexNow key and where the site serves it (empty: <origin>/<key>.txt).
    std::string indexNowKey;
    std::string indexNowKeyLocation;

    // The site's identity in every list and index: protocol + address.
    std::string fullAddress() const { return protocol + address; }
    // The memo lines, each followed by one blank (as stored, sent and reported).
    std::string descriptionText() const
    {
        std::string text;
        for (const auto& line : descriptionLines)
            text += line + ' ';
        return text;
    }
};

}  // namespace tolvan
