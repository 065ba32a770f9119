#pragma once
// The one HTTP component: HTTP/1.0, one TCP connection per request, the
// response read until the server closes. https:// addresses run the same
// exchange inside TLS (TlsConnection), through a CONNECT tunnel when a proxy
// is set. Assigning an action performs it and
// returns when the exchange is over; meanwhile the client waits through the
// event pump, so the window stays live and the caller's handlers (timers,
// buttons) run in the middle of an action. Such a handler stops the request by
// assigning httpIdle.
//
// Failures are thrown as HttpError ("151: 302 Found", "10061: Interrupted.",
// "11001: [11001] Host not found.").
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "net/EventPump.h"
#include "net/NetErrors.h"

namespace tolvan {

enum HttpAction { httpIdle, httpGet, httpPost, httpHead, httpResetHeaders, httpPut };

// The client's own error codes.
enum HttpErrorCode {
    kErrorNoFunctions = 0,
    kErrorPortBusy = 100,
    kErrorHostBusy = 101,
    kErrorHostInvalid = 102,
    kErrorAlreadyConnected = 104,
    kErrorPortZero = 116,
    kErrorStatus = 151,
    kErrorNoServer = 152,
    kErrorScheme = 153,
    kErrorEmptyReply = 154,
    kErrorMalformedStatus = 155,   // the reply does not begin with an HTTP status line
    kErrorBodyCutShort = 156,      // a secure reply ended before its Content-Length
    kErrorTunnelRefused = 157,     // the proxy did not open a CONNECT tunnel
    kErrorCertificateUntrusted = 160,
    kErrorHostNameMismatch = 161,
    kErrorHandshakeFailed = 162,
    kErrorTlsProtocol = 163,
    kErrorInterrupted = 301,
    kErrorFile = 302,
};

class HttpClient {
public:
    explicit HttpClient(EventPump& pump = EventPump::plain());
    ~HttpClient();
    HttpClient(const HttpClient&) = delete;
    HttpClient& operator=(const HttpClient&) = delete;

    // The address of the next request, split into scheme, host, port and path
    // (port 80 by default, 443 for https).
    void setURL(const std::string& url);
    const std::string& URL() const { return url_; }
    const std::string& scheme() const { return scheme_; }
    const std::string& host() const { return host_; }
    int port() const { return port_; }
    const std::string& path() const { return path_; }

    // A non-empty proxy server receives every request with the absolute address.
    void setProxyServer(const std::string& server) { proxyServer_ = server; }
    const std::string& ProxyServer() const { return proxyServer_; }
    void setProxyPort(std::uint16_t port) { proxyPort_ = port; }
    std::uint16_t ProxyPort() const { return proxyPort_; }

    // Basic authorization is sent when both are set.
    void setUser(const std::string& user);
    const std::string& User() const { return user_; }
    void setPassword(const std::string& password);
    const std::string& Password() const { return password_; }
    const std::string& authorization() const { return authorization_; }  // "Basic ..." or empty

    void setAccept(const std::string& v) { accept_ = v; }
    const std::string& Accept() const { return accept_; }
    void setUserAgent(const std::string& v) { userAgent_ = v; }
    const std::string& UserAgent() const { return userAgent_; }
    void setFrom(const std::string& v) { from_ = v; }
    void setIfModifiedSince(const std::string& v) { ifModifiedSince_ = v; }
    void setReferer(const std::string& v) { referer_ = v; }
    void setPragma(const std::string& v) { pragma_ = v; }
    // Further request header lines ("Name: value"), sent after the others.
    std::vector<std::string>& extraHeaders() { return extraHeaders_; }

    // When set, the response body is also written to this file.
    void setLocalFile(const std::string& file) { localFile_ = file; }
    const std::string& LocalFile() const { return localFile_; }
    // Request body of httpPost and httpPut, and a file sent after it.
    void setPostData(std::string data) { postData_ = std::move(data); }
    const std::string& PostData() const { return postData_; }
    void setPostFile(const std::string& file) { postFile_ = file; }
    const std::string& PostFile() const { return postFile_; }
    void setContentType(const std::string& v) { contentType_ = v; }
    const std::string& ContentType() const { return contentType_; }

    // The first line of the last response (at most 1023 characters).
    const std::string& StatusLine() const { return statusLine_; }

    // Performs the action; throws HttpError on failure. httpIdle interrupts the
    // action in progress (from a handler running inside its wait).
    void setAction(HttpAction action);
    // The same, handing a failure back instead of throwing it: a run over
    // thousands of engines pays no exception for each one that fails.
    std::optional<HttpError> request(HttpAction action);
    HttpAction Action() const { return action_; }
    bool busy() const { return busy_; }

    // For requests sent one after the other: the socket of a plain connection
    // whose answer came whole is closed while the next request waits for its
    // answer, so that its teardown overlaps the server's work. Off by default;
    // closeFinishedSocket(), turning it off, or the client's end close it.
    void setCloseWhileNextWaits(bool on);
    void closeFinishedSocket();

    // The socket layer: loaded implicitly by the first action as well.
    void setWinsockLoaded(bool loaded);
    bool WinsockLoaded() const { return winsockLoaded_; }
    const std::string& WinsockInfo() const { return winsockInfo_; }
    const std::string& WinsockStatus() const { return winsockStatus_; }
    static std::string LocalHost();

    // The last failure of an action (0 and empty after a success).
    int lastErrorCode() const { return errorCode_; }
    const std::string& lastErrorText() const { return errorText_; }

    // Events. Handlers run inside the action's wait and may assign httpIdle.
    std::function<void(int code, const std::string& description)> OnConnected;
    std::function<void(int code, const std::string& description)> OnDisconnected;
    std::function<void(const std::string& field, const std::string& value)> OnHeader;
    std::function<void()> OnStartTransfer;
    // total: body bytes so far including this piece; piece: the bytes as received.
    std::function<void(std::int64_t total, std::string_view piece)> OnTransfer;
    std::function<void()> OnEndTransfer;
    // Failures that do not end the action (writing LocalFile, a receive error).
    std::function<void(int code, const std::string& description)> OnError;

    // Feeds response bytes to the parser as if they had arrived on the
    // connection; eof ends the response. For tests and the fuzzer: events
    // fire as they would for a real response.
    void feedResponseForTesting(std::string_view bytes, bool eof);

private:
    struct Exchange;

    // False on a failure, with lastErrorCode() and lastErrorText() set.
    bool perform(HttpAction action);
    void resetHeaders();
    // Writes the request line and headers into `head`.
    void requestHead(HttpAction action, std::int64_t contentLength, std::string& head) const;
    bool resolve(const std::string& name, Exchange& ex);
    bool connectTo(Exchange& ex);
    bool openTunnel(Exchange& ex);
    bool startTls(Exchange& ex);
    void setTlsError(Exchange& ex);
    bool sendAll(Exchange& ex, std::string_view data);
    bool sendFile(Exchange& ex, int fd);
    void receive(Exchange& ex);
    void receiveSecure(Exchange& ex);
    void consume(Exchange& ex, std::string_view bytes);
    void handleLine(Exchange& ex, std::string_view line);
    void handleBody(Exchange& ex, std::string_view piece);
    void startBody(Exchange& ex);
    void finishResponse(Exchange& ex);
    void closeConnection(Exchange& ex, bool interrupted);
    // Pumps until the socket has one of `events`; false when interrupted or failed.
    // `revents`, when given, receives what poll() reported.
    bool waitFor(Exchange& ex, short events, short* revents = nullptr);
    bool interrupted(const Exchange& ex) const;
    void setError(int code, const std::string& text = {});
    bool fail();  // fills in the text of the error set, returns false

    EventPump& pump_;
    std::string url_, scheme_ = "http", host_, path_ = "/";
    int port_ = 80;
    std::string proxyServer_;
    std::uint16_t proxyPort_ = 80;
    std::string user_, password_, authorization_;
    std::string accept_, userAgent_ = "Pellory's qznHTTP Component V1.0";
    std::string from_, ifModifiedSince_, referer_, pragma_;
    std::vector<std::string> extraHeaders_;
    std::string localFile_, postData_, postFile_, contentType_;
    std::string statusLine_;
    HttpAction action_ = httpIdle;
    bool winsockLoaded_ = false;
    std::string winsockInfo_, winsockStatus_ = "Down";
    int errorCode_ = 0;
    std::string errorText_;

    bool busy_ = false;
    std::uint64_t actionSerial_ = 0;      // counts actions, so a stale interrupt is told apart
    std::uint64_t interruptSerial_ = 0;   // the action an httpIdle was aimed at
    std::unique_ptr<Exchange> testExchange_;
    std::string receiveBuffer_;
    std::string requestBuffer_;
    bool closeWhileNextWaits_ = false;
    int finishedSocket_ = -1;  // a finished connection's socket, not yet closed
    std::string headerField_, headerValue_;  // the header line being reported
};

// "Basic " and the Base64 form of user:password.
std::string basicAuthorization(const std::string& user, const std::string& password);

}  // namespace tolvan
