#if defined(__GNUC__) && !defined(__clang__) && __GNUC__ == 12
// GCC 12 at -O3 reports overlapping copies inside std::string assignments that
// cannot overlap (a known false alarm); it must be silenced before the headers.
#pragma GCC diagnostic ignored "-Wrestrict"
#endif
#include "net/HttpClient.h"

#include "net/TlsConnection.h"
#include "util/TextCodec.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cerrno>
#include <cstring>
#include <utility>

namespace tolvan {

namespace {

constexpr std::size_t kMaxStatusLine = 1023;
// Longer header lines are cut here: a server sending an endless line must not
// exhaust memory.
constexpr std::size_t kMaxHeaderLine = 64 * 1024;
constexpr std::size_t kPieceSize = 64 * 1024;
// Pieces read in a row before the window gets its events again.
constexpr int kPiecesPerWake = 16;
constexpr int kSliceMs = 10;
// How much of a reply a "Malformed status line" error shows.
constexpr std::size_t kShownBytes = 40;
// A proxy's answer to CONNECT longer than this is not an answer.
constexpr std::size_t kMaxTunnelReply = 16 * 1024;

// Bytes that cannot stand in a request line (blanks, line ends, controls,
// non-ASCII) are percent-encoded: a typed address with a blank or a line
// break must neither break the request line nor inject header lines.
void appendRequestTarget(std::string& out, std::string_view raw)
{
    static const char* hex = "0123456789ABCDEF";
    const auto unsafe = [](unsigned char c) { return c <= 0x20 || c >= 0x7F; };
    if (std::none_of(raw.begin(), raw.end(), [&](char c) { return unsafe(static_cast<unsigned char>(c)); })) {
        out += raw;
        return;
    }
    for (const char ch : raw) {
        const auto c = static_cast<unsigned char>(ch);
        if (unsafe(c)) {
            out += '%';
            out += hex[c >> 4];
            out += hex[c & 15];
        } else {
            out += ch;
        }
    }
}

std::string requestTarget(std::string_view raw)
{
    std::string out;
    out.reserve(raw.size());
    appendRequestTarget(out, raw);
    return out;
}

// A header value never carries a line break into the request.
std::string headerValue(std::string_view v)
{
    std::string out(v);
    std::replace_if(out.begin(), out.end(), [](char c) { return c == '\r' || c == '\n'; }, ' ');
    return out;
}

// A header value holds no line end: from `start` on, CR and LF become blanks.
void blankLineEnds(std::string& head, std::size_t start)
{
    std::replace_if(head.begin() + static_cast<std::ptrdiff_t>(start), head.end(),
                    [](char c) { return c == '\r' || c == '\n'; }, ' ');
}

// Appends "<name><value>\r\n" with the value made safe as headerValue makes it.
void appendHeader(std::string& head, std::string_view name, std::string_view value)
{
    head += name;
    const std::size_t start = head.size();
    head += value;
    blankLineEnds(head, start);
    head += "\r\n";
}

// Appends a number in decimal, without a string of its own.
void appendDecimal(std::string& out, std::int64_t value)
{
    char digits[24];
    out.append(digits, static_cast<std::size_t>(std::to_chars(digits, digits + sizeof digits, value).ptr - digits));
}

// Server text made safe to show in one line: control bytes and bytes outside
// ASCII become visible escapes, so a reply cannot forge lines or columns.
std::string visible(std::string_view text)
{
    static const char* hex = "0123456789ABCDEF";
    std::string out;
    for (const char ch : text) {
        const auto c = static_cast<unsigned char>(ch);
        if (c == '\r')
            out += "\\r";
        else if (c == '\n')
            out += "\\n";
        else if (c == '\t')
            out += "\\t";
        else if (c < 0x20 || c >= 0x7F) {
            out += "\\x";
            out += hex[c >> 4];
            out += hex[c & 15];
        } else {
            out += ch;
        }
    }
    return out;
}

bool isDigit(char c) { return c >= '0' && c <= '9'; }

// "HTTP/<digit>.<digit> <3 digits>", then the end or a blank and a reason.
bool isStatusLine(std::string_view line)
{
    return line.size() >= 12 && line.substr(0, 5) == "HTTP/" && isDigit(line[5]) && line[6] == '.' && isDigit(line[7])
           && line[8] == ' ' && isDigit(line[9]) && isDigit(line[10]) && isDigit(line[11])
           && (line.size() == 12 || line[12] == ' ');
}

// A status code whose reply carries no body whatever its headers say.
bool statusWithoutBody(std::string_view line)
{
    return isStatusLine(line) && (line[9] == '1' || line.substr(9, 3) == "204" || line.substr(9, 3) == "304");
}

// The host as a request names it: an IPv6 literal in brackets.
void appendHostForRequest(std::string& out, const std::string& host)
{
    const bool literal6 = host.find(':') != std::string::npos;
    if (literal6)
        out += '[';
    out += host;
    if (literal6)
        out += ']';
}

std::string hostForRequest(const std::string& host)
{
    std::string out;
    appendHostForRequest(out, host);
    return out;
}

// Name look-ups that an interrupt abandoned while glibc still works on them:
// their control blocks must live until the look-up ends.
struct Lookup {
    std::string name;
    addrinfo hints{};
    gaicb cb{};
};
std::vector<std::unique_ptr<Lookup>>& abandonedLookups()
{
    static std::vector<std::unique_ptr<Lookup>> list;
    return list;
}
void reapLookups()
{
    auto& list = abandonedLookups();
    std::erase_if(list, [](const std::unique_ptr<Lookup>& l) {
        if (gai_error(&l->cb) == EAI_INPROGRESS)
            return false;
        if (l->cb.ar_result)
            freeaddrinfo(l->cb.ar_result);
        return true;
    });
}

}  // namespace

std::string basicAuthorization(const std::string& user, const std::string& password)
{
    return "Basic " + base64Encode(user + ":" + password);
}

// The state of one request from connect to close.
struct HttpClient::Exchange {
    std::uint64_t serial = 0;
    int fd = -1;
    bool connected = false;
    bool closed = false;
    sockaddr_storage address{};
    socklen_t addressLength = 0;
    std::string localFile;
    int file = -1;
    std::string line;
    bool lineCut = false;
    bool statusSeen = false;
    bool rawMode = false;
    std::int64_t total = 0;
    bool head = false;                 // a HEAD request: no body follows
    std::int64_t contentLength = -1;  // from the reply's headers; -1 when not given
    std::string firstBytes;           // the reply's beginning, for error messages
    std::unique_ptr<TlsConnection> tls;
    short waitEvents = POLLIN;  // what the next wait of the receive loop is for

    ~Exchange()
    {
        tls.reset();
        if (fd >= 0)
            ::close(fd);
        if (file >= 0)
            ::close(file);
    }
};

HttpClient::HttpClient(EventPump& pump) : pump_(pump) {}

HttpClient::~HttpClient() { closeFinishedSocket(); }

void HttpClient::setCloseWhileNextWaits(bool on)
{
    closeWhileNextWaits_ = on;
    if (!on)
        closeFinishedSocket();
}

void HttpClient::closeFinishedSocket()
{
    if (finishedSocket_ >= 0)
        ::close(finishedSocket_);
    finishedSocket_ = -1;
}

void HttpClient::setURL(const std::string& url)
{
    // Assigned in place: a run sets an address per request.
    url_ = url;
    scheme_ = "http";
    port_ = 80;
    path_ = "/";
    std::string_view newHost;
    const std::size_t sep = url.find_first_of(":/");
    if (sep == std::string::npos) {
        newHost = url;
    } else {
        if (url[sep] == ':')
            scheme_.assign(url, 0, sep);
        if (asciiEqualsIgnoreCase(scheme_, "https"))
            port_ = 443;
        if (url.compare(sep + 1, 2, "//") == 0) {
            std::size_t i = sep + 3;
            if (i < url.size() && url[i] == '[') {  // an IPv6 literal
                const std::size_t close = url.find(']', i);
                const std::size_t end = close == std::string::npos ? url.size() : close;
                newHost = std::string_view(url).substr(i + 1, end - i - 1);
                i = close == std::string::npos ? url.size() : close + 1;
            } else {
                const std::size_t end = std::min(url.find_first_of(":/", i), url.size());
                newHost = std::string_view(url).substr(i, end - i);
                i = end;
            }
            if (i < url.size() && url[i] == ':') {
                ++i;
                const std::size_t digits = i;
                long value = 0;
                while (i < url.size() && std::isdigit(static_cast<unsigned char>(url[i]))) {
                    if (value <= 65535)
                        value = value * 10 + (url[i] - '0');
                    ++i;
                }
                if (i > digits)
                    port_ = value > 65535 ? 0 : static_cast<int>(value);
            }
            path_.assign(url, i);
        }
    }
    if (path_.empty())
        path_ = "/";
    if (!host_.empty() && newHost != host_) {
        user_.clear();
        password_.clear();
        authorization_.clear();
    }
    host_.assign(newHost);
}

void HttpClient::setUser(const std::string& user)
{
    user_ = user;
    authorization_ = !user_.empty() && !password_.empty() ? basicAuthorization(user_, password_) : std::string();
}

void HttpClient::setPassword(const std::string& password)
{
    password_ = password;
    authorization_ = !user_.empty() && !password_.empty() ? basicAuthorization(user_, password_) : std::string();
}

void HttpClient::setWinsockLoaded(bool loaded)
{
    winsockLoaded_ = loaded;
    winsockInfo_ = loaded ? "POSIX sockets" : "";
    winsockStatus_ = loaded ? "Running" : "Down";
}

std::string HttpClient::LocalHost()
{
    char name[256] = {};
    if (::gethostname(name, sizeof name - 1) != 0)
        return "localhost";
    return name;
}

void HttpClient::resetHeaders()
{
    url_.clear();
    scheme_ = "http";
    host_.clear();
    port_ = 80;
    path_ = "/";
    postData_.clear();
    contentType_.clear();
    user_.clear();
    password_.clear();
    authorization_.clear();
    accept_.clear();
    from_.clear();
    ifModifiedSince_.clear();
    referer_.clear();
    pragma_.clear();
    extraHeaders_.clear();
    statusLine_.clear();
    postFile_.clear();
    localFile_.clear();
}

void HttpClient::setAction(HttpAction action)
{
    switch (action) {
    case httpIdle:
        // Ends the action now waiting (it closes its own connection); with no
        // action in progress there is nothing to stop and nothing lingers.
        if (busy_)
            interruptSerial_ = actionSerial_;
        action_ = httpIdle;
        return;
    case httpResetHeaders:
        action_ = action;
        resetHeaders();
        return;
    case httpGet:
    case httpPost:
    case httpHead:
    case httpPut:
        if (auto error = request(action))
            throw *error;
        return;
    }
}

std::optional<HttpError> HttpClient::request(HttpAction action)
{
    if (action == httpIdle || action == httpResetHeaders) {
        setAction(action);
        return std::nullopt;
    }
    if (busy_)
        return HttpError(kErrorAlreadyConnected,
                         "Already connected. If you want to reconnect, close the current connection first.");
    action_ = action;
    if (!perform(action))
        return HttpError(errorCode_, errorText_);  // the action stays as it was when it failed
    action_ = httpIdle;
    return std::nullopt;
}

void HttpClient::setError(int code, const std::string& text)
{
    errorCode_ = code;
    errorText_ = text;
}

bool HttpClient::fail()
{
    if (errorText_.empty())
        errorText_ = "[" + std::to_string(errorCode_) + "] " + winsockDescription(errorCode_) + ".";
    return false;
}

bool HttpClient::interrupted(const Exchange& ex) const { return interruptSerial_ == ex.serial; }

void HttpClient::requestHead(HttpAction action, std::int64_t contentLength, std::string& head) const
{
    const char* method = action == httpHead ? "HEAD" : action == httpPost ? "POST" : action == httpPut ? "PUT" : "GET";
    const bool secure = asciiEqualsIgnoreCase(scheme_, "https");
    const int defaultPort = secure ? 443 : 80;
    // "host[:port]", IPv6 literals in brackets.
    const auto appendHostPort = [&](std::string& out) {
        appendHostForRequest(out, host_);
        if (port_ != defaultPort) {
            out += ':';
            appendDecimal(out, port_);
        }
    };
    head.clear();
    head += method;
    head += ' ';
    // Through a proxy a plain request names the whole address; a secure one
    // runs inside a tunnel straight to the server and names the path alone.
    if (!proxyServer_.empty() && !secure) {
        appendRequestTarget(head, scheme_);
        head += "://";
        std::string hostPort;
        appendHostPort(hostPort);
        appendRequestTarget(head, hostPort);
    }
    appendRequestTarget(head, path_);
    head += " HTTP/1.0\r\nHost: ";
    const std::size_t hostStart = head.size();
    appendHostPort(head);
    blankLineEnds(head, hostStart);
    head += "\r\n";
    const std::pair<const char*, const std::string*> optional[] = {
        {"Authorization: ", &authorization_}, {"Accept: ", &accept_},     {"From: ", &from_},
        {"User-Agent: ", &userAgent_},        {"If-Modified-Since: ", &ifModifiedSince_},
        {"Referer: ", &referer_},             {"Pragma: ", &pragma_},
    };
    for (const auto& [name, value] : optional)
        if (!value->empty())
            appendHeader(head, name, *value);
    for (const std::string& line : extraHeaders_)
        if (!line.empty())  // an empty line would end the head early
            appendHeader(head, "", line);
    if (action == httpPost || action == httpPut) {
        if (!contentType_.empty())
            appendHeader(head, "Content-Type: ", contentType_);
        head += "Content-Length: ";
        appendDecimal(head, contentLength);
        head += "\r\n";
    }
    head += "\r\n";
}

bool HttpClient::perform(HttpAction action)
{
    reapLookups();
    Exchange ex;
    ex.serial = ++actionSerial_;
    if (receiveBuffer_.size() != kPieceSize)
        receiveBuffer_.resize(kPieceSize);  // kept between requests
    busy_ = true;
    struct Done {
        HttpClient* c;
        ~Done() { c->busy_ = false; }
    } done{this};

    errorCode_ = 0;
    errorText_.clear();
    statusLine_.clear();
    if (!winsockLoaded_)
        setWinsockLoaded(true);

    if (host_.empty()) {
        setError(kErrorNoServer, "No server specified in URL.");
        return fail();
    }
    const bool viaProxy = !proxyServer_.empty();
    const bool secure = asciiEqualsIgnoreCase(scheme_, "https");
    if (!viaProxy && !secure && !asciiEqualsIgnoreCase(scheme_, "http")) {
        setError(kErrorScheme, "Specified URLScheme is invalid.");
        return fail();
    }
    const std::string peer = viaProxy ? proxyServer_ : host_;
    const int peerPort = viaProxy ? proxyPort_ : port_;
    if (peerPort <= 0) {
        setError(kErrorPortZero, "RemotePort can't be zero. Please specify a valid service port number.");
        return fail();
    }
    if (peer == "0.0.0.0") {
        setError(kErrorHostInvalid, "The RemoteHost address is invalid (0.0.0.0).");
        return fail();
    }

    // The file to post is opened first, so a missing file sends nothing at all.
    const bool withBody = action == httpPost || action == httpPut;
    int postFd = -1;
    struct FileCloser {
        int& fd;
        ~FileCloser()
        {
            if (fd >= 0)
                ::close(fd);
        }
    } postCloser{postFd};
    std::int64_t contentLength = withBody ? static_cast<std::int64_t>(postData_.size()) : 0;
    if (withBody && !postFile_.empty()) {
        postFd = ::open(postFile_.c_str(), O_RDONLY | O_CLOEXEC);
        struct stat st {};
        if (postFd < 0 || ::fstat(postFd, &st) != 0 || !S_ISREG(st.st_mode)) {
            setError(kErrorFile, "Can't open file for reading/writing.");
            return fail();
        }
        contentLength += st.st_size;
    }
    ex.localFile = localFile_;
    ex.head = action == httpHead;

    if (!resolve(peer, ex)) {
        if (errorCode_ != 0)
            return fail();
        return true;  // interrupted while looking the name up
    }
    if (ex.address.ss_family == AF_INET)
        reinterpret_cast<sockaddr_in&>(ex.address).sin_port = htons(static_cast<std::uint16_t>(peerPort));
    else
        reinterpret_cast<sockaddr_in6&>(ex.address).sin6_port = htons(static_cast<std::uint16_t>(peerPort));

    if (!connectTo(ex)) {
        if (errorCode_ != 0)
            return fail();
        closeConnection(ex, true);
        return true;
    }
    if (secure && !((!viaProxy || openTunnel(ex)) && startTls(ex))) {
        if (errorCode_ != 0) {
            closeConnection(ex, false);
            return fail();
        }
        closeConnection(ex, true);
        return true;
    }

    std::string& head = requestBuffer_;  // kept between requests, as the receive buffer is
    requestHead(action, contentLength, head);
    if (withBody)
        head += postData_;
    const bool sent = sendAll(ex, head);
    if (head.capacity() > kPieceSize)
        std::string().swap(head);  // a big body is not kept for the life of the client
    if (sent && postFd >= 0)
        sendFile(ex, postFd);

    while (!ex.closed && errorCode_ == 0 && !interrupted(ex)) {
        // Bytes the TLS layer already decrypted wake no poll(): read them first.
        const bool buffered = ex.tls && ex.tls->hasBufferedData();
        if (!buffered && !waitFor(ex, ex.waitEvents))
            break;
        ex.waitEvents = POLLIN;
        receive(ex);
    }

    if (interrupted(ex)) {
        closeConnection(ex, true);
        if (!ex.statusSeen)
            return true;
        setError(kErrorInterrupted, "Interrupted.");
        return fail();
    }
    if (errorCode_ != 0) {
        if (!ex.closed)
            closeConnection(ex, false);
        return fail();
    }
    if (!ex.statusSeen) {
        setError(kErrorEmptyReply, "Empty reply from server.");
        return fail();
    }
    // Only a real status line can say the request succeeded: an empty line,
    // a page without a head or another protocol's banner is a failure.
    if (!isStatusLine(statusLine_)) {
        const bool cut = ex.firstBytes.size() > kShownBytes;
        setError(kErrorMalformedStatus, "Malformed status line: \"" + visible(std::string_view(ex.firstBytes).substr(0, kShownBytes))
                                            + (cut ? "...\"" : "\""));
        return fail();
    }
    // A status whose code does not begin with '2' is a failure, even though
    // the body has been delivered.
    const std::string rest = statusLine_.substr(9);
    if (rest[0] != '2') {
        setError(kErrorStatus, rest);
        return fail();
    }
    return true;
}

bool HttpClient::resolve(const std::string& name, Exchange& ex)
{
    in_addr a4{};
    in6_addr a6{};
    if (::inet_pton(AF_INET, name.c_str(), &a4) == 1) {
        auto& sa = reinterpret_cast<sockaddr_in&>(ex.address);
        sa.sin_family = AF_INET;
        sa.sin_addr = a4;
        ex.addressLength = sizeof(sockaddr_in);
        return true;
    }
    if (::inet_pton(AF_INET6, name.c_str(), &a6) == 1) {
        auto& sa = reinterpret_cast<sockaddr_in6&>(ex.address);
        sa.sin6_family = AF_INET6;
        sa.sin6_addr = a6;
        ex.addressLength = sizeof(sockaddr_in6);
        return true;
    }

    // Look the name up in the background and keep the window alive meanwhile.
    auto lookup = std::make_unique<Lookup>();
    lookup->name = name;
    lookup->hints.ai_family = AF_UNSPEC;
    lookup->hints.ai_socktype = SOCK_STREAM;
    lookup->cb.ar_name = lookup->name.c_str();
    lookup->cb.ar_request = &lookup->hints;
    gaicb* list[1] = {&lookup->cb};
    const int started = ::getaddrinfo_a(GAI_NOWAIT, list, 1, nullptr);
    if (started != 0) {
        setError(winsockCodeFromLookup(started, errno));
        return false;
    }
    for (int round = 0; gai_error(&lookup->cb) == EAI_INPROGRESS; ++round) {
        pump_.waitForSocket(-1, 0, round < 20 ? 1 : kSliceMs);
        if (interrupted(ex)) {
            const int cancelled = gai_cancel(&lookup->cb);
            if (cancelled == EAI_NOTCANCELED) {
                abandonedLookups().push_back(std::move(lookup));
            } else if (lookup->cb.ar_result) {
                freeaddrinfo(lookup->cb.ar_result);
            }
            return false;
        }
    }
    const int status = gai_error(&lookup->cb);
    addrinfo* result = lookup->cb.ar_result;
    if (status != 0 || !result) {
        if (result)
            freeaddrinfo(result);
        setError(status != 0 ? winsockCodeFromLookup(status, 0) : 11004);
        return false;
    }
    // IPv4 first, as the program always connected; IPv6 when that is all there is.
    const addrinfo* chosen = nullptr;
    for (const addrinfo* ai = result; ai; ai = ai->ai_next)
        if (ai->ai_family == AF_INET && !chosen)
            chosen = ai;
    for (const addrinfo* ai = result; ai && !chosen; ai = ai->ai_next)
        if (ai->ai_family == AF_INET6)
            chosen = ai;
    if (chosen) {
        std::memcpy(&ex.address, chosen->ai_addr, chosen->ai_addrlen);
        ex.addressLength = chosen->ai_addrlen;
    }
    freeaddrinfo(result);
    if (!chosen) {
        setError(11004);
        return false;
    }
    return true;
}

bool HttpClient::connectTo(Exchange& ex)
{
    ex.fd = ::socket(ex.address.ss_family, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (ex.fd < 0) {
        setError(winsockCodeFromErrno(errno));
        return false;
    }
    int err = 0;
    if (::connect(ex.fd, reinterpret_cast<const sockaddr*>(&ex.address), ex.addressLength) != 0) {
        if (errno != EINPROGRESS && errno != EINTR) {
            err = errno;
        } else {
            short revents = 0;
            if (!waitFor(ex, POLLOUT, &revents))
                return false;  // interrupted
            // Writable without an error or hang-up flag: connected, nothing to ask.
            socklen_t len = sizeof err;
            if ((revents & (POLLERR | POLLHUP | POLLNVAL)) != 0
                && ::getsockopt(ex.fd, SOL_SOCKET, SO_ERROR, &err, &len) != 0)
                err = errno;
        }
    }
    if (err != 0) {
        const int code = winsockCodeFromErrno(err);
        setError(code, "Interrupted.");
        ::close(ex.fd);
        ex.fd = -1;
        if (OnConnected)
            OnConnected(code, winsockDescription(code));
        return false;
    }
    ex.connected = true;
    if (OnConnected)
        OnConnected(0, "OK");
    return !interrupted(ex) && errorCode_ == 0;
}

bool HttpClient::openTunnel(Exchange& ex)
{
    const std::string target = hostForRequest(host_) + ":" + std::to_string(port_);
    std::string request = "CONNECT " + requestTarget(target) + " HTTP/1.0\r\nHost: " + headerValue(target) + "\r\n";
    if (!userAgent_.empty())
        request += "User-Agent: " + headerValue(userAgent_) + "\r\n";
    request += "\r\n";
    if (!sendAll(ex, request))
        return false;

    // The proxy's answer ends with an empty line; the server's first TLS bytes
    // cannot come before our own, so anything after that line is an error.
    std::string reply;
    const auto refused = [&](const std::string& why) {
        setError(kErrorTunnelRefused, "Proxy refused the tunnel: " + why);
        return false;
    };
    for (;;) {
        std::size_t end = reply.find("\r\n\r\n");
        std::size_t endLength = 4;
        if (end == std::string::npos) {
            end = reply.find("\n\n");
            endLength = 2;
        }
        if (end != std::string::npos) {
            const std::size_t eol = reply.find_first_of("\r\n");
            const std::string status = reply.substr(0, eol);
            if (!isStatusLine(status) || status[9] != '2')
                return refused(visible(status.substr(0, kMaxStatusLine)));
            if (end + endLength != reply.size())
                return refused("data after its answer");
            return true;
        }
        if (reply.size() > kMaxTunnelReply)
            return refused("an answer too long to be one");
        if (!waitFor(ex, POLLIN))
            return false;
        const ssize_t n = ::recv(ex.fd, receiveBuffer_.data(), receiveBuffer_.size(), 0);
        if (n > 0) {
            reply.append(receiveBuffer_.data(), static_cast<std::size_t>(n));
        } else if (n == 0) {
            const std::string status = reply.substr(0, reply.find_first_of("\r\n"));
            return refused(status.empty() ? "the proxy closed the connection" : visible(status.substr(0, kMaxStatusLine)));
        } else if (errno != EINTR && errno != EAGAIN && errno != EWOULDBLOCK) {
            setError(winsockCodeFromErrno(errno));
            return false;
        }
    }
}

bool HttpClient::startTls(Exchange& ex)
{
    ex.tls = std::make_unique<TlsConnection>(ex.fd, host_);
    const auto status = ex.tls->handshake([&](short events) { return waitFor(ex, events); });
    if (status == TlsConnection::Status::Done)
        return true;
    if (status == TlsConnection::Status::Failed)
        setTlsError(ex);
    return false;  // interrupted when nothing failed
}

void HttpClient::setTlsError(Exchange& ex)
{
    const TlsConnection& tls = *ex.tls;
    switch (tls.failure()) {
    case TlsFailure::Untrusted: setError(kErrorCertificateUntrusted, "Certificate not trusted: " + tls.reason()); break;
    case TlsFailure::NameMismatch:
        setError(kErrorHostNameMismatch, "Host name mismatch: the certificate is not valid for " + host_);
        break;
    case TlsFailure::Handshake: setError(kErrorHandshakeFailed, "TLS handshake failed: " + tls.reason()); break;
    case TlsFailure::Protocol: setError(kErrorTlsProtocol, "TLS protocol error: " + tls.reason()); break;
    case TlsFailure::Socket:
    case TlsFailure::None: setError(winsockCodeFromErrno(tls.socketError() ? tls.socketError() : ECONNRESET)); break;
    }
}

bool HttpClient::waitFor(Exchange& ex, short events, short* revents)
{
    if (events & POLLIN)
        closeFinishedSocket();  // while the server works on this request
    for (;;) {
        const short got = pump_.waitForSocket(ex.fd, events, kSliceMs);
        if (interrupted(ex) || errorCode_ != 0)
            return false;
        if (got != 0) {
            if (revents)
                *revents = got;
            return true;
        }
    }
}

bool HttpClient::sendAll(Exchange& ex, std::string_view data)
{
    if (ex.tls) {
        const auto status = ex.tls->writeAll(data.data(), data.size(), [&](short events) { return waitFor(ex, events); });
        if (status == TlsConnection::Status::Failed)
            setTlsError(ex);
        return status == TlsConnection::Status::Done;
    }
    while (!data.empty()) {
        const ssize_t n = ::send(ex.fd, data.data(), data.size(), MSG_NOSIGNAL);
        if (n > 0) {
            data.remove_prefix(static_cast<std::size_t>(n));
        } else if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
            if (!waitFor(ex, POLLOUT))
                return false;
        } else if (n < 0 && errno == EINTR) {
            continue;
        } else {
            setError(winsockCodeFromErrno(n < 0 ? errno : ECONNRESET));
            return false;
        }
    }
    return true;
}

bool HttpClient::sendFile(Exchange& ex, int fd)
{
    // In pieces, so a large file is never held whole.
    std::string piece(kPieceSize, '\0');
    bool ok = true;
    for (;;) {
        const ssize_t n = ::read(fd, piece.data(), piece.size());
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0) {
            setError(kErrorFile, "Can't open file for reading/writing.");
            ok = false;
            break;
        }
        if (n == 0 || !sendAll(ex, std::string_view(piece.data(), static_cast<std::size_t>(n)))) {
            ok = n == 0;
            break;
        }
    }
    return ok;
}

void HttpClient::receive(Exchange& ex)
{
    if (ex.tls) {
        receiveSecure(ex);
        return;
    }
    for (int pieces = 0; pieces < kPiecesPerWake; ++pieces) {
        const ssize_t n = ::recv(ex.fd, receiveBuffer_.data(), receiveBuffer_.size(), 0);
        if (n > 0) {
            consume(ex, std::string_view(receiveBuffer_.data(), static_cast<std::size_t>(n)));
            if (interrupted(ex) || errorCode_ != 0)
                return;
        } else if (n == 0) {
            finishResponse(ex);
            return;
        } else if (errno == EINTR) {
            continue;
        } else if (errno == EAGAIN || errno == EWOULDBLOCK) {
            return;
        } else {
            const int code = winsockCodeFromErrno(errno);
            if (OnError)
                OnError(code, "Winsock error in recv() ");
            if (!interrupted(ex)) {
                setError(code);
                closeConnection(ex, false);
            }
            return;
        }
    }
}

void HttpClient::receiveSecure(Exchange& ex)
{
    for (int pieces = 0; pieces < kPiecesPerWake; ++pieces) {
        std::size_t got = 0;
        switch (ex.tls->read(receiveBuffer_.data(), receiveBuffer_.size(), got)) {
        case TlsConnection::Status::Done:
            consume(ex, std::string_view(receiveBuffer_.data(), got));
            if (interrupted(ex) || errorCode_ != 0)
                return;
            break;
        case TlsConnection::Status::WantRead: ex.waitEvents = POLLIN; return;
        case TlsConnection::Status::WantWrite: ex.waitEvents = POLLOUT; return;
        case TlsConnection::Status::Closed:
            // With or without close_notify: servers often just close, and a
            // reply cut short of its Content-Length is caught at the end.
            finishResponse(ex);
            return;
        case TlsConnection::Status::Failed:
            setTlsError(ex);
            if (OnError && ex.tls->failure() == TlsFailure::Socket)
                OnError(errorCode_, "Winsock error in recv() ");
            if (!interrupted(ex))
                closeConnection(ex, false);
            return;
        }
    }
}

void HttpClient::consume(Exchange& ex, std::string_view bytes)
{
    if (ex.firstBytes.size() <= kShownBytes)
        ex.firstBytes.append(bytes.substr(0, kShownBytes + 1 - ex.firstBytes.size()));
    while (!bytes.empty()) {
        if (ex.rawMode) {
            handleBody(ex, bytes);
            return;
        }
        const std::size_t eol = bytes.find('\n');
        const std::string_view part = bytes.substr(0, eol);
        const std::size_t limit = ex.statusSeen ? kMaxHeaderLine : kMaxStatusLine + 1;  // +1: a CR may follow
        std::string_view line;
        if (eol != std::string_view::npos && ex.line.empty() && !ex.lineCut) {
            line = part.substr(0, limit);  // the whole line is in this piece: no copy
        } else {
            if (!ex.lineCut) {
                const std::size_t room = limit - ex.line.size();
                ex.line.append(part.substr(0, room));
                ex.lineCut = part.size() > room;
            }
            if (eol == std::string_view::npos)
                return;
            line = ex.line;
        }
        bytes.remove_prefix(eol + 1);
        if (!line.empty() && line.back() == '\r')
            line.remove_suffix(1);
        handleLine(ex, line);
        ex.line.clear();  // keeps its room for the next line that spans two pieces
        ex.lineCut = false;
        if (interrupted(ex) || errorCode_ != 0)
            return;
    }
}

void HttpClient::handleLine(Exchange& ex, std::string_view line)
{
    if (!ex.statusSeen) {
        ex.statusSeen = true;
        statusLine_.assign(line.substr(0, kMaxStatusLine));
        ex.total = 0;
        return;
    }
    if (line.empty()) {
        startBody(ex);
        return;
    }
    // Kept between lines and requests, so a header costs no allocation.
    std::string& field = headerField_;
    std::string& value = headerValue_;
    field.clear();
    value.clear();
    const auto first = static_cast<unsigned char>(line[0]);
    if (first <= 0x20 || first == 0x7F) {
        value.assign(line.substr(1));
    } else {
        const std::size_t colon = line.find(':');
        if (colon == std::string_view::npos) {
            field.assign(line);
        } else {
            field.assign(line.substr(0, colon));
            std::string_view v = line.substr(colon + 1);
            if (!v.empty() && v[0] == ' ')
                v.remove_prefix(1);
            value.assign(v);
        }
    }
    if (asciiEqualsIgnoreCase(field, "content-length")) {
        const auto begin = value.find_first_not_of(' ');
        const auto end = value.find_last_not_of(' ');
        const std::string digits = begin == std::string::npos ? "" : value.substr(begin, end - begin + 1);
        ex.contentLength = !digits.empty() && digits.size() <= 18 && std::all_of(digits.begin(), digits.end(), isDigit)
                               ? std::stoll(digits)
                               : -1;
    }
    if (OnHeader)
        OnHeader(field, value);
}

void HttpClient::startBody(Exchange& ex)
{
    ex.rawMode = true;
    if (!ex.localFile.empty()) {
        ex.file = ::open(ex.localFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
        if (ex.file < 0) {
            setError(kErrorFile, "Can't open file for reading/writing.");
            return;
        }
    }
    if (OnStartTransfer)
        OnStartTransfer();
}

void HttpClient::handleBody(Exchange& ex, std::string_view piece)
{
    ex.total += static_cast<std::int64_t>(piece.size());
    if (ex.file >= 0) {
        std::string_view left = piece;
        while (!left.empty()) {
            const ssize_t n = ::write(ex.file, left.data(), left.size());
            if (n < 0 && errno == EINTR)
                continue;
            if (n <= 0) {
                // The download would be incomplete: say so and end the action
                // with an error rather than report a truncated file as done.
                const int err = n < 0 ? errno : ENOSPC;
                ::close(ex.file);
                ex.file = -1;
                if (OnError)
                    OnError(err, "Error writing to LocalFile");
                setError(kErrorFile, "Error writing to LocalFile");
                return;
            }
            left.remove_prefix(static_cast<std::size_t>(n));
        }
    }
    if (OnTransfer)
        OnTransfer(ex.total, piece);
}

void HttpClient::finishResponse(Exchange& ex)
{
    // A last line without its line end still counts.
    if (!ex.rawMode && (!ex.line.empty() || ex.lineCut)) {
        std::string line = std::move(ex.line);
        ex.line.clear();
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        handleLine(ex, line);
    }
    // Over TLS the end of a reply is authenticated only by its length: one
    // that stops short was cut off, whatever the socket said.
    if (ex.tls && errorCode_ == 0 && ex.contentLength >= 0 && !ex.head && !statusWithoutBody(statusLine_)
        && ex.total < ex.contentLength) {
        setError(kErrorBodyCutShort, "Body cut short: " + std::to_string(ex.total) + " of "
                                         + std::to_string(ex.contentLength) + " bytes received.");
    }
    if (closeWhileNextWaits_ && !ex.tls && ex.fd >= 0) {
        closeFinishedSocket();
        finishedSocket_ = std::exchange(ex.fd, -1);
    }
    closeConnection(ex, false);
}

void HttpClient::closeConnection(Exchange& ex, bool interrupted)
{
    const bool wasOpen = ex.connected;
    ex.closed = true;
    ex.connected = false;
    ex.tls.reset();
    if (ex.fd >= 0) {
        ::close(ex.fd);
        ex.fd = -1;
    }
    if (ex.file >= 0) {
        if (::close(ex.file) != 0 && errorCode_ == 0)
            setError(kErrorFile, "Error writing to LocalFile");
        ex.file = -1;
    }
    if (!wasOpen)
        return;
    if ((ex.statusSeen || interrupted) && OnEndTransfer)
        OnEndTransfer();
    const int code = interrupted ? 0 : (errorCode_ == kErrorFile ? 0 : errorCode_);
    if (OnDisconnected)
        OnDisconnected(code, code == 0 ? std::string("OK") : winsockDescription(code));
}

void HttpClient::feedResponseForTesting(std::string_view bytes, bool eof)
{
    if (!testExchange_) {
        testExchange_ = std::make_unique<Exchange>();
        testExchange_->serial = ~std::uint64_t{0} - 1;  // never the target of an interrupt
        testExchange_->localFile = localFile_;
        testExchange_->connected = true;
        errorCode_ = 0;
        errorText_.clear();
        statusLine_.clear();
    }
    if (errorCode_ == 0)
        consume(*testExchange_, bytes);
    if (eof) {
        if (errorCode_ == 0)
            finishResponse(*testExchange_);
        testExchange_.reset();
    }
}

}  // namespace tolvan
