#pragma once
// The first-run sign-up: the user's name and address posted as a web form to
// the maker's announcement list.
#include <string>

namespace tolvan {

class HttpClient;

inline constexpr const char* kSignUpPath = "/cgi-win/polyform.exe/qndlannounce";

struct SignUpForm {
    std::string firstName;
    std::string lastName;
    std::string email;
    bool tolvanAnnouncements = true;
    bool otherAnnouncements = true;
};

// "First=...&Last=...&E-Mail=..." and the ticked announcement fields, each
// value form-encoded so a name holding "&" or "=" stays one field.
std::string signUpBody(const SignUpForm& form);

// The proxy port typed by the user: empty means 80; anything but a number
// throws ConvertError, a number outside 1..65535 a TolvanError.
int signUpProxyPort(const std::string& text);

// The three redirect answers of the maker's server count as success.
bool isSignUpRedirect(const std::string& message);

// Interrupted: the post was stopped (the dialog closed) before any answer came.
enum class SignUpOutcome { Posted, Failed, Interrupted };

struct SignUpResult {
    SignUpOutcome outcome = SignUpOutcome::Failed;
    std::string message;  // the client's error message when it failed
};

// Posts the form to http://<host><kSignUpPath>, through the proxy when one is
// given. HTTP failures other than the redirects come back as Failed; other
// errors propagate.
SignUpResult postSignUp(HttpClient& client, const std::string& host, const SignUpForm& form,
                        const std::string& proxyServer, int proxyPort);

}  // namespace tolvan
