#pragma once
// TLS on a connected non-blocking TCP socket, for every network client of the
// program. The connection never blocks: each step says whether it needs the
// socket readable or writable, and the caller waits for that through its event
// pump, so the window stays live and a time-out or an interrupt ends a stalled
// handshake the same way it ends a stalled plain request.
//
// The peer is always verified against the system's trust store (SSL_CERT_FILE
// and SSL_CERT_DIR are honoured), with TLS 1.2 or later and the host name (or
// IP address) checked against the certificate. There is no way to turn this off.
//
// The same object serves a connection that is TLS from its first byte (HTTPS,
// SMTPS) and one that switches to TLS after a plain-text exchange (STARTTLS):
// it takes over the socket at whatever point the caller hands it in. The
// socket stays the caller's: it is never closed here, and the only change made
// to it is TCP_NODELAY (TLS sends several small writes in a row).
#include <sys/poll.h>

#include <cstddef>
#include <functional>
#include <string>

namespace tolvan {

// Kinds of TLS failure; each client maps them onto its own error numbers.
enum class TlsFailure {
    None,
    Untrusted,     // the certificate chain does not verify; reason() is the verifier's text
    NameMismatch,  // the certificate is not for the host that was asked for
    Handshake,     // the handshake failed otherwise; reason() is the library's text
    Protocol,      // a TLS error after the handshake (bad record, alert, ...)
    Socket,        // the socket itself failed; socketError() is the errno
};

class TlsConnection {
public:
    // What a step needs next. WantRead/WantWrite: wait for the socket to be
    // readable/writable and call the step again.
    enum class Status { Done, WantRead, WantWrite, Closed, Failed };

    // Waits until the socket is ready for `events` (POLLIN/POLLOUT); returns
    // false when the caller's operation was interrupted or timed out.
    using Wait = std::function<bool(short events)>;

    // `fd` is a connected socket in non-blocking mode; `host` is the name or
    // IP literal the user asked for (sent as SNI for names, and checked
    // against the certificate either way).
    TlsConnection(int fd, const std::string& host);
    ~TlsConnection();
    TlsConnection(const TlsConnection&) = delete;
    TlsConnection& operator=(const TlsConnection&) = delete;

    // One step of the handshake.
    Status handshakeStep();
    // The whole handshake, waiting through `wait`. Returns Done, Failed, or
    // WantRead/WantWrite when `wait` returned false (interrupted).
    Status handshake(const Wait& wait);

    // Reads up to `size` decrypted bytes into `buffer`. Done with `got` > 0;
    // Closed at the end of the stream (cleanClose() tells whether the peer
    // said so with close_notify or just closed the socket).
    Status read(char* buffer, std::size_t size, std::size_t& got);
    // Writes up to `size` bytes; Done with `written` > 0.
    Status write(const char* data, std::size_t size, std::size_t& written);
    // Writes everything, waiting through `wait`: Done, Failed, or
    // WantRead/WantWrite when interrupted.
    Status writeAll(const char* data, std::size_t size, const Wait& wait);

    // Sends close_notify if it can without waiting; the socket stays open.
    void shutdown();

    // Decrypted bytes already held inside the connection: a caller must read
    // them before waiting for the socket, which may never wake up for them.
    bool hasBufferedData() const;

    bool established() const { return established_; }
    bool cleanClose() const { return cleanClose_; }
    TlsFailure failure() const { return failure_; }
    const std::string& reason() const { return reason_; }
    int socketError() const { return socketError_; }
    // The negotiated protocol ("TLSv1.3"), once established.
    std::string protocol() const;

private:
    Status fail(TlsFailure kind, std::string reason, int socketError = 0);
    Status classify(int ret, const char* step);

    struct State;
    State* state_;
    bool established_ = false;
    bool cleanClose_ = false;
    TlsFailure failure_ = TlsFailure::None;
    std::string reason_;
    int socketError_ = 0;
};

}  // namespace tolvan
