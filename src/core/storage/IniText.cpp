#include "storage/IniText.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "util/Errors.h"
#include "util/TextCodec.h"

namespace tolvan {

std::string_view cutIniLine(std::string_view line)
{
    return line.substr(0, cutChars(line, kIniMaxChars).size());
}

bool IniText::load(const std::string& path)
{
    text_.clear();
    lines_.clear();
    sections_.clear();
    // O_NONBLOCK: a FIFO put where a file belongs must not hang the program.
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) {
        if (errno == ENOENT || errno == ENOTDIR)
            return false;
        throw FileError(path, std::string("Cannot open file (") + std::strerror(errno) + ")");
    }
    // Read into the buffer's whole capacity; a regular file that fills less of
    // it has ended, so a small file takes one read and no end-of-file read.
    constexpr std::size_t kFirstRead = 4096;
    std::size_t used = 0;
    for (;;) {
        if (text_.size() - used < kFirstRead / 2)
            text_.resize(std::max(text_.capacity(), std::max(2 * used, used + kFirstRead)));
        const std::size_t room = text_.size() - used;
        const ssize_t n = ::read(fd, text_.data() + used, room);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            const int err = errno;
            ::close(fd);
            text_.clear();
            if (err == EISDIR)
                return false;
            throw FileError(path, std::string("Cannot read file (") + std::strerror(err) + ")");
        }
        used += static_cast<std::size_t>(n);
        if (n == 0 || static_cast<std::size_t>(n) < room)
            break;
    }
    ::close(fd);
    text_.resize(used);
    index();
    return true;
}

void IniText::parse(std::string_view bytes)
{
    text_.assign(bytes);
    index();
}

void IniText::index()
{
    if (!isValidUtf8(text_))
        text_ = windows1252ToUtf8(text_);
    lines_.clear();
    sections_.clear();
    forEachIniLine(text_, [this](std::string_view line) {
        if (isIniHeader(line)) {
            sections_.push_back(Section{line.substr(1, line.size() - 2), lines_.size(), 0});
        } else if (!sections_.empty()) {  // lines before the first header belong to none
            lines_.push_back(line);
            ++sections_.back().count;
        }
    });
}

std::string_view IniText::value(std::string_view section, std::string_view key) const
{
    // Names are cut as BigIniFile cuts them (a header holds at most 253 characters).
    std::string cutSection, cutKey;
    if (section.size() > kIniMaxChars - 2) {
        cutSection = cutChars(section, kIniMaxChars - 2);
        section = cutSection;
    }
    if (key.size() > kIniMaxChars) {
        cutKey = cutChars(key, kIniMaxChars);
        key = cutKey;
    }
    for (const Section& s : sections_) {
        if (!equalsIgnoreCase(s.name, section))
            continue;
        // A later section of the same name is dropped when a file loads: the first one answers.
        for (std::size_t i = s.first; i < s.first + s.count; ++i) {
            const std::string_view line = lines_[i];
            const auto eq = line.find('=');
            if (eq != std::string_view::npos && equalsIgnoreCase(line.substr(0, eq), key))
                return line.substr(eq + 1);
        }
        return {};
    }
    return {};
}

}  // namespace tolvan
