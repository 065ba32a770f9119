#include "net/TlsConnection.h"

#include <arpa/inet.h>
#include <dlfcn.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <sys/resource.h>
#include <unistd.h>

#include <chrono>

#include "TlsPeers.h"

using namespace tolvan;
using namespace tolvan::test;

namespace {

// A connected non-blocking socket to 127.0.0.1:port, closed on destruction.
struct Socket {
    int fd = -1;
    explicit Socket(int port)
    {
        fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_port = htons(static_cast<uint16_t>(port));
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        if (::connect(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0)
            throw std::runtime_error("connect failed");
        ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) | O_NONBLOCK);
    }
    ~Socket() { ::close(fd); }
};

// Waits on the socket in poll() slices until `limitMs` have passed.
TlsConnection::Wait pollWait(int fd, int limitMs = 20000)
{
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(limitMs);
    return [fd, deadline](short events) {
        while (std::chrono::steady_clock::now() < deadline) {
            pollfd p{fd, events, 0};
            if (::poll(&p, 1, 10) > 0)
                return true;
        }
        return false;
    };
}

struct Outcome {
    TlsConnection::Status status;
    TlsFailure failure;
    std::string reason;
};

Outcome handshakeWith(const TlsServer& server, const std::string& host)
{
    Socket s(server.port());
    TlsConnection tls(s.fd, host);
    const auto status = tls.handshake(pollWait(s.fd));
    return {status, tls.failure(), tls.reason()};
}

// Sends a request and reads the whole answer; returns the answer and how it ended.
std::string exchange(TlsConnection& tls, int fd, const std::string& request, TlsConnection::Status& end)
{
    const auto wait = pollWait(fd);
    end = tls.writeAll(request.data(), request.size(), wait);
    std::string answer;
    if (end != TlsConnection::Status::Done)
        return answer;
    char buf[4096];
    for (;;) {
        std::size_t got = 0;
        end = tls.read(buf, sizeof buf, got);
        if (end == TlsConnection::Status::Done) {
            answer.append(buf, got);
        } else if (end == TlsConnection::Status::WantRead || end == TlsConnection::Status::WantWrite) {
            if (!tls.hasBufferedData() && !wait(end == TlsConnection::Status::WantRead ? POLLIN : POLLOUT))
                return answer;
        } else {
            return answer;
        }
    }
}

}  // namespace

TEST(TlsConnection, TrustedServerByNameAndByAddressCarriesARequestAndItsAnswer)
{
    TempDir log;
    TlsServer server("good.pem", "http", {log.path()});
    for (const std::string host : {"localhost", "127.0.0.1"}) {
        Socket s(server.port());
        TlsConnection tls(s.fd, host);
        ASSERT_EQ(tls.handshake(pollWait(s.fd)), TlsConnection::Status::Done) << host << ": " << tls.reason();
        EXPECT_TRUE(tls.protocol() == "TLSv1.2" || tls.protocol() == "TLSv1.3") << tls.protocol();
        TlsConnection::Status end{};
        const std::string answer = exchange(tls, s.fd, "GET /status/201 HTTP/1.0\r\n\r\n", end);
        EXPECT_EQ(end, TlsConnection::Status::Closed);
        EXPECT_EQ(answer.substr(0, 12), "HTTP/1.0 201");
        EXPECT_EQ(answer.substr(answer.size() - 11), "body of 201");
    }
    EXPECT_EQ(log.read("request-1"), "GET /status/201 HTTP/1.0\r\n\r\n");
}

TEST(TlsConnection, TheLibraryIsLoadedByTheFirstConnectionThatNeedsIt)
{
    const auto loaded = [] {
        void* handle = ::dlopen("libssl.so.3", RTLD_NOW | RTLD_NOLOAD);
        if (handle)
            ::dlclose(handle);
        return handle != nullptr;
    };
    if (loaded())
        GTEST_SKIP() << "an earlier test of this process made a TLS connection";
    TempDir log;
    TlsServer server("good.pem", "http", {log.path()});
    EXPECT_FALSE(loaded());
    const Outcome outcome = handshakeWith(server, "localhost");
    EXPECT_EQ(outcome.status, TlsConnection::Status::Done) << outcome.reason;
    EXPECT_TRUE(loaded());
}

TEST(TlsConnection, CertificatesThatMustNotBeTrustedFailWithTheVerifiersReason)
{
    TempDir log;
    TlsServer untrusted("untrusted.pem", "http", {log.path()});
    TlsServer expired("expired.pem", "http", {log.path()});
    TlsServer wrongName("wrongname.pem", "http", {log.path()});
    TlsServer good("good.pem", "http", {log.path()});

    const Outcome u = handshakeWith(untrusted, "localhost");
    EXPECT_EQ(u.failure, TlsFailure::Untrusted);
    EXPECT_EQ(u.reason, "unable to get local issuer certificate");

    const Outcome e = handshakeWith(expired, "localhost");
    EXPECT_EQ(e.failure, TlsFailure::Untrusted);
    EXPECT_EQ(e.reason, "certificate has expired");

    const Outcome w = handshakeWith(wrongName, "localhost");
    EXPECT_EQ(w.failure, TlsFailure::NameMismatch);
    EXPECT_EQ(w.reason, "hostname mismatch");

    // An address is checked against the certificate's address entries, not its names.
    const Outcome ip = handshakeWith(good, "127.0.0.2");
    EXPECT_EQ(ip.failure, TlsFailure::NameMismatch);
    EXPECT_EQ(ip.reason, "IP address mismatch");

    for (const Outcome& o : {u, e, w, ip})
        EXPECT_EQ(o.status, TlsConnection::Status::Failed);
    EXPECT_EQ(log.read("request-1"), "") << "nothing may be sent to a server that failed verification";
}

TEST(TlsConnection, ServerNameIsSentForNamesOnly)
{
    TempDir log;
    TlsServer server("good.pem", "sni", {log.path()});
    EXPECT_EQ(handshakeWith(server, "localhost").status, TlsConnection::Status::Done);
    const Outcome byAddress = handshakeWith(server, "127.0.0.1");
    EXPECT_EQ(byAddress.failure, TlsFailure::Handshake);
    EXPECT_NE(byAddress.reason.find("unrecognized name"), std::string::npos) << byAddress.reason;
}

TEST(TlsConnection, BrokenHandshakesFailAndASilentOneEndsWhenTheCallerStopsWaiting)
{
    TlsServer reset("good.pem", "reset");
    const Outcome r = handshakeWith(reset, "localhost");
    EXPECT_EQ(r.status, TlsConnection::Status::Failed);
    EXPECT_EQ(r.failure, TlsFailure::Handshake);
    EXPECT_FALSE(r.reason.empty());

    TlsServer silent("good.pem", "silent");
    Socket s(silent.port());
    TlsConnection tls(s.fd, "localhost");
    rusage before{}, after{};
    ::getrusage(RUSAGE_SELF, &before);
    const auto started = std::chrono::steady_clock::now();
    EXPECT_EQ(tls.handshake(pollWait(s.fd, 600)), TlsConnection::Status::WantRead);
    const auto wall = std::chrono::steady_clock::now() - started;
    ::getrusage(RUSAGE_SELF, &after);
    EXPECT_EQ(tls.failure(), TlsFailure::None);
    EXPECT_FALSE(tls.established());
    // Waiting is done in poll(): the CPU time is a small part of the wall time.
    const auto cpuUs = (after.ru_utime.tv_sec - before.ru_utime.tv_sec) * 1000000L
                       + (after.ru_utime.tv_usec - before.ru_utime.tv_usec)
                       + (after.ru_stime.tv_sec - before.ru_stime.tv_sec) * 1000000L
                       + (after.ru_stime.tv_usec - before.ru_stime.tv_usec);
    EXPECT_LT(cpuUs, std::chrono::duration_cast<std::chrono::microseconds>(wall).count() / 4);
}

TEST(TlsConnection, EndOfStreamTellsACloseNotifyFromABareClose)
{
    TempDir dir;
    dir.write("answer", "HTTP/1.0 200 OK\r\n\r\nthe body");
    for (const bool notify : {false, true}) {
        TlsServer server("good.pem", notify ? "reply-notify" : "reply", {dir.file("answer")});
        Socket s(server.port());
        TlsConnection tls(s.fd, "localhost");
        ASSERT_EQ(tls.handshake(pollWait(s.fd)), TlsConnection::Status::Done) << tls.reason();
        TlsConnection::Status end{};
        EXPECT_EQ(exchange(tls, s.fd, "GET / HTTP/1.0\r\n\r\n", end), "HTTP/1.0 200 OK\r\n\r\nthe body");
        EXPECT_EQ(end, TlsConnection::Status::Closed);
        EXPECT_EQ(tls.cleanClose(), notify);
    }
}
