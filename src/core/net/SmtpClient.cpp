#include "net/SmtpClient.h"

#include <arpa/inet.h>
#include <netdb.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <csignal>
#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <algorithm>
#include <fstream>

#include "net/MailMessage.h"
#include "net/NetErrors.h"
#include "net/TlsConnection.h"
#include "util/TextCodec.h"

namespace tolvan {

namespace {

constexpr std::size_t kChunk = 2047;
// Replies are a few short lines; a server sending more is broken or hostile.
constexpr std::size_t kMaxReplyLine = 4096;
constexpr std::size_t kMaxReplyLines = 200;
constexpr std::size_t kMaxReplyBytes = 64 * 1024;
constexpr std::size_t kReadSize = 16 * 1024;
constexpr int kPollSliceMs = 50;

int replyCode(const std::string& line)
{
    if (line.size() < 3)
        return -1;
    int code = 0;
    for (int i = 0; i < 3; ++i) {
        const char c = line[static_cast<std::size_t>(i)];
        if (c < '0' || c > '9')
            return -1;
        code = code * 10 + (c - '0');
    }
    return code;
}

bool isClass(int code, int hundreds)
{
    return code / 100 == hundreds;
}

// The host part of a server text, without blanks typed around it.
std::string hostOf(const std::string& server)
{
    std::string host = server.substr(0, server.find(':'));
    const std::size_t first = host.find_first_not_of(" \t");
    if (first == std::string::npos)
        return {};
    return host.substr(first, host.find_last_not_of(" \t") - first + 1);
}

std::string upper(std::string text)
{
    std::transform(text.begin(), text.end(), text.begin(), [](unsigned char c) { return std::toupper(c); });
    return text;
}

std::string tempDirectory()
{
    const char* dir = std::getenv("TMPDIR");
    return dir && *dir ? dir : "/tmp";
}

// The encoded message on disk, removed when the send ends however it ends.
class TempFile {
public:
    TempFile()
    {
        std::string pattern = tempDirectory() + "/msXXXXXX";
        const int fd = ::mkstemp(pattern.data());
        if (fd < 0)
            throw FileError(pattern, std::strerror(errno));
        ::close(fd);
        path_ = pattern;
    }
    ~TempFile() { ::unlink(path_.c_str()); }  // a failure to delete is of no consequence
    TempFile(const TempFile&) = delete;
    TempFile& operator=(const TempFile&) = delete;
    const std::string& path() const { return path_; }

private:
    std::string path_;
};

}  // namespace

std::string smtpErrorText(int code)
{
    switch (code) {
    case 57000: return "Operation timed out";
    case 57001: return "Operation has been canceled";
    case 57002: return "Server property is required";
    case 57003: return "Invalid Winsock version";
    case 57004: return "Error resolving remote host";
    case 57005: return "Service name is required";
    case 57008: return "You have to connect to the server first";
    case 57011: return "Winsock is not loaded";
    case 57012: return "Winsock not found";
    case 57020: return "The server's reply line is too long (over 4096 bytes)";
    case 57021: return "The server's reply is too long (over 200 lines or 64 KiB)";
    case 57030:
        return "A user name is set but the connection security is None: the password would go out unencrypted. "
               "Choose STARTTLS or TLS on the Options page";
    case 57031: return "The server does not offer STARTTLS; nothing was sent over the unencrypted connection";
    case 57032: return "The server offers no authentication this program can use (AUTH PLAIN or LOGIN)";
    case 57100: return "The address of sender is required";
    case 57101: return "At least one Recipient, CC or BCC must be entered";
    case 57102: return "MailMessage property must be assigned";
    default: return "Error #" + std::to_string(code);
    }
}

// One asynchronous host look-up. getaddrinfo_a writes into it until it is
// done, so it lives on the heap and is only freed once finished or cancelled.
struct SmtpClient::Lookup {
    std::string host;
    addrinfo hints{};
    gaicb cb{};
};

SmtpSecurity smtpSecurityFromText(const std::string& text)
{
    const std::string t = upper(text);
    if (t == "STARTTLS")
        return SmtpSecurity::StartTls;
    if (t == "TLS")
        return SmtpSecurity::Tls;
    return SmtpSecurity::None;
}

SmtpClient::SmtpClient(EventPump& pump) : pump_(pump) {}

SmtpClient::~SmtpClient()
{
    if (lookup_) {
        // A look-up that cannot be cancelled any more still owns its block;
        // leaving it is safer than freeing memory the resolver writes to.
        if (gai_cancel(&lookup_->cb) != EAI_NOTCANCELED) {
            if (lookup_->cb.ar_result)
                freeaddrinfo(lookup_->cb.ar_result);
            delete lookup_;
        }
    }
    if (fd_ >= 0)
        ::close(fd_);
}

int SmtpClient::portOf(const std::string& server)
{
    const std::size_t colon = server.find(':');
    if (colon == std::string::npos)
        return 0;
    const std::string text = server.substr(colon + 1);
    if (text.empty() || text.size() > 5 || text.find_first_not_of("0123456789") != std::string::npos)
        return 0;
    const int port = std::stoi(text);
    return port > 0 && port < 65536 ? port : 0;
}

void SmtpClient::send()
{
    if (sending_)
        throw SmtpError(0, "A mail is already being sent");
    sending_ = true;
    struct Reset {
        bool& flag;
        ~Reset() { flag = false; }
    } reset{sending_};

    std::exception_ptr failure;
    try {
        // Nothing goes out for a message whose addresses could break a command.
        if (mailMessage)
            mailMessage->checkAddresses();
        // A password never goes out in plain text: refused before connecting.
        if (!userName.empty() && security == SmtpSecurity::None)
            fail(57030);
        if (!connected())
            open();
        sendMessage();
    } catch (...) {
        failure = std::current_exception();
    }
    // Disconnect after success and after every failure; if that fails, its
    // error is the one reported.
    if (connected())
        disconnect();
    if (failure)
        std::rethrow_exception(failure);
}

void SmtpClient::cancel()
{
    canceled_ = true;
    if (onCancel)
        onCancel();
    // The running wait closes the connection and raises the error; closing
    // the socket here could hand its number to someone else mid-poll.
}

void SmtpClient::open()
{
    if (server.empty())
        fail(57002);
    canceled_ = false;
    if (onOpen)
        onOpen();
    if (!winsockLoaded_)
        fail(57011);
    const std::string host = hostOf(server);
    startStep();
    const unsigned long address = resolveHost(host);
    const int port = findPort();
    startStep();
    connectTo(address, port);
    afterConnect();
}

void SmtpClient::afterConnect()
{
    std::string localHost;
    char name[256] = {};
    if (::gethostname(name, sizeof name - 1) == 0 && name[0])
        localHost = name;
    else
        localHost = hostOf(server);

    if (security == SmtpSecurity::Tls) {
        startStep();
        handshake();
    }
    startStep();
    if (!isClass(readReply(), 2))
        serverError();
    if (security == SmtpSecurity::None && userName.empty()) {
        if (!isClass(command("HELO " + localHost), 2)) {
            if (!isClass(command("HELO"), 2))
                serverError();
        }
        return;
    }
    ehlo(localHost);
    if (security == SmtpSecurity::StartTls) {
        startTls();
        ehlo(localHost);  // what the server offers may change once encrypted
    }
    if (!userName.empty())
        authenticate();
}

void SmtpClient::ehlo(const std::string& localHost)
{
    if (!isClass(command("EHLO " + localHost), 2))
        serverError();
    extensions_.clear();
    // The first line greets; each further line names one extension.
    for (std::size_t i = 1; i < replyLines_.size(); ++i)
        if (replyLines_[i].size() > 4)
            extensions_.push_back(upper(replyLines_[i].substr(4)));
}

bool SmtpClient::offers(const std::string& keyword) const
{
    for (const std::string& e : extensions_) {
        if (e.compare(0, keyword.size(), keyword) == 0 &&
            (e.size() == keyword.size() || e[keyword.size()] == ' ' || e[keyword.size()] == '='))
            return true;
    }
    return false;
}

void SmtpClient::startTls()
{
    if (!offers("STARTTLS")) {
        // Not a word more in plain text: the connection is dropped without QUIT.
        close();
        fail(57031);
    }
    if (!isClass(command("STARTTLS"), 2))
        serverError();
    // Whatever came after the reply in plain text is not trusted.
    input_.clear();
    startStep();
    handshake();
}

void SmtpClient::handshake()
{
    tls_ = std::make_unique<TlsConnection>(fd_, hostOf(server));
    for (;;) {
        switch (tls_->handshakeStep()) {
        case TlsConnection::Status::Done: return;
        case TlsConnection::Status::WantRead: wait(fd_, POLLIN); break;
        case TlsConnection::Status::WantWrite: wait(fd_, POLLOUT); break;
        case TlsConnection::Status::Closed: socketError(10054);
        case TlsConnection::Status::Failed: tlsError();
        }
    }
}

void SmtpClient::authenticate()
{
    // Only ever over TLS; the checks before connecting make sure of it.
    if (!tls_ || !tls_->established())
        fail(57030);
    std::vector<std::string> methods;
    for (const std::string& e : extensions_) {
        if (e.compare(0, 5, "AUTH ") == 0 || e.compare(0, 5, "AUTH=") == 0) {
            std::size_t start = 5;
            while (start < e.size()) {
                const std::size_t end = std::min(e.find(' ', start), e.size());
                methods.push_back(e.substr(start, end - start));
                start = end + 1;
            }
        }
    }
    auto has = [&](const char* m) { return std::find(methods.begin(), methods.end(), m) != methods.end(); };
    if (has("PLAIN")) {
        if (!isClass(command("AUTH PLAIN " + base64Encode(std::string(1, '\0') + userName + '\0' + password)), 2))
            serverError();
    } else if (has("LOGIN")) {
        if (!isClass(command("AUTH LOGIN"), 3) || !isClass(command(base64Encode(userName)), 3) ||
            !isClass(command(base64Encode(password)), 2))
            serverError();
    } else {
        fail(57032);
    }
}

void SmtpClient::tlsError()
{
    int code = 57042;
    std::string text;
    switch (tls_->failure()) {
    case TlsFailure::Untrusted:
        code = 57040;
        text = "The server's certificate is not trusted: " + tls_->reason();
        break;
    case TlsFailure::NameMismatch:
        code = 57041;
        text = "The server's certificate is not for " + hostOf(server);
        break;
    case TlsFailure::Protocol:
        code = 57043;
        text = "TLS protocol error: " + tls_->reason();
        break;
    case TlsFailure::Socket: socketError(winsockCodeFromErrno(tls_->socketError()));
    case TlsFailure::Handshake:
    case TlsFailure::None: text = "TLS handshake failed: " + tls_->reason(); break;
    }
    close();
    if (onError)
        onError(text);
    throw SmtpTlsError(code, text);
}

void SmtpClient::sendMessage()
{
    if (!mailMessage)
        fail(57102);
    mailMessage->validate();

    TempFile file;
    if (onPrepare)
        onPrepare();
    {
        std::ofstream out(file.path(), std::ios::binary | std::ios::trunc);
        mailMessage->encode(out);
        out.flush();
        if (!out)
            throw FileError(file.path(), "Cannot write the message");
    }

    if (onSending)
        onSending();
    if (!isClass(command("MAIL FROM:<" + mailMessage->sender.address() + ">"), 2))
        serverError();
    for (const AddressList* list : {&mailMessage->recipients, &mailMessage->cc, &mailMessage->bcc}) {
        for (const MailAddress& a : *list) {
            if (a.address().empty())
                continue;
            if (isClass(command("RCPT TO:<" + a.address() + ">"), 2))
                continue;
            bool proceed = false;
            if (onAddressRejected)
                onAddressRejected(a.address(), lastReply_, proceed);
            if (!proceed)
                serverError();
        }
    }
    if (!isClass(command("DATA"), 3))
        serverError();

    std::ifstream in(file.path(), std::ios::binary | std::ios::ate);
    if (!in)
        throw FileError(file.path(), "Cannot read the message");
    const auto size = static_cast<long>(in.tellg());
    in.seekg(0);
    char buf[kChunk];
    long position = 0;
    while (position < size) {
        in.read(buf, kChunk);
        const auto got = static_cast<std::size_t>(in.gcount());
        if (got == 0)
            throw FileError(file.path(), "Cannot read the message");
        startStep();
        sendBytes(buf, got);
        position += static_cast<long>(got);
        if (onProgress)
            onProgress(static_cast<int>(std::lround(position * 100.0 / static_cast<double>(size))), position);
    }
    if (onProgress)
        onProgress(0, 0);

    startStep();
    sendLine("");
    if (!isClass(command("."), 2))
        serverError();
    if (onMailSent)
        onMailSent();
}

void SmtpClient::disconnect()
{
    pump_.processEvents();
    try {
        if (!isClass(command("QUIT"), 2))
            serverError();
    } catch (...) {
        close();
        throw;
    }
    close();
}

void SmtpClient::close()
{
    if (fd_ < 0)
        return;
    if (onClosing)
        onClosing();
    if (tls_) {
        tls_->shutdown();
        tls_.reset();
    }
    ::close(fd_);
    fd_ = -1;
    input_.clear();
    if (onClosed)
        onClosed();
}

unsigned long SmtpClient::resolveHost(const std::string& host)
{
    in_addr numeric{};
    if (::inet_pton(AF_INET, host.c_str(), &numeric) == 1)
        return numeric.s_addr;

    auto* l = new Lookup;
    l->host = host;
    l->hints.ai_family = AF_INET;
    l->hints.ai_socktype = SOCK_STREAM;
    l->cb.ar_name = l->host.c_str();
    l->cb.ar_request = &l->hints;
    gaicb* list[1] = {&l->cb};
    sigevent sev{};
    sev.sigev_notify = SIGEV_NONE;
    if (const int rc = getaddrinfo_a(GAI_NOWAIT, list, 1, &sev); rc != 0) {
        delete l;
        fail(winsockCodeFromLookup(rc, errno));
    }
    lookup_ = l;
    wait(-1, 0, l);  // on cancel or time-out the look-up is dropped there

    lookup_ = nullptr;
    const int rc = gai_error(&l->cb);
    addrinfo* result = l->cb.ar_result;
    unsigned long address = 0;
    bool valid = false;
    if (rc == 0 && result && result->ai_addr && result->ai_family == AF_INET) {
        // Through dotted text and back, as a typed address would go.
        char text[INET_ADDRSTRLEN] = {};
        const auto* sin = reinterpret_cast<const sockaddr_in*>(result->ai_addr);
        in_addr parsed{};
        if (::inet_ntop(AF_INET, &sin->sin_addr, text, sizeof text) &&
            ::inet_pton(AF_INET, text, &parsed) == 1 && parsed.s_addr != INADDR_ANY &&
            parsed.s_addr != INADDR_NONE) {
            address = parsed.s_addr;
            valid = true;
        }
    }
    if (result)
        freeaddrinfo(result);
    delete l;
    if (rc != 0)
        fail(winsockCodeFromLookup(rc, errno));
    if (!valid)
        fail(57004);
    return address;
}

int SmtpClient::findPort()
{
    if (const int port = portOf(server))
        return port;
    // The ports of mail submission: TLS from the first byte, or STARTTLS.
    if (security == SmtpSecurity::Tls)
        return 465;
    if (security == SmtpSecurity::StartTls)
        return 587;
    if (serviceName.empty())
        fail(57005);
    // The services database is a local file: this does not wait on the network.
    servent entry{};
    servent* found = nullptr;
    char buf[1024];
    if (::getservbyname_r(serviceName.c_str(), "tcp", &entry, buf, sizeof buf, &found) == 0 && found)
        return ntohs(static_cast<std::uint16_t>(found->s_port));
    return defaultPort;
}

void SmtpClient::connectTo(unsigned long address, int port)
{
    fd_ = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (fd_ < 0)
        socketError(winsockCodeFromErrno(errno));
    sockaddr_in sin{};
    sin.sin_family = AF_INET;
    sin.sin_port = htons(static_cast<std::uint16_t>(port));
    sin.sin_addr.s_addr = static_cast<in_addr_t>(address);
    int err = 0;
    if (::connect(fd_, reinterpret_cast<const sockaddr*>(&sin), sizeof sin) != 0) {
        if (errno != EINPROGRESS) {
            err = errno;
        } else {
            wait(fd_, POLLOUT);
            socklen_t len = sizeof err;
            if (::getsockopt(fd_, SOL_SOCKET, SO_ERROR, &err, &len) != 0)
                err = errno;
        }
    }
    if (err != 0) {
        // A connection that never came up is dropped without close events.
        ::close(fd_);
        fd_ = -1;
        const int n = winsockCodeFromErrno(err);
        const std::string text = smtpErrorText(n);
        if (onError)
            onError(text);
        throw SmtpSocketError(n, text);
    }
}

void SmtpClient::sendLine(const std::string& line)
{
    const std::string data = line + "\r\n";
    sendBytes(data.data(), data.size());
}

void SmtpClient::sendBytes(const char* data, std::size_t size)
{
    if (fd_ < 0)
        fail(57008);
    std::size_t sent = 0;
    while (sent < size) {
        if (canceled_)
            wait(fd_, POLLOUT);  // raises the cancel
        if (tls_) {
            std::size_t written = 0;
            switch (tls_->write(data + sent, size - sent, written)) {
            case TlsConnection::Status::Done: sent += written; break;
            case TlsConnection::Status::WantRead: wait(fd_, POLLIN); break;
            case TlsConnection::Status::WantWrite: wait(fd_, POLLOUT); break;
            case TlsConnection::Status::Closed: socketError(10054);
            case TlsConnection::Status::Failed: tlsError();
            }
            continue;
        }
        const ssize_t n = ::send(fd_, data + sent, size - sent, MSG_NOSIGNAL);
        if (n > 0) {
            sent += static_cast<std::size_t>(n);
        } else if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR)) {
            wait(fd_, POLLOUT);
        } else {
            socketError(winsockCodeFromErrno(n < 0 ? errno : EPIPE));
        }
    }
}

std::string SmtpClient::readLine(bool& closedByPeer)
{
    if (fd_ < 0)
        fail(57008);
    closedByPeer = false;
    std::size_t scanned = 0;
    for (;;) {
        const std::size_t lf = input_.find('\n', scanned);
        if (lf != std::string::npos) {
            if (lf > kMaxReplyLine)
                protocolError(57020);
            std::string line = input_.substr(0, lf);
            input_.erase(0, lf + 1);
            while (!line.empty() && (line.back() == '\r' || line.back() == '\n'))
                line.pop_back();
            return line;
        }
        if (input_.size() > kMaxReplyLine)
            protocolError(57020);
        scanned = input_.size();
        // Each read goes through the wait, so the front end's events (Cancel,
        // the window's close) and the step's deadline are seen even while a
        // server keeps sending.
        // (Bytes TLS already holds decrypted would never wake the socket.)
        char buf[kReadSize];
        if (tls_) {
            if (!tls_->hasBufferedData())
                wait(fd_, POLLIN);
            std::size_t got = 0;
            switch (tls_->read(buf, sizeof buf, got)) {
            case TlsConnection::Status::Done: input_.append(buf, got); break;
            case TlsConnection::Status::WantRead: break;
            case TlsConnection::Status::WantWrite: wait(fd_, POLLOUT); break;
            case TlsConnection::Status::Closed: return takeRest(closedByPeer);
            case TlsConnection::Status::Failed: tlsError();
            }
            continue;
        }
        wait(fd_, POLLIN);
        const ssize_t n = ::recv(fd_, buf, sizeof buf, 0);
        if (n > 0) {
            input_.append(buf, static_cast<std::size_t>(n));
        } else if (n == 0) {
            return takeRest(closedByPeer);
        } else if (errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR) {
            socketError(winsockCodeFromErrno(errno));
        }
    }
}

std::string SmtpClient::takeRest(bool& closedByPeer)
{
    closedByPeer = true;
    std::string line;
    line.swap(input_);
    while (!line.empty() && (line.back() == '\r' || line.back() == '\n'))
        line.pop_back();
    return line;
}

int SmtpClient::readReply()
{
    bool closed = false;
    std::string line = readLine(closed);
    if (closed && line.empty())
        socketError(10054);  // the server hung up instead of answering
    lastReply_ = line;
    replyLines_.assign(1, line);
    const int code = replyCode(line);
    if (code > 0 && line.size() > 3 && line[3] == '-') {
        // A multi-line reply ends with the line that carries the same code
        // without the hyphen; the last line read is the reply text.
        std::size_t lines = 1;
        std::size_t bytes = line.size();
        while (!closed) {
            line = readLine(closed);
            if (closed && line.empty())
                break;
            if (++lines > kMaxReplyLines || (bytes += line.size()) > kMaxReplyBytes)
                protocolError(57021);
            lastReply_ = line;
            replyLines_.push_back(line);
            if (replyCode(line) == code && (line.size() == 3 || line[3] != '-'))
                break;
        }
    }
    return code;
}

int SmtpClient::command(const std::string& line)
{
    startStep();
    sendLine(line);
    return readReply();
}

void SmtpClient::startStep()
{
    deadline_ = std::chrono::steady_clock::now() + std::chrono::seconds(timeOut);
}

short SmtpClient::wait(int fd, short events, const Lookup* lookup)
{
    using namespace std::chrono;
    auto dropLookup = [this] {
        if (!lookup_)
            return;
        Lookup* l = lookup_;
        lookup_ = nullptr;
        if (gai_cancel(&l->cb) != EAI_NOTCANCELED) {
            if (l->cb.ar_result)
                freeaddrinfo(l->cb.ar_result);
            delete l;
        }
        // else: still running inside the resolver; left to it (see ~SmtpClient).
    };
    for (;;) {
        if (!canceled_ && stopRequested && stopRequested())
            cancel();
        if (canceled_) {
            dropLookup();
            close();
            const std::string text = smtpErrorText(57001);
            if (onError)
                onError(text);
            throw SmtpCanceledError(57001, text);
        }
        const auto left = duration_cast<milliseconds>(deadline_ - steady_clock::now()).count();
        if (left <= 0) {
            const std::string text = smtpErrorText(57000);
            if (onError)
                onError(text);
            dropLookup();
            close();
            throw SmtpTimedOutError(57000, text);
        }
        if (lookup && gai_error(const_cast<gaicb*>(&lookup->cb)) != EAI_INPROGRESS)
            return 0;
        const int slice = static_cast<int>(left < kPollSliceMs ? left : kPollSliceMs);
        const short revents = pump_.waitForSocket(lookup ? -1 : fd, events, slice);
        if (!lookup && revents)
            return revents;
    }
}

void SmtpClient::fail(int code)
{
    const std::string text = smtpErrorText(code);
    if (onError)
        onError(text);
    throw SmtpSocketError(code, text);
}

void SmtpClient::socketError(int winsockCode)
{
    // The connection is of no further use after a socket error; closing it now
    // keeps the QUIT of the disconnect from hiding this error behind its own.
    close();
    fail(winsockCode);
}

void SmtpClient::protocolError(int code)
{
    // The rest of the reply cannot be told from the next one: the connection
    // is given up without QUIT.
    close();
    const std::string text = smtpErrorText(code);
    if (onError)
        onError(text);
    throw SmtpProtocolError(code, text);
}

void SmtpClient::serverError()
{
    const int code = replyCode(lastReply_);
    throw SmtpServerError(code, lastReply_);
}

}  // namespace tolvan
