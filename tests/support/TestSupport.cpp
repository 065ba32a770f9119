#include "TestSupport.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>

namespace fs = std::filesystem;

namespace tolvan::test {

TempDir::TempDir()
{
    std::string pattern = (fs::temp_directory_path() / "tolvan-test-XXXXXX").string();
    if (!::mkdtemp(pattern.data()))
        throw std::runtime_error("mkdtemp failed");
    path_ = pattern;
}

TempDir::~TempDir()
{
    // Tests may leave read-only directories behind; make them writable first.
    // Peers started by a test (a keyring daemon, say) may still be removing
    // their own files while this runs, so nothing here may throw, and a
    // removal that races with them is tried again.
    for (int attempt = 0; attempt < 20; ++attempt) {
        std::error_code ec;
        for (auto it = fs::recursive_directory_iterator(path_, ec); !ec && it != fs::recursive_directory_iterator();
             it.increment(ec)) {
            std::error_code ignored;
            fs::permissions(it->path(), fs::perms::owner_all, fs::perm_options::add, ignored);
        }
        ec.clear();
        fs::remove_all(path_, ec);
        if (!fs::exists(path_, ec))
            return;
        ::usleep(50'000);
    }
}

void TempDir::write(const std::string& relative, const std::string& bytes) const
{
    const fs::path p = fs::path(path_) / relative;
    fs::create_directories(p.parent_path());
    std::ofstream out(p, std::ios::binary | std::ios::trunc);
    out << bytes;
}

std::string TempDir::read(const std::string& relative) const
{
    std::ifstream in(fs::path(path_) / relative, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

int openSocketCount()
{
    int count = 0;
    for (const auto& entry : std::filesystem::directory_iterator("/proc/self/fd")) {
        std::error_code error;
        count += std::filesystem::read_symlink(entry.path(), error).string().starts_with("socket:");
    }
    return count;
}

int freeLoopbackPort()
{
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    addr.sin_port = 0;
    socklen_t len = sizeof addr;
    if (::bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0
        || ::getsockname(fd, reinterpret_cast<sockaddr*>(&addr), &len) != 0) {
        ::close(fd);
        throw std::runtime_error("no free port");
    }
    ::close(fd);
    return ntohs(addr.sin_port);
}

std::string testData(const std::string& relative)
{
    std::ifstream in(fs::path(TOLVAN_TEST_DATA) / relative, std::ios::binary);
    if (!in)
        throw std::runtime_error("missing test data: " + relative);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

}  // namespace tolvan::test
