#include "signup/SignUp.h"

#include <cctype>

#include "net/HttpClient.h"
#include "util/Errors.h"
#include "util/FormEncoding.h"
#include "util/ServerText.h"

namespace tolvan {

std::string signUpBody(const SignUpForm& form)
{
    std::string body = "First=" + formEncode(form.firstName) + "&Last=" + formEncode(form.lastName)
                       + "&E-Mail=" + formEncode(form.email);
    if (form.tolvanAnnouncements)
        body += "&Tolvan=" + formEncode("Tolvan Announcements");
    if (form.otherAnnouncements)
        body += "&Qndl=" + formEncode("Other Quendel Announcements");
    return body;
}

int signUpProxyPort(const std::string& text)
{
    if (text.empty())
        return 80;
    std::size_t i = 0;
    const bool negative = text[0] == '-';
    if (text[0] == '-' || text[0] == '+')
        i = 1;
    if (i == text.size())
        throw ConvertError(text);
    long long value = 0;
    for (; i < text.size(); ++i) {
        if (!std::isdigit(static_cast<unsigned char>(text[i])))
            throw ConvertError(text);
        value = value * 10 + (text[i] - '0');
        if (value > 2147483647LL)
            throw ConvertError(text);
    }
    if (negative)
        value = -value;
    if (value < 1 || value > 65535)
        throw TolvanError("The proxy port must be a number from 1 to 65535.");
    return static_cast<int>(value);
}

bool isSignUpRedirect(const std::string& message)
{
    return message == "151: 302 Found" || message == "151: 302 Moved Temporarily"
           || message == "151: 302 Document Found";
}

SignUpResult postSignUp(HttpClient& client, const std::string& host, const SignUpForm& form,
                        const std::string& proxyServer, int proxyPort)
{
    const std::string body = signUpBody(form);
    client.setProxyServer(proxyServer);
    client.setProxyPort(static_cast<std::uint16_t>(proxyPort));
    client.setURL("http://" + host + kSignUpPath);
    if (!client.WinsockLoaded())
        client.setWinsockLoaded(true);
    client.setContentType("application/x-www-form-urlencoded");
    client.setPostData(body);
    try {
        client.setAction(httpPost);
    } catch (const HttpError& e) {
        if (isSignUpRedirect(e.what()))
            return {SignUpOutcome::Posted, {}};
        return {SignUpOutcome::Failed, cleanServerText(e.what())};
    }
    // A post that returns without any status line was interrupted.
    if (client.StatusLine().empty())
        return {SignUpOutcome::Interrupted, {}};
    return {SignUpOutcome::Posted, {}};
}

}  // namespace tolvan
