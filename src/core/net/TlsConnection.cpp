#include "net/TlsConnection.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "net/OpenSsl.h"

namespace tolvan {

namespace {

const OpenSsl& tls()
{
    return openSsl();
}

std::string envOrEmpty(const char* name)
{
    const char* v = std::getenv(name);
    return v ? v : "";
}

// One client context for the process, made again when the trust store the
// environment names changes (tests point SSL_CERT_FILE at their own CA).
// Loading the trust store is the costly part, so it is not done per connection.
SSL_CTX* clientContext(std::string& error)
{
    static SSL_CTX* context = nullptr;
    static std::string certFile, certDir;
    const std::string file = envOrEmpty("SSL_CERT_FILE");
    const std::string dir = envOrEmpty("SSL_CERT_DIR");
    if (context && file == certFile && dir == certDir)
        return context;
    if (!tls().loadError.empty()) {
        error = tls().loadError;
        return nullptr;
    }
    if (context) {
        tls().SSL_CTX_free(context);
        context = nullptr;
    }
    SSL_CTX* ctx = tls().SSL_CTX_new(tls().TLS_client_method());
    if (!ctx) {
        error = "the TLS library could not be started";
        return nullptr;
    }
    tls().SSL_CTX_ctrl(ctx, SSL_CTRL_SET_MIN_PROTO_VERSION, TLS1_2_VERSION, nullptr);
    tls().SSL_CTX_set_verify(ctx, SSL_VERIFY_PEER, nullptr);
    // A missing trust store is not fatal here: every certificate then fails
    // to verify, which says more than a start-up error would.
    tls().SSL_CTX_set_default_verify_paths(ctx);
    tls().SSL_CTX_ctrl(ctx, SSL_CTRL_MODE, SSL_MODE_ENABLE_PARTIAL_WRITE | SSL_MODE_ACCEPT_MOVING_WRITE_BUFFER, nullptr);
    tls().ERR_clear_error();
    context = ctx;
    certFile = file;
    certDir = dir;
    return context;
}

bool isIpLiteral(const std::string& host)
{
    unsigned char buf[sizeof(in6_addr)];
    return ::inet_pton(AF_INET, host.c_str(), buf) == 1 || ::inet_pton(AF_INET6, host.c_str(), buf) == 1;
}

// The library's reason for the oldest error in its queue, without the
// "error:0A000086:SSL routines::" prefix.
std::string libraryReason(unsigned long err)
{
    if (err == 0)
        return {};
    const char* reason = tls().ERR_reason_error_string(err);
    if (reason)
        return reason;
    char buf[256];
    tls().ERR_error_string_n(err, buf, sizeof buf);
    return buf;
}

}  // namespace

// The socket under the TLS connection, reached through a BIO of our own so
// that writes use MSG_NOSIGNAL: a peer that closes must never raise SIGPIPE.
struct TlsConnection::State {
    SSL* ssl = nullptr;
    int fd = -1;
    int lastErrno = 0;
    bool eof = false;

    static int bioWrite(BIO* b, const char* data, int size)
    {
        auto* s = static_cast<State*>(tls().BIO_get_data(b));
        tls().BIO_clear_flags(b, BIO_FLAGS_RWS | BIO_FLAGS_SHOULD_RETRY);
        for (;;) {
            const ssize_t n = ::send(s->fd, data, static_cast<std::size_t>(size), MSG_NOSIGNAL);
            if (n >= 0)
                return static_cast<int>(n);
            if (errno == EINTR)
                continue;
            s->lastErrno = errno;
            if (errno == EAGAIN || errno == EWOULDBLOCK)
                tls().BIO_set_flags(b, BIO_FLAGS_WRITE | BIO_FLAGS_SHOULD_RETRY);
            return -1;
        }
    }

    static int bioRead(BIO* b, char* data, int size)
    {
        auto* s = static_cast<State*>(tls().BIO_get_data(b));
        tls().BIO_clear_flags(b, BIO_FLAGS_RWS | BIO_FLAGS_SHOULD_RETRY);
        for (;;) {
            const ssize_t n = ::recv(s->fd, data, static_cast<std::size_t>(size), 0);
            if (n > 0)
                return static_cast<int>(n);
            if (n == 0) {
                s->eof = true;
                return 0;
            }
            if (errno == EINTR)
                continue;
            s->lastErrno = errno;
            if (errno == EAGAIN || errno == EWOULDBLOCK)
                tls().BIO_set_flags(b, BIO_FLAGS_READ | BIO_FLAGS_SHOULD_RETRY);
            return -1;
        }
    }

    static long bioCtrl(BIO* b, int cmd, long, void*)
    {
        auto* s = static_cast<State*>(tls().BIO_get_data(b));
        switch (cmd) {
        case BIO_CTRL_FLUSH: return 1;
        case BIO_CTRL_EOF: return s && s->eof ? 1 : 0;
        default: return 0;
        }
    }

    static BIO_METHOD* method()
    {
        static BIO_METHOD* m = [] {
            BIO_METHOD* bm = tls().BIO_meth_new(tls().BIO_get_new_index() | BIO_TYPE_SOURCE_SINK, "tolvan socket");
            tls().BIO_meth_set_write(bm, bioWrite);
            tls().BIO_meth_set_read(bm, bioRead);
            tls().BIO_meth_set_ctrl(bm, bioCtrl);
            tls().BIO_meth_set_create(bm, [](BIO* b) {
                tls().BIO_set_init(b, 1);
                return 1;
            });
            return bm;
        }();
        return m;
    }
};

TlsConnection::TlsConnection(int fd, const std::string& host) : state_(new State)
{
    state_->fd = fd;
    // The handshake's last flight and the first request are separate small
    // writes: without this the request waits for the peer's delayed ACK.
    const int on = 1;
    ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
    std::string error;
    SSL_CTX* ctx = clientContext(error);
    if (!ctx) {
        fail(TlsFailure::Handshake, error);
        return;
    }
    SSL* ssl = tls().SSL_new(ctx);
    BIO* bio = ssl ? tls().BIO_new(State::method()) : nullptr;
    if (!ssl || !bio) {
        if (ssl)
            tls().SSL_free(ssl);
        fail(TlsFailure::Handshake, "the TLS library could not make a connection");
        tls().ERR_clear_error();
        return;
    }
    tls().BIO_set_data(bio, state_);
    tls().SSL_set_bio(ssl, bio, bio);
    state_->ssl = ssl;
    tls().SSL_set_hostflags(ssl, X509_CHECK_FLAG_NO_PARTIAL_WILDCARDS);
    bool named = false;
    if (isIpLiteral(host)) {
        // Addresses are matched against the certificate's IP entries and are
        // never sent as a server name.
        named = tls().X509_VERIFY_PARAM_set1_ip_asc(tls().SSL_get0_param(ssl), host.c_str()) == 1;
    } else if (!host.empty()) {
        named = tls().SSL_set1_host(ssl, host.c_str()) == 1 && tls().SSL_ctrl(ssl, SSL_CTRL_SET_TLSEXT_HOSTNAME, TLSEXT_NAMETYPE_host_name, const_cast<char*>(host.c_str())) == 1;
    }
    if (!named)
        fail(TlsFailure::Handshake, "the host name \"" + host + "\" cannot be checked");
    tls().ERR_clear_error();
}

TlsConnection::~TlsConnection()
{
    if (state_->ssl)
        tls().SSL_free(state_->ssl);  // frees the BIO as well
    delete state_;
}

TlsConnection::Status TlsConnection::fail(TlsFailure kind, std::string reason, int socketError)
{
    if (failure_ == TlsFailure::None) {
        failure_ = kind;
        reason_ = std::move(reason);
        socketError_ = socketError;
    }
    return Status::Failed;
}

TlsConnection::Status TlsConnection::classify(int ret, const char* step)
{
    const bool handshaking = !established_;
    const int err = tls().SSL_get_error(state_->ssl, ret);
    const unsigned long queued = tls().ERR_peek_error();
    switch (err) {
    case SSL_ERROR_WANT_READ: return Status::WantRead;
    case SSL_ERROR_WANT_WRITE: return Status::WantWrite;
    case SSL_ERROR_ZERO_RETURN:
        cleanClose_ = true;
        return Status::Closed;
    default: break;
    }
    tls().ERR_clear_error();
    if (handshaking) {
        const long verify = tls().SSL_get_verify_result(state_->ssl);
        if (verify == X509_V_ERR_HOSTNAME_MISMATCH || verify == X509_V_ERR_IP_ADDRESS_MISMATCH)
            return fail(TlsFailure::NameMismatch, tls().X509_verify_cert_error_string(verify));
        if (verify != X509_V_OK)
            return fail(TlsFailure::Untrusted, tls().X509_verify_cert_error_string(verify));
    }
    const bool eof = state_->eof
                     || (err == SSL_ERROR_SSL && ERR_GET_REASON(queued) == SSL_R_UNEXPECTED_EOF_WHILE_READING)
                     || (err == SSL_ERROR_SYSCALL && state_->lastErrno == 0);
    if (handshaking) {
        if (err == SSL_ERROR_SYSCALL && state_->lastErrno != 0 && !state_->eof)
            return fail(TlsFailure::Handshake, std::strerror(state_->lastErrno), state_->lastErrno);
        if (eof)
            return fail(TlsFailure::Handshake, "the server closed the connection");
        return fail(TlsFailure::Handshake, queued ? libraryReason(queued) : std::string(step) + " failed");
    }
    if (eof) {
        cleanClose_ = false;  // closed without close_notify
        return Status::Closed;
    }
    if (err == SSL_ERROR_SYSCALL && state_->lastErrno != 0)
        return fail(TlsFailure::Socket, std::strerror(state_->lastErrno), state_->lastErrno);
    return fail(TlsFailure::Protocol, queued ? libraryReason(queued) : std::string(step) + " failed");
}

TlsConnection::Status TlsConnection::handshakeStep()
{
    if (failure_ != TlsFailure::None)
        return Status::Failed;
    if (established_)
        return Status::Done;
    tls().ERR_clear_error();
    state_->lastErrno = 0;
    const int ret = tls().SSL_connect(state_->ssl);
    if (ret == 1) {
        established_ = true;
        return Status::Done;
    }
    return classify(ret, "handshake");
}

TlsConnection::Status TlsConnection::handshake(const Wait& wait)
{
    for (;;) {
        const Status s = handshakeStep();
        if (s != Status::WantRead && s != Status::WantWrite)
            return s;
        if (!wait(s == Status::WantRead ? POLLIN : POLLOUT))
            return s;
    }
}

TlsConnection::Status TlsConnection::read(char* buffer, std::size_t size, std::size_t& got)
{
    got = 0;
    if (failure_ != TlsFailure::None)
        return Status::Failed;
    if (!established_) {
        const Status s = handshakeStep();
        if (s != Status::Done)
            return s;
    }
    tls().ERR_clear_error();
    state_->lastErrno = 0;
    if (tls().SSL_read_ex(state_->ssl, buffer, size, &got) == 1)
        return Status::Done;
    got = 0;
    return classify(0, "read");
}

TlsConnection::Status TlsConnection::write(const char* data, std::size_t size, std::size_t& written)
{
    written = 0;
    if (failure_ != TlsFailure::None)
        return Status::Failed;
    if (!established_) {
        const Status s = handshakeStep();
        if (s != Status::Done)
            return s;
    }
    if (size == 0)
        return Status::Done;
    tls().ERR_clear_error();
    state_->lastErrno = 0;
    if (tls().SSL_write_ex(state_->ssl, data, size, &written) == 1)
        return Status::Done;
    written = 0;
    const Status s = classify(0, "write");
    // A peer gone while we still write is a broken connection, not an end.
    if (s == Status::Closed)
        return fail(TlsFailure::Socket, std::strerror(EPIPE), EPIPE);
    return s;
}

TlsConnection::Status TlsConnection::writeAll(const char* data, std::size_t size, const Wait& wait)
{
    while (size > 0) {
        std::size_t written = 0;
        const Status s = write(data, size, written);
        if (s == Status::Done) {
            data += written;
            size -= written;
            continue;
        }
        if (s != Status::WantRead && s != Status::WantWrite)
            return s;
        if (!wait(s == Status::WantRead ? POLLIN : POLLOUT))
            return s;
    }
    return Status::Done;
}

void TlsConnection::shutdown()
{
    if (!state_->ssl || !established_ || failure_ != TlsFailure::None)
        return;
    tls().ERR_clear_error();
    tls().SSL_shutdown(state_->ssl);
    tls().ERR_clear_error();
}

bool TlsConnection::hasBufferedData() const
{
    return state_->ssl && established_ && tls().SSL_pending(state_->ssl) > 0;
}

std::string TlsConnection::protocol() const
{
    return state_->ssl && established_ ? tls().SSL_get_version(state_->ssl) : "";
}

}  // namespace tolvan
