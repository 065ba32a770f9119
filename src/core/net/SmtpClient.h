#pragma once
// An SMTP client that sends one MailMessage per call. Without connection
// security and user name it speaks the plain dialogue (HELO, no extensions);
// with them it uses EHLO, STARTTLS or TLS from the first byte, and AUTH PLAIN
// or LOGIN, never sending a password over a connection that is not encrypted.
// Every wait goes through the event pump, so the window stays alive and a
// Cancel pressed meanwhile is seen at once.
#include <chrono>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "net/EventPump.h"
#include "util/Errors.h"

namespace tolvan {

class MailMessage;
class TlsConnection;

enum class SmtpSecurity {
    None,      // plain text
    StartTls,  // plain greeting, then STARTTLS before anything else (port 587)
    Tls,       // TLS from the first byte (port 465)
};

// The setting's text ("None", "STARTTLS", "TLS", any letter case) as a value;
// anything else is None.
SmtpSecurity smtpSecurityFromText(const std::string& text);

// Every error of the client; code() is the error number (the reply code for
// server errors).
class SmtpError : public TolvanError {
public:
    SmtpError(int code, const std::string& text) : TolvanError(text), code_(code) {}
    int code() const { return code_; }

private:
    int code_;
};

// Socket and set-up errors.
class SmtpSocketError : public SmtpError {
public:
    using SmtpError::SmtpError;
};
// A reply with the wrong code; the text is the server's reply line.
class SmtpServerError : public SmtpError {
public:
    using SmtpError::SmtpError;
};
class SmtpCanceledError : public SmtpError {
public:
    using SmtpError::SmtpError;
};
class SmtpTimedOutError : public SmtpError {
public:
    using SmtpError::SmtpError;
};
// A TLS failure: certificate not trusted, wrong host, handshake or protocol.
class SmtpTlsError : public SmtpError {
public:
    using SmtpError::SmtpError;
};
// A reply the client will not take (a line or a multi-line reply over its cap).
class SmtpProtocolError : public SmtpError {
public:
    using SmtpError::SmtpError;
};

// The text of an error number: the client's own texts, else "Error #" + n.
std::string smtpErrorText(int code);

class SmtpClient {
public:
    explicit SmtpClient(EventPump& pump = EventPump::plain());
    ~SmtpClient();
    SmtpClient(const SmtpClient&) = delete;
    SmtpClient& operator=(const SmtpClient&) = delete;

    // Host name or dotted address, optionally ":" and a port number.
    std::string server;
    int defaultPort = 25;
    // Seconds allowed for each step (look-up, connect, greeting, each command
    // with its whole reply, each chunk of data); bytes arriving do not extend it.
    int timeOut = 60;
    // Service looked up for the port when the server names none.
    std::string serviceName = "smtp";
    MailMessage* mailMessage = nullptr;
    SmtpSecurity security = SmtpSecurity::None;
    // With a user name the client authenticates (over TLS only).
    std::string userName;
    std::string password;

    // Must be set before sending (error 57011 otherwise).
    bool winsockLoaded() const { return winsockLoaded_; }
    void setWinsockLoaded(bool loaded) { winsockLoaded_ = loaded; }

    std::function<void()> onOpen, onClosing, onClosed, onCancel;
    std::function<void()> onPrepare, onSending, onMailSent;
    std::function<void(const std::string& text)> onError;
    std::function<void(int perc, long transferred)> onProgress;
    std::function<void(const std::string& address, const std::string& serverReply, bool& proceed)> onAddressRejected;
    // Asked after each turn of the event pump: true cancels the send as
    // cancel() does (for a caller whose stop flag is set by its own handlers).
    std::function<bool()> stopRequested;

    // Connects when needed, sends the message and always disconnects
    // afterwards. Every failure is an exception (SmtpError or MailMessageError).
    void send();
    // Callable from an event handler during a wait: the wait ends with
    // SmtpCanceledError.
    void cancel();

    bool connected() const { return fd_ >= 0; }
    const std::string& lastReply() const { return lastReply_; }

    // The port part of a server text: the number after ":" if it is a whole
    // number other than 0, else 0.
    static int portOf(const std::string& server);

private:
    struct Lookup;

    void open();
    void close();
    void afterConnect();
    void beforeClose();
    void sendMessage();
    void disconnect();

    unsigned long resolveHost(const std::string& host);
    int findPort();
    void connectTo(unsigned long address, int port);

    void startTls();
    void handshake();
    void ehlo(const std::string& localHost);
    void authenticate();
    bool offers(const std::string& keyword) const;
    [[noreturn]] void tlsError();

    void sendLine(const std::string& line);
    void sendBytes(const char* data, std::size_t size);
    int readReply();
    std::string readLine(bool& closedByPeer);
    std::string takeRest(bool& closedByPeer);  // the peer closed: what is left is the last line
    int command(const std::string& line);

    // Waits until fd is ready for `events` or the look-up ends; throws on
    // cancel and time-out. Returns poll()'s revents (0 for a look-up).
    short wait(int fd, short events, const Lookup* lookup = nullptr);
    void startStep();
    [[noreturn]] void fail(int code);  // OnError + SmtpSocketError
    [[noreturn]] void protocolError(int code);
    [[noreturn]] void socketError(int winsockCode);
    [[noreturn]] void serverError();

    EventPump& pump_;
    bool winsockLoaded_ = false;
    int fd_ = -1;
    bool canceled_ = false;
    bool sending_ = false;
    Lookup* lookup_ = nullptr;
    std::string lastReply_;
    std::vector<std::string> replyLines_;  // every line of the last reply
    std::vector<std::string> extensions_;  // the EHLO keywords and their parameters, upper case
    std::unique_ptr<TlsConnection> tls_;
    std::string input_;  // bytes received and not yet taken as reply lines
    std::chrono::steady_clock::time_point deadline_;
};

}  // namespace tolvan
