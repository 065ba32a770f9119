#include "net/MailMessage.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <random>

#include <unistd.h>

#include "net/QuotedPrintable.h"
#include "util/Clock.h"
#include "util/TextCodec.h"

namespace tolvan {

namespace {

// Header values never carry a line break: typed CR and LF become blanks.
std::string oneLine(std::string s)
{
    for (char& c : s)
        if (c == '\r' || c == '\n' || c == '\0')
            c = ' ';
    return s;
}

bool hasHighBytes(const std::string& s)
{
    return std::any_of(s.begin(), s.end(), [](char c) { return static_cast<unsigned char>(c) >= 128; });
}

std::string trim(const std::string& s)
{
    std::size_t b = 0;
    std::size_t e = s.size();
    while (b < e && static_cast<unsigned char>(s[b]) <= ' ')
        ++b;
    while (e > b && static_cast<unsigned char>(s[e - 1]) <= ' ')
        --e;
    return s.substr(b, e - b);
}

// RFC 2047 encoded words ("=?utf-8?Q?...?=") for header text with bytes of 128
// or more. Words stay within 75 characters and never split a UTF-8 sequence;
// several words are folded onto continuation lines.
std::string encodedWords(const std::string& text)
{
    static constexpr char hex[] = "0123456789ABCDEF";
    static const std::string open = "=?utf-8?Q?";
    static const std::string close = "?=";
    constexpr std::size_t maxWord = 75;

    std::vector<std::string> words;
    std::string word;
    std::size_t i = 0;
    while (i < text.size()) {
        // One whole character (a UTF-8 sequence) at a time.
        std::size_t len = 1;
        while (i + len < text.size() && (static_cast<unsigned char>(text[i + len]) & 0xC0) == 0x80)
            ++len;
        std::string encoded;
        for (std::size_t k = i; k < i + len; ++k) {
            const auto c = static_cast<unsigned char>(text[k]);
            if (c == ' ')
                encoded += '_';
            else if (std::isalnum(c) || c == '!' || c == '*' || c == '+' || c == '-' || c == '/')
                encoded += static_cast<char>(c);
            else {
                encoded += '=';
                encoded += hex[c >> 4];
                encoded += hex[c & 15];
            }
        }
        if (!word.empty() && open.size() + word.size() + encoded.size() + close.size() > maxWord) {
            words.push_back(open + word + close);
            word.clear();
        }
        word += encoded;
        i += len;
    }
    if (!word.empty() || words.empty())
        words.push_back(open + word + close);
    std::string out;
    for (std::size_t w = 0; w < words.size(); ++w) {
        if (w)
            out += "\r\n ";
        out += words[w];
    }
    return out;
}

bool needsQuoting(const std::string& name)
{
    // Characters with a meaning of their own in an address header; "." is
    // handled apart, and quotation marks only when they do not pair up.
    static const std::string specials = "()<>[]:;@\\,";
    if (name.find_first_of(specials) != std::string::npos)
        return true;
    return std::count(name.begin(), name.end(), '"') % 2 != 0;
}

std::string quoted(const std::string& name)
{
    std::string out = "\"";
    for (char c : name) {
        if (c == '"' || c == '\\')
            out += '\\';
        out += c;
    }
    return out + "\"";
}

std::string displayName(const std::string& rawName)
{
    const std::string name = oneLine(rawName);
    if (hasHighBytes(name))
        return encodedWords(name);
    if (needsQuoting(name))
        return quoted(name);
    if (name.find('.') != std::string::npos && name.find('"') == std::string::npos)
        return "\"" + name + "\"";
    return name;
}

// Header names left out of the extra header lines: the message writes its own.
bool isOwnHeader(const std::string& line)
{
    static const char* const own[] = {"from", "to", "cc", "bcc", "return-receipt-to", "x-priority",
                                      "subject", "mime-version", "content-type", "x-encoding",
                                      "content-transfer-encoding", "date", "message-id"};
    const std::size_t colon = line.find(':');
    if (colon == std::string::npos)
        return false;
    const std::string name = asciiLower(trim(line.substr(0, colon)));
    return std::any_of(std::begin(own), std::end(own), [&](const char* n) { return name == n; });
}

std::string domainFor(const MailAddress& sender)
{
    const std::string& a = sender.address();
    const std::size_t at = a.rfind('@');
    if (at != std::string::npos && at + 1 < a.size()) {
        const std::string d = a.substr(at + 1);
        if (std::all_of(d.begin(), d.end(), [](char c) {
                return std::isalnum(static_cast<unsigned char>(c)) || c == '.' || c == '-';
            }))
            return d;
    }
    char host[256] = {};
    if (::gethostname(host, sizeof host - 1) == 0 && host[0])
        return host;
    return "localhost";
}

std::string makeMessageId(std::time_t t, const MailAddress& sender)
{
    std::random_device rd;
    std::mt19937_64 gen((static_cast<std::uint64_t>(rd()) << 32) ^ rd());
    char buf[64];
    std::snprintf(buf, sizeof buf, "%lld.%016llx", static_cast<long long>(t),
                  static_cast<unsigned long long>(gen()));
    return std::string("<") + buf + "@" + domainFor(sender) + ">";
}

// Body lines as they go out: a line holding CR or LF is split there, so no
// bare line break reaches the server (where it could pass for the end of data).
std::vector<std::string> splitBreaks(const std::vector<std::string>& body)
{
    std::vector<std::string> out;
    for (const std::string& line : body) {
        std::size_t start = 0;
        std::size_t i = 0;
        while (i < line.size()) {
            const char c = line[i];
            if (c != '\r' && c != '\n') {
                ++i;
                continue;
            }
            out.push_back(line.substr(start, i - start));
            const char pair = c == '\r' ? '\n' : '\r';
            i += (i + 1 < line.size() && line[i + 1] == pair) ? 2 : 1;
            start = i;
        }
        out.push_back(line.substr(start));
    }
    return out;
}

void addressLines(std::vector<std::string>& lines, const char* label, const AddressList& list)
{
    if (list.empty())
        return;
    std::string head = label;
    head.resize(10, ' ');
    for (std::size_t i = 0; i < list.count(); ++i) {
        std::string line = i == 0 ? head : std::string(10, ' ');
        line += list.item(i).headerText();
        if (i + 1 < list.count())
            line += ',';
        lines.push_back(std::move(line));
    }
}

}  // namespace

MailAddress::MailAddress(std::string address, std::string name)
{
    setAddress(std::move(address));
    setName(std::move(name));
}

void MailAddress::setName(std::string name) { name_ = cutBytes(std::move(name), kMaxLength); }
void MailAddress::setAddress(std::string address) { address_ = cutBytes(std::move(address), kMaxLength); }

void MailAddress::clear()
{
    name_.clear();
    address_.clear();
}

std::string MailAddress::headerText() const
{
    return displayName(name_) + " <" + oneLine(address_) + ">";
}

MailAddress parseMailAddress(const std::string& text)
{
    auto clean = [](const std::string& s) {
        std::string t = trim(s);
        while (!t.empty() && t.front() == '"')
            t.erase(0, 1);
        while (!t.empty() && t.back() == '"')
            t.pop_back();
        return t;
    };
    const std::size_t lt = text.find('<');
    if (lt != std::string::npos) {
        const std::size_t gt = text.find('>', lt);
        if (gt == std::string::npos)
            throw TolvanError("Unable to parse email address");
        const std::string address = text.substr(lt + 1, gt - lt - 1);
        const std::string name = text.substr(0, lt) + text.substr(gt + 1);
        return MailAddress(clean(address), clean(name));
    }
    const std::size_t paren = text.find('(');
    if (paren != std::string::npos) {
        std::string name = text.substr(paren + 1);
        if (!name.empty())
            name.pop_back();
        return MailAddress(clean(text.substr(0, paren)), clean(name));
    }
    return MailAddress(clean(text), "");
}

void MailMessage::setSubject(std::string subject) { subject_ = cutBytes(std::move(subject), kMaxSubject); }

void MailMessage::setContentType(const std::string& type) { contentType_ = asciiLower(type); }

void MailMessage::clear()
{
    body_.clear();
    sender.clear();
    headers.clear();
    subject_.clear();
    encoding = Encoding::Mime;
    charSet = CharSet::USASCII;
    contentType_ = "text/plain";
    recipients.clear();
    cc.clear();
    bcc.clear();
}

void MailMessage::validate() const
{
    if (sender.address().empty())
        throw MailMessageError(57100, "The address of sender is required");
    auto any = [](const AddressList& list) {
        return std::any_of(list.begin(), list.end(), [](const MailAddress& a) { return !a.address().empty(); });
    };
    if (!any(recipients) && !any(cc) && !any(bcc))
        throw MailMessageError(57101, "At least one Recipient, CC or BCC must be entered");
}

void MailMessage::checkAddresses() const
{
    auto check = [](const MailAddress& a) {
        if (a.address().find_first_of(std::string("\r\n<>\0", 5)) != std::string::npos)
            throw MailMessageError(57103, "The e-mail address \"" + oneLine(a.address()) +
                                              "\" holds a line break or an angle bracket and cannot be used");
    };
    check(sender);
    for (const AddressList* list : {&recipients, &cc, &bcc})
        for (const MailAddress& a : *list)
            check(a);
}

void MailMessage::encode(std::ostream& out) const
{
    std::vector<std::string> lines;
    lines.push_back("From:     " + sender.headerText());
    addressLines(lines, "To:", recipients);
    addressLines(lines, "CC:", cc);
    const std::time_t when = date ? date : Clock::current().now();
    lines.push_back("Date: " + rfc5322Date(when));
    lines.push_back("Message-ID: " + (messageId.empty() ? makeMessageId(when, sender) : oneLine(messageId)));
    if (returnReceipt)
        lines.push_back("Return-Receipt-To: <" + oneLine(sender.address()) + ">");
    if (priority == Priority::Low)
        lines.push_back("X-Priority: 5");
    else if (priority == Priority::High)
        lines.push_back("X-Priority: 1");
    for (const std::string& h : headers)
        if (!isOwnHeader(h))
            lines.push_back(oneLine(h));
    if (!subject_.empty()) {
        const std::string s = oneLine(subject_);
        lines.push_back("Subject:  " + (hasHighBytes(s) ? encodedWords(s) : s));
    }
    if (encoding == Encoding::Mime)
        lines.push_back("Mime-Version: 1.0");

    const std::vector<std::string> body = splitBreaks(body_);
    const bool eightBit = std::any_of(body.begin(), body.end(), hasHighBytes);
    const bool longLine = std::any_of(body.begin(), body.end(),
                                      [](const std::string& l) { return l.size() >= kLongLine; });
    bool quotedPrintable = true;
    if (charSet == CharSet::ISO8859) {
        lines.push_back("Content-Type: " + contentType_ + "; charset=\"iso-8859-1\"");
    } else if (eightBit) {
        // Our text is UTF-8; declaring it us-ascii 7bit would garble it.
        lines.push_back("Content-Type: " + contentType_ + "; charset=\"utf-8\"");
    } else {
        lines.push_back("Content-Type: " + contentType_ + "; charset=\"us-ascii\"");
        quotedPrintable = longLine;
    }
    lines.push_back(quotedPrintable ? "Content-Transfer-Encoding: quoted-printable"
                                    : "Content-Transfer-Encoding: 7bit");
    lines.emplace_back();
    if (quotedPrintable) {
        for (std::string& l : QuotedPrintable::encodeLines(body))
            lines.push_back(std::move(l));
    } else {
        lines.insert(lines.end(), body.begin(), body.end());
    }

    // On the wire a line beginning with "." gets a second one, which the server
    // takes off again; the end-of-data line "." can thus never occur early.
    for (const std::string& l : lines) {
        if (!l.empty() && l.front() == '.')
            out << '.';
        out << l << "\r\n";
    }
}

std::string rfc5322Date(std::time_t t)
{
    static const char* const days[] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
    static const char* const months[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                         "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
    std::tm tm{};
    localtime_r(&t, &tm);
    long offset = tm.tm_gmtoff / 60;
    const char sign = offset < 0 ? '-' : '+';
    if (offset < 0)
        offset = -offset;
    char buf[64];
    std::snprintf(buf, sizeof buf, "%s, %02d %s %04d %02d:%02d:%02d %c%02ld%02ld", days[tm.tm_wday % 7], tm.tm_mday,
                  months[tm.tm_mon % 12], tm.tm_year + 1900, tm.tm_hour, tm.tm_min, tm.tm_sec, sign, offset / 60,
                  offset % 60);
    return buf;
}

}  // namespace tolvan
