#include "signup/SignUp.h"

#include <gtest/gtest.h>

#include "ChildProcess.h"
#include "TestSupport.h"
#include "net/HttpClient.h"
#include "util/Errors.h"

using namespace tolvan;
using namespace tolvan::test;

TEST(SignUpBody, FieldsInOrderAndEachValueEncoded)
{
    SignUpForm form{"Jo", "Smith", "jo@example.test", true, true};
    EXPECT_EQ(signUpBody(form),
              "First=Jo&Last=Smith&E-Mail=jo%40example.test&Tolvan=Tolvan+Announcements"
              "&Qndl=Other+Quendel+Announcements");
    form.tolvanAnnouncements = false;
    EXPECT_EQ(signUpBody(form), "First=Jo&Last=Smith&E-Mail=jo%40example.test&Qndl=Other+Quendel+Announcements");
    form.otherAnnouncements = false;
    EXPECT_EQ(signUpBody(form), "First=Jo&Last=Smith&E-Mail=jo%40example.test");

    // Nothing typed is checked, and a name holding "&" or "=" stays one field.
    EXPECT_EQ(signUpBody({"a&Last=x", "", "", false, false}), "First=a%26Last%3Dx&Last=&E-Mail=");
}

TEST(SignUpBody, ProxyPortAndRedirectAnswers)
{
    EXPECT_EQ(signUpProxyPort(""), 80);
    EXPECT_EQ(signUpProxyPort("8080"), 8080);
    EXPECT_THROW(signUpProxyPort("80x"), ConvertError);
    EXPECT_THROW(signUpProxyPort("-"), ConvertError);
    EXPECT_THROW(signUpProxyPort("0"), TolvanError);
    EXPECT_THROW(signUpProxyPort("70000"), TolvanError);

    EXPECT_TRUE(isSignUpRedirect("151: 302 Found"));
    EXPECT_TRUE(isSignUpRedirect("151: 302 Moved Temporarily"));
    EXPECT_TRUE(isSignUpRedirect("151: 302 Document Found"));
    EXPECT_FALSE(isSignUpRedirect("151: 301 Moved Permanently"));
    EXPECT_FALSE(isSignUpRedirect("10060: Interrupted."));
}

TEST(SignUpPost, OutcomeOfEachAnswer)
{
    for (const auto& [status, expected] : {std::pair{302, SignUpOutcome::Posted}, std::pair{200, SignUpOutcome::Posted},
                                           std::pair{301, SignUpOutcome::Failed}, std::pair{500, SignUpOutcome::Failed}}) {
        TempDir log;
        const int port = freeLoopbackPort();
        ChildProcess server({python3(), supportScript("http_test_server.py"), std::to_string(port), log.path(),
                             std::to_string(status)});
        server.waitUntilAccepting(port);
        HttpClient client;
        const SignUpResult result =
            postSignUp(client, "127.0.0.1:" + std::to_string(port), {"A", "B", "c@d", true, false}, "", 80);
        EXPECT_EQ(result.outcome, expected) << status;
        if (expected == SignUpOutcome::Failed) {
            EXPECT_EQ(result.message.substr(0, 8), "151: " + std::to_string(status)) << status;
        }
        const std::string request = log.read("request-1");
        EXPECT_EQ(request.substr(0, request.find("\r\n")), "POST /cgi-win/polyform.exe/qndlannounce HTTP/1.0");
        EXPECT_EQ(request.substr(request.find("\r\n\r\n") + 4), "First=A&Last=B&E-Mail=c%40d&Tolvan=Tolvan+Announcements");
    }
}

TEST(SignUpPost, NoServerIsAFailureNotAnException)
{
    HttpClient client;
    const SignUpResult result = postSignUp(client, "127.0.0.1:" + std::to_string(freeLoopbackPort()),
                                           {"A", "B", "c", true, true}, "", 80);
    EXPECT_EQ(result.outcome, SignUpOutcome::Failed);
    EXPECT_EQ(result.message, "10061: Interrupted.");
}
