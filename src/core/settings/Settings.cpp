#include "settings/Settings.h"

#include "settings/RegFile.h"
#include "util/Errors.h"
#include "util/Files.h"

#include <cctype>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <optional>

namespace tolvan {

namespace {

constexpr const char* kInitKey = "HKEY_CURRENT_USER\\Software\\Brindle\\Tolvan\\init";

// A whole number as the settings have always been read: optional blanks and
// sign, decimal digits, or "0x"/"0X" and hex digits when longer than two characters.
std::optional<long> parseWholeNumber(const std::string& text)
{
    std::size_t i = 0;
    while (i < text.size() && text[i] == ' ')
        ++i;
    const std::string s = text.substr(i);
    if (s.empty())
        return std::nullopt;
    int base = 10;
    std::string digits = s;
    if (s.size() > 2 && s[0] == '0' && (s[1] == 'x' || s[1] == 'X')) {
        base = 16;
        digits = s.substr(2);
    }
    const std::size_t start = (base == 10 && (digits[0] == '+' || digits[0] == '-')) ? 1 : 0;
    if (start >= digits.size())
        return std::nullopt;
    for (std::size_t k = start; k < digits.size(); ++k) {
        const unsigned char c = static_cast<unsigned char>(digits[k]);
        if (base == 10 ? !std::isdigit(c) : !std::isxdigit(c))
            return std::nullopt;
    }
    errno = 0;
    const long long value = std::strtoll(digits.c_str(), nullptr, base);
    if (errno == ERANGE || value > (base == 16 ? 0xFFFFFFFFLL : INT_MAX) || value < INT_MIN)
        return std::nullopt;
    // A hex text up to 0xFFFFFFFF is a 32-bit pattern, as the number type holds it.
    return base == 16 ? static_cast<long>(static_cast<int>(static_cast<unsigned>(value))) : static_cast<long>(value);
}

class Reader {
public:
    Reader(const RegFile& file, std::vector<std::string>& messages) : file_(file), messages_(messages) {}

    // The text of a value; nullopt when it is missing or of another type.
    std::optional<std::string> raw(const std::string& name)
    {
        const auto v = file_.value(kInitKey, name);
        if (!v.found)
            return std::nullopt;
        if (!v.isText) {
            messages_.push_back("Invalid data type for '" + name + "'");
            return std::nullopt;
        }
        return v.text;
    }

    void text(const std::string& name, std::string& target)
    {
        if (auto v = raw(name))
            target = *v;
    }

    // 1 ticks, 0 clears, any other number leaves the box unticked.
    void tick(const std::string& name, bool& target)
    {
        const auto v = raw(name);
        const long n = v ? parseWholeNumber(*v).value_or(0) : 0;
        target = n == 1;
    }

    void flag(const std::string& name, bool& target)
    {
        const auto v = raw(name);
        const long n = v ? parseWholeNumber(*v).value_or(1) : 1;
        target = n != 0;
    }

private:
    const RegFile& file_;
    std::vector<std::string>& messages_;
};

std::string parentDirectory(const std::string& path)
{
    const auto slash = path.find_last_of('/');
    return slash == std::string::npos || slash == 0 ? std::string() : path.substr(0, slash);
}

}  // namespace

Settings defaultSettings(const std::string& makerWeb)
{
    Settings s;
    s.oryxurl = makerWeb.empty() ? kFallbackMakerWeb : makerWeb;
    return s;
}

std::string defaultSettingsPath()
{
    std::string base;
    if (const char* xdg = std::getenv("XDG_CONFIG_HOME"); xdg && xdg[0] == '/')
        base = xdg;
    else if (const char* home = std::getenv("HOME"); home && *home)
        base = std::string(home) + "/.config";
    else
        base = ".config";
    return base + "/Brindle/Tolvan.reg";
}

SettingsLoad loadSettings(const std::string& path, const std::string& makerWeb)
{
    SettingsLoad result;
    result.settings = defaultSettings(makerWeb);
    if (!fileExists(path))
        return result;
    RegFile file;
    try {
        file = RegFile::parse(readFile(path));
    } catch (const FileError& e) {
        result.messages.push_back(e.what());
        return result;
    }
    Settings& s = result.settings;
    Reader r(file, result.messages);
    r.text("oryxname", s.oryxname);
    r.text("oryxurl", s.oryxurl);
    r.tick("Proxy", s.proxycheck);
    r.text("ProxyServer", s.proxyserver);
    r.text("ProxyPort", s.proxyport);
    r.text("HTTPTimeOut", s.timeout);
    r.tick("AutoMail", s.emailcheck);
    r.tick("AutoHTML", s.htmlcheck);
    r.tick("AutoText", s.textcheck);
    r.tick("PBForward", s.forwardcheck);
    r.flag("FirstTime", s.firstTime);
    r.text("SMTPServer", s.smtpserv);
    r.text("EMAILaddr", s.fromaddr);
    r.text("EMAILFrom", s.emailfrom);
    r.text("EMAILSubject", s.emailsubj);
    r.text("SMTPSecurity", s.smtpsecurity);
    r.text("SMTPUser", s.smtpuser);
    r.text("RankPause", s.rankpause);
    r.tick("WAVSubmission", s.subwavchk);
    r.tick("WAVSiteRun", s.sitewavchk);
    r.tick("WAVComplete", s.completewavchk);
    r.tick("WAVFailure", s.failwavchk);
    r.text("SubmissionWAV", s.subwav);
    r.text("SiteRunWAV", s.sitewav);
    r.text("CompleteWAV", s.completewav);
    r.text("FailureWAV", s.failwav);
    return result;
}

void saveSettings(const std::string& path, const Settings& s)
{
    // Keep whatever else the file holds; an unreadable old file is replaced.
    RegFile file;
    if (fileExists(path)) {
        try {
            file = RegFile::parse(readFile(path));
        } catch (const FileError&) {
        }
    }
    auto text = [&](const char* name, const std::string& value) { file.setText(kInitKey, name, value); };
    auto tick = [&](const char* name, bool value) { file.setText(kInitKey, name, value ? "1" : "0"); };
    text("OryxName", s.oryxname);
    text("OryxURL", s.oryxurl);
    tick("Proxy", s.proxycheck);
    text("ProxyServer", s.proxyserver);
    text("ProxyPort", s.proxyport);
    text("HTTPTimeOut", s.timeout);
    text("FirstTime", "0");
    tick("AutoMail", s.emailcheck);
    tick("AutoHTML", s.htmlcheck);
    tick("AutoText", s.textcheck);
    tick("PBForward", s.forwardcheck);
    text("SMTPServer", s.smtpserv);
    text("EMAILaddr", s.fromaddr);
    text("EMAILFrom", s.emailfrom);
    text("EMAILSubject", s.emailsubj);
    tick("WAVSubmission", s.subwavchk);
    tick("WAVSiteRun", s.sitewavchk);
    tick("WAVComplete", s.completewavchk);
    tick("WAVFailure", s.failwavchk);
    text("SubmissionWAV", s.subwav);
    text("SiteRunWAV", s.sitewav);
    text("CompleteWAV", s.completewav);
    text("FailureWAV", s.failwav);
    // Later additions are written once they leave their default (or were
    // written before), so the file of a user who never set them stays as it was.
    auto added = [&](const char* name, const std::string& value, const std::string& byDefault) {
        if (value != byDefault || file.value(kInitKey, name).found)
            text(name, value);
    };
    added("SMTPSecurity", s.smtpsecurity, "None");
    added("SMTPUser", s.smtpuser, "");
    added("RankPause", s.rankpause, "2-5");

    if (const std::string dir = parentDirectory(path); !dir.empty())
        ensureDirectory(dir);
    writeFileAtomic(path, file.serialize());
}

int proxyPortNumber(const std::string& text)
{
    const auto first = text.find_first_not_of(" \t");
    const auto last = text.find_last_not_of(" \t");
    const std::string trimmed = first == std::string::npos ? std::string() : text.substr(first, last - first + 1);
    int base = 10;
    std::string digits = trimmed;
    if (trimmed.size() > 2 && trimmed[0] == '0' && (trimmed[1] == 'x' || trimmed[1] == 'X')) {
        base = 16;
        digits = trimmed.substr(2);
    } else if (trimmed.size() > 1 && trimmed[0] == '$') {
        base = 16;
        digits = trimmed.substr(1);
    }
    const bool sign = !digits.empty() && (digits[0] == '-' || digits[0] == '+');
    if (digits.empty() || (sign && digits.size() == 1))
        throw ConvertError(text);
    for (std::size_t i = sign ? 1 : 0; i < digits.size(); ++i)
        if (!std::isxdigit(static_cast<unsigned char>(digits[i])) || (base == 10 && !std::isdigit(static_cast<unsigned char>(digits[i]))))
            throw ConvertError(text);
    errno = 0;
    const long value = std::strtol(digits.c_str(), nullptr, base);
    if (errno == ERANGE || value > INT_MAX || value < INT_MIN)
        throw ConvertError(text);
    if (value < 0 || value > 65535)
        throw TolvanError("'" + text + "' is not a valid port number");
    return static_cast<int>(value);
}

}  // namespace tolvan
