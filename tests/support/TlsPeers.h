#pragma once
// TLS peers for network tests: a test CA and server certificates made once per
// test program (trusted through SSL_CERT_FILE), and tls_test_server.py scenarios.
#include <cstdlib>
#include <stdexcept>
#include <string>
#include <vector>

#include "ChildProcess.h"
#include "TestSupport.h"

namespace tolvan::test {

// The directory with ca.pem, good.pem, expired.pem, wrongname.pem and
// untrusted.pem; on first use it is made and SSL_CERT_FILE set to its CA.
inline const std::string& testCertificates()
{
    static TempDir dir;
    static const bool made = [] {
        const std::string command = python3() + " " + supportScript("tls_test_server.py") + " certs " + dir.path();
        if (std::system(command.c_str()) != 0)
            throw std::runtime_error("could not make the test certificates");
        ::setenv("SSL_CERT_FILE", (dir.path() + "/ca.pem").c_str(), 1);
        ::unsetenv("SSL_CERT_DIR");
        return true;
    }();
    (void)made;
    return dir.path();
}

// One tls_test_server.py scenario on a free port, serving `cert` (good.pem, ...).
class TlsServer {
public:
    TlsServer(const std::string& cert, const std::string& scenario, const std::vector<std::string>& args = {})
        : port_(freeLoopbackPort()), process_(command(port_, cert, scenario, args))
    {
        process_.waitUntilAccepting(port_);
    }
    int port() const { return port_; }
    std::string url(const std::string& host, const std::string& path = "/") const
    {
        return "https://" + host + ":" + std::to_string(port_) + path;
    }

private:
    static std::vector<std::string> command(int port, const std::string& cert, const std::string& scenario,
                                            const std::vector<std::string>& args)
    {
        std::vector<std::string> argv{python3(), supportScript("tls_test_server.py"), "serve", std::to_string(port),
                                      testCertificates() + "/" + cert, scenario};
        argv.insert(argv.end(), args.begin(), args.end());
        return argv;
    }
    int port_;
    ChildProcess process_;
};

}  // namespace tolvan::test
