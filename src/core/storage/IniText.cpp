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
    return load(AT_FDCWD, path.c_str(), path);
}

bool IniText::load(int directory, const char* name, const std::string& path)
{
    lines_.clear();
    sections_.clear();
    converted_.clear();
    // O_NONBLOCK: a FIFO put where a file belongs must not hang the program.
    const int fd = ::openat(directory, name, O_RDONLY | O_CLOEXEC | O_NONBLOCK);
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
                entry.signature = isAscii(entry.key) ? asciiSignature(entry.key) : kOtherKey;
            }
            lines_.push_back(entry);
            ++sections_.back().count;
        }
    });
}

const IniText::Section* IniText::findSection(std::string_view section) const
{
    // Names are cut as BigIniFile cuts them (a header holds at most 253 characters).
    std::string cut;
    if (section.size() > kIniMaxChars - 2) {
        cut = cutChars(section, kIniMaxChars - 2);
        section = cut;
    }
    const bool ascii = isAscii(section);
    // A later section of the same name is dropped when a file loads: the first one answers.
    for (const Section& s : sections_)
        if (namesMatch(s.name, s.asciiName, section, ascii))
            return &s;
    return nullptr;
}

std::string_view IniText::valueIn(const Section& s, std::string_view key) const
{
    if (key.size() > kIniMaxChars) {
        const std::string cut = cutChars(key, kIniMaxChars);
        return valueIn(s, cut);
    }
    const Line* const first = lines_.data() + s.first;
    const Line* const end = first + s.count;
    if (isAscii(key)) {
        // An ASCII name matches an ASCII key of the same length and first letter, or any other key.
        const std::uint32_t wanted = asciiSignature(key);
        for (const Line* line = first; line != end; ++line) {
            if (line->signature == wanted ? asciiEqualsIgnoreCase(line->key, key)
                                          : line->signature == kOtherKey && equalsIgnoreCase(line->key, key))
                return line->value;
        }
        return {};
    }
    for (const Line* line = first; line != end; ++line)
        if (line->signature != kNoKey && equalsIgnoreCase(line->key, key))
            return line->value;
    return {};
}

std::string_view IniText::value(std::string_view section, std::string_view key) const
{
    const Section* s = findSection(section);
    return s ? valueIn(*s, key) : std::string_view();
}

void IniText::values(std::string_view section, std::span<const std::string_view> keys,
                     std::span<std::string_view> found) const
{
    const Section* s = findSection(section);
    for (std::size_t k = 0; k < keys.size(); ++k)
        found[k] = s ? valueIn(*s, keys[k]) : std::string_view();
}

}  // namespace tolvan
