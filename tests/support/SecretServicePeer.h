#pragma once
// A private Secret Service for tests: its own session bus and a keyring daemon
// with an unlocked keyring in a throwaway home, so tests never touch the
// user's secrets. Started once per test program, on first use; the process
// environment then points the client libraries at it.
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <stdexcept>
#include <string>

#include "TestSupport.h"

namespace tolvan::test {

class SecretServicePeer {
public:
    static SecretServicePeer& instance()
    {
        static SecretServicePeer peer;
        return peer;
    }
    ~SecretServicePeer()
    {
        if (busPid_ > 0)
            ::kill(busPid_, SIGTERM);  // the keyring daemon leaves with its bus
    }

private:
    SecretServicePeer()
    {
        ::setenv("HOME", home_.path().c_str(), 1);
        ::setenv("XDG_DATA_HOME", home_.file("data").c_str(), 1);
        ::setenv("XDG_RUNTIME_DIR", home_.path().c_str(), 1);
        ::unsetenv("XDG_CURRENT_DESKTOP");
        const std::string bus = output("dbus-daemon --session --fork --print-address=1 --print-pid=1");
        const auto newline = bus.find('\n');
        if (newline == std::string::npos)
            throw std::runtime_error("no session bus");
        ::setenv("DBUS_SESSION_BUS_ADDRESS", bus.substr(0, newline).c_str(), 1);
        busPid_ = std::atoi(bus.c_str() + newline + 1);
        output("printf test | gnome-keyring-daemon --unlock --components=secrets");
    }
    static std::string output(const std::string& command)
    {
        FILE* p = ::popen(command.c_str(), "r");
        if (!p)
            throw std::runtime_error("cannot run " + command);
        std::string out;
        char buf[512];
        for (std::size_t n; (n = std::fread(buf, 1, sizeof buf, p)) > 0;)
            out.append(buf, n);
        if (::pclose(p) != 0)
            throw std::runtime_error("failed: " + command);
        return out;
    }

    TempDir home_;
    pid_t busPid_ = -1;
};

}  // namespace tolvan::test
