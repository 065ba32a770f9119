#pragma once
// A plain-text mail message: sender, recipients, subject, body and its
// encoding into the lines that go to the SMTP server.
#include <ctime>
#include <ostream>
#include <string>
#include <vector>

#include "util/Errors.h"

namespace tolvan {

// A message that cannot be sent as it is (no sender, no recipient, an address
// that would break the header or the SMTP dialogue). code() is the error number.
class MailMessageError : public TolvanError {
public:
    MailMessageError(int code, const std::string& text) : TolvanError(text), code_(code) {}
    int code() const { return code_; }

private:
    int code_;
};

class MailAddress {
public:
    static constexpr std::size_t kMaxLength = 255;

    MailAddress() = default;
    MailAddress(std::string address, std::string name);

    const std::string& name() const { return name_; }
    const std::string& address() const { return address_; }
    // Longer values are cut to 255 characters (never inside a UTF-8 sequence).
    void setName(std::string name);
    void setAddress(std::string address);
    void clear();

    // "Name <address>", "<address>", the display name quoted where needed.
    std::string headerText() const;

private:
    std::string name_;
    std::string address_;
};

class AddressList {
public:
    std::size_t count() const { return items_.size(); }
    bool empty() const { return items_.empty(); }
    const MailAddress& item(std::size_t index) const { return items_.at(index); }
    MailAddress& item(std::size_t index) { return items_.at(index); }
    void add(MailAddress address) { items_.push_back(std::move(address)); }
    void add(std::string address, std::string name) { items_.emplace_back(std::move(address), std::move(name)); }
    void clear() { items_.clear(); }
    void assign(const AddressList& other) { items_ = other.items_; }

    auto begin() const { return items_.begin(); }
    auto end() const { return items_.end(); }

private:
    std::vector<MailAddress> items_;
};

// Reads "Name <address>", "address (Name)" or a bare address. Throws
// TolvanError("Unable to parse email address") for "<" without a ">" after it.
MailAddress parseMailAddress(const std::string& text);

class MailMessage {
public:
    enum class Encoding { Mime, UU };
    enum class CharSet { USASCII, ISO8859 };
    enum class Priority { Low, Normal, High };

    static constexpr std::size_t kMaxSubject = 255;
    // A body line this long or longer goes quoted-printable.
    static constexpr std::size_t kLongLine = 256;

    MailAddress sender;
    AddressList recipients;
    AddressList cc;
    AddressList bcc;  // envelope only, never a header
    std::vector<std::string> headers;  // extra complete header lines
    Encoding encoding = Encoding::Mime;
    CharSet charSet = CharSet::USASCII;
    bool returnReceipt = false;
    Priority priority = Priority::Normal;

    // Stamped into the Date and Message-ID headers; 0 and empty mean "now" and
    // "made up at encoding time".
    std::time_t date = 0;
    std::string messageId;

    const std::string& subject() const { return subject_; }
    void setSubject(std::string subject);  // cut to 255 characters
    const std::vector<std::string>& body() const { return body_; }
    void setBody(std::vector<std::string> lines) { body_ = std::move(lines); }
    const std::string& contentType() const { return contentType_; }
    void setContentType(const std::string& type);  // kept in lower case

    // Empties body, sender, headers, subject and the three address lists and
    // resets encoding, character set and content type.
    void clear();

    // 57100 without a sender address, 57101 without any recipient address.
    void validate() const;
    // Refuses addresses holding CR, LF, "<" or ">", which would let typed text
    // end the header line or the SMTP command early.
    void checkAddresses() const;

    // Writes the message as it goes after DATA: header lines, an empty line and
    // the body, every line ending in CR LF, lines beginning with "." doubled.
    void encode(std::ostream& out) const;

private:
    std::string subject_;
    std::vector<std::string> body_;
    std::string contentType_ = "text/plain";
};

// An RFC 5322 date ("Tue, 08 Dec 2026 16:45:00 +0100") of t in local time.
std::string rfc5322Date(std::time_t t);

}  // namespace tolvan
