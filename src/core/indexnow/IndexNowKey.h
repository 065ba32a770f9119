#pragma once
// A site's notification key: its form, a new random one, where the site serves
// it, and a check that the file is in place.
#include "profiles/SiteProfile.h"

#include <string>

namespace tolvan {

class EventPump;
class HttpClient;

// 8 to 128 characters of a-z, A-Z, 0-9 and "-".
bool isValidIndexNowKey(const std::string& key);
// 32 lower-case hexadecimal characters from the system's random source.
std::string generateIndexNowKey();

// The scheme and host (with port) of an address: "https://www.x.example:8443".
std::string siteOrigin(const std::string& address);
// The host of an address, with its port when it has one.
std::string siteHost(const std::string& address);
// The key location used for a site: the one stored, else <origin>/<key>.txt.
std::string effectiveKeyLocation(const std::string& siteAddress, const std::string& key,
                                 const std::string& storedLocation);
// The same for a site profile; its address is made only when the location comes from it.
std::string effectiveKeyLocation(const SiteProfile& site);

// The message a site without a key gets.
std::string noKeyMessage(const std::string& siteAddress);

enum class KeyFileState { InPlace, Missing, Different, Unreachable };

struct KeyFileCheck {
    KeyFileState state = KeyFileState::Unreachable;
    std::string message;  // one or two plain sentences for the user
};

// Fetches the key location and compares what it holds with the key (blanks
// and line ends around it do not count).
KeyFileCheck checkKeyFile(HttpClient& http, const std::string& location, const std::string& key);

}  // namespace tolvan
