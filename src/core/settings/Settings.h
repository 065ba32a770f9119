#pragma once
// The user's preferences: one member per control of the Options page (plus the
// Page Builder's forward box and the first-run flag), loaded once at start-up
// and saved once at a normal shutdown.
#include <string>
#include <vector>

namespace tolvan {

// The maker's web address, used when data/hosts.tlx has no Maker/Web entry.
inline constexpr const char* kFallbackMakerWeb = "http://www.quendel.com/";

struct Settings {
    std::string oryxname = "Tolvan";                 // "Name on Reports:"
    std::string oryxurl = kFallbackMakerWeb;         // "URL on Reports:"
    bool proxycheck = false;                         // "Proxy Server"
    std::string proxyserver;
    std::string proxyport = "80";
    std::string timeout = "60";                      // timeoutcb's text, seconds
    bool emailcheck = false;                         // auto e-mail report
    bool htmlcheck = false;                          // auto HTML report
    bool textcheck = false;                          // auto text report
    bool forwardcheck = false;                       // Page Builder: auto-forward
    bool firstTime = true;                           // show the sign-up dialog
    std::string smtpserv;
    std::string fromaddr;
    std::string emailfrom = "Tolvan by Quendel";
    std::string emailsubj = "Tolvan Report";
    // Mail connection security ("None", "STARTTLS" or "TLS") and the user name
    // for AUTH; the password is in the desktop's secret store, never here.
    std::string smtpsecurity = "None";
    std::string smtpuser;
    // The pause between two requests to one rank engine: whole seconds, "N"
    // or "MIN-MAX" (a random pause in that range).
    std::string rankpause = "2-5";
    bool subwavchk = false;
    bool sitewavchk = false;
    bool completewavchk = false;
    bool failwavchk = false;
    std::string subwav;
    std::string sitewav;
    std::string completewav;
    std::string failwav;
};

// All defaults; `makerWeb` is the default of oryxurl (RemoteHosts::makerWeb(),
// or kFallbackMakerWeb when that is empty).
Settings defaultSettings(const std::string& makerWeb = kFallbackMakerWeb);

struct SettingsLoad {
    Settings settings;
    // Messages to show, in order, e.g. "Invalid data type for 'Proxy'"; start-up goes on.
    std::vector<std::string> messages;
};

// The proxy port text as a port number: decimal with blanks around it, or
// "0x"/"$" hexadecimal. Throws ConvertError for text that is no whole number
// and TolvanError for a number outside 0..65535.
int proxyPortNumber(const std::string& text);

// $XDG_CONFIG_HOME/Brindle/Tolvan.reg, or ~/.config/Brindle/Tolvan.reg.
std::string defaultSettingsPath();

// Reads the settings file once; a missing file gives all defaults. A file that
// cannot be read also gives the defaults and a message.
SettingsLoad loadSettings(const std::string& path, const std::string& makerWeb = kFallbackMakerWeb);

// Writes every setting (FirstTime always "0") into the file atomically, keeping
// every other key and value it holds; creates the directory when needed.
// Throws FileError on failure.
void saveSettings(const std::string& path, const Settings& settings);

}  // namespace tolvan
