#pragma once
// Network errors and the socket error numbers with their descriptions. The
// numbers are the classic Winsock ones (10061 refused, 10060 timed out, 11001
// host not found, ...): callers and stored logs compare messages built from
// them, so errno values are mapped onto these numbers.
#include <string>

#include "util/Errors.h"

namespace tolvan {

// A failure of a network client; what() is the code in decimal, ": " and the text.
class NetError : public TolvanError {
public:
    NetError(int code, const std::string& text)
        : TolvanError(std::to_string(code) + ": " + text), code_(code), text_(text) {}
    int code() const { return code_; }
    const std::string& text() const { return text_; }

private:
    int code_;
    std::string text_;
};

// The failure of an HttpClient action, for example "151: 302 Found".
class HttpError : public NetError {
public:
    using NetError::NetError;
};

// The description of a socket error number: "Connection refused" for 10061,
// "Ok" for 0, "(no description available)" for a number not in the table.
std::string winsockDescription(int code);

// The socket error number for an errno value (ECONNREFUSED -> 10061, ...);
// an errno without a counterpart is passed on unchanged.
int winsockCodeFromErrno(int err);

// The socket error number for a failed getaddrinfo() (EAI_NONAME -> 11001, ...).
int winsockCodeFromLookup(int gaiError, int err);

}  // namespace tolvan
