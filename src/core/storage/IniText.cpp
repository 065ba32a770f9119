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

namespace {

bool isAscii(std::string_view s)
{
    unsigned char all = 0;  // no early exit: names are short, and the loop stays branch-free
    for (const char c : s)
        all |= static_cast<unsigned char>(c);
    return all < 0x80;
}

// Other names may fold to a different number of bytes: the full comparison decides.
bool namesMatch(std::string_view stored, bool storedAscii, std::string_view wanted, bool wantedAscii)
{
    if (storedAscii && wantedAscii)
        return asciiEqualsIgnoreCase(stored, wanted);
    return equalsIgnoreCase(stored, wanted);
}

}  // namespace

bool IniText::load(const std::string& path)
{
    lines_.clear();
    sections_.clear();
    converted_.clear();
    // O_NONBLOCK: a FIFO put where a file belongs must not hang the program.
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) {
        if (errno == ENOENT || errno == ENOTDIR)
            return false;
        throw FileError(path, std::string("Cannot open file (") + std::strerror(errno) + ")");
    }
    // Read into the buffer's whole room; a regular file that fills less of it
    // has ended, so a small file takes one read and no end-of-file read. The
    // buffer is not cleared first: the bytes read are all that is looked at.
    constexpr std::size_t kFirstRead = 4096;
    std::size_t used = 0;
    for (;;) {
        if (bufferSize_ - used < kFirstRead / 2) {
            const std::size_t size = std::max(2 * used, used + kFirstRead);
            auto grown = std::make_unique_for_overwrite<char[]>(size);
            if (used > 0)
                std::memcpy(grown.get(), buffer_.get(), used);
            buffer_ = std::move(grown);
            bufferSize_ = size;
        }
        const std::size_t room = bufferSize_ - used;
        const ssize_t n = ::read(fd, buffer_.get() + used, room);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            const int err = errno;
            ::close(fd);
            if (err == EISDIR)
                return false;
            throw FileError(path, std::string("Cannot read file (") + std::strerror(err) + ")");
        }
        used += static_cast<std::size_t>(n);
        if (n == 0 || static_cast<std::size_t>(n) < room)
            break;
    }
    ::close(fd);
    index(std::string_view(buffer_.get(), used));
    return true;
}

void IniText::parse(std::string_view bytes)
{
    lines_.clear();
    sections_.clear();
    converted_.assign(bytes);
    index(converted_);
}

void IniText::index(std::string_view text)
{
    if (!isValidUtf8(text)) {
        converted_ = windows1252ToUtf8(text);
        text = converted_;
    }
    forEachIniLine(text, [this](std::string_view line) {
        if (isIniHeader(line)) {
            const std::string_view name = line.substr(1, line.size() - 2);
            sections_.push_back(Section{name, isAscii(name), lines_.size(), 0});
        } else if (!sections_.empty()) {  // lines before the first header belong to none
            Line entry;
            if (const auto eq = line.find('='); eq != std::string_view::npos) {
                entry.key = line.substr(0, eq);
                entry.value = line.substr(eq + 1);
                entry.hasKey = true;
                entry.asciiKey = isAscii(entry.key);
            }
            lines_.push_back(entry);
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
    const bool asciiSection = isAscii(section);
    for (const Section& s : sections_) {
        if (!namesMatch(s.name, s.asciiName, section, asciiSection))
            continue;
        // A later section of the same name is dropped when a file loads: the first one answers.
        const bool asciiKey = isAscii(key);
        for (std::size_t i = s.first; i < s.first + s.count; ++i) {
            const Line& line = lines_[i];
            if (line.hasKey && namesMatch(line.key, line.asciiKey, key, asciiKey))
                return line.value;
        }
        return {};
    }
    return {};
}

}  // namespace tolvan
