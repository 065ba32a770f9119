#include "secrets/SecretStore.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <sstream>

#include "util/TextCodec.h"

namespace tolvan {

std::string smtpPasswordKey(const std::string& user, const std::string& server)
{
    std::string host = server.substr(0, server.find(':'));
    const auto first = host.find_first_not_of(" \t");
    host = first == std::string::npos ? std::string() : host.substr(first, host.find_last_not_of(" \t") - first + 1);
    return "smtp:" + user + "@" + host;
}

std::string rankApiKeyKey(const std::string& engine) { return "rank-key:" + engine; }

Result<std::string> readOwnerOnlyFile(const std::string& path, const std::string& what)
{
    // Opened first and checked through the open file, so the file checked is
    // the file read.
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY);
    if (fd < 0)
        return Error{errno, what + " " + path + " cannot be read: " + std::strerror(errno)};
    struct Closer {
        int fd;
        ~Closer() { ::close(fd); }
    } closer{fd};
    struct stat st{};
    if (::fstat(fd, &st) != 0)
        return Error{errno, what + " " + path + " cannot be read: " + std::strerror(errno)};
    if (!S_ISREG(st.st_mode))
        return Error{EINVAL, what + " " + path + " is not a regular file."};
    if (st.st_uid != ::geteuid())
        return Error{EPERM, what + " " + path + " belongs to another user; it must be your own."};
    if ((st.st_mode & 077) != 0) {
        char mode[8];
        std::snprintf(mode, sizeof mode, "%04o", static_cast<unsigned>(st.st_mode & 07777));
        return Error{EPERM, what + " " + path + " can be read by others (mode " + mode +
                                "); make it readable by its owner only (chmod 600)."};
    }
    std::string text;
    char buf[4096];
    for (;;) {
        const ssize_t n = ::read(fd, buf, sizeof buf);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return Error{errno, what + " " + path + " cannot be read: " + std::strerror(errno)};
        if (n == 0 || text.size() > 64 * 1024)
            break;
        text.append(buf, static_cast<std::size_t>(n));
    }
    return text;
}

Result<std::string> readPasswordFile(const std::string& path)
{
    auto text = readOwnerOnlyFile(path, "The password file");
    if (!text.ok())
        return text;
    std::string password = text.value().substr(0, text.value().find_first_of("\r\n"));
    if (password.empty())
        return Error{EINVAL, "The password file " + path + " is empty."};
    return password;
}

Result<std::string> unattendedSmtpPassword(SecretStore* store, const std::string& user, const std::string& server)
{
    std::string storeSays = "the desktop's secret store holds none";
    if (store) {
        auto found = store->read(smtpPasswordKey(user, server));
        if (found.ok() && found.value())
            return *found.value();
        if (!found.ok())
            storeSays = found.error().message;
    }
    if (const char* file = std::getenv("TOLVAN_SMTP_PASSWORD_FILE"); file && *file)
        return readPasswordFile(file);
    return Error{ENOENT, "No mail password for " + user + " (" + storeSays +
                             ", and TOLVAN_SMTP_PASSWORD_FILE names no file); the report was not mailed."};
}

Result<std::string> unattendedRankApiKey(SecretStore* store, const std::string& engine)
{
    std::string storeSays;
    if (store) {
        auto found = store->read(rankApiKeyKey(engine));
        if (found.ok() && found.value())
            return *found.value();
        if (!found.ok())
            storeSays = found.error().message;
    }
    const char* file = std::getenv("TOLVAN_RANK_KEYS_FILE");
    if (!file || !*file) {
        if (!storeSays.empty())
            return Error{ENOENT, storeSays + " (and TOLVAN_RANK_KEYS_FILE names no file)"};
        return std::string();
    }
    auto text = readOwnerOnlyFile(file, "The rank keys file");
    if (!text.ok())
        return text;
    auto trimmed = [](const std::string& t) {
        const auto first = t.find_first_not_of(" \t\r");
        return first == std::string::npos ? std::string() : t.substr(first, t.find_last_not_of(" \t\r") - first + 1);
    };
    std::istringstream lines(text.value());
    for (std::string line; std::getline(lines, line);) {
        line = trimmed(line);
        const std::size_t equals = line.find('=');
        if (line.empty() || line[0] == '#' || equals == std::string::npos)
            continue;
        if (asciiLower(trimmed(line.substr(0, equals))) == asciiLower(engine))
            return trimmed(line.substr(equals + 1));
    }
    return std::string();
}

}  // namespace tolvan
