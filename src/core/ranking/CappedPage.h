#pragma once
// A result page kept as it arrives, up to 32 MB: an endless answer must not
// take all the memory. Both rank checks keep their pages in one.
#include <cstddef>
#include <string>
#include <string_view>

namespace tolvan {

class CappedPage {
public:
    static constexpr std::size_t kMaxBytes = 32u << 20;

    // Keeps the piece; false, keeping nothing more, once the page would grow
    // past the cap (the caller then ends the transfer).
    bool append(std::string_view piece)
    {
        if (tooLarge_ || text_.size() + piece.size() > kMaxBytes) {
            tooLarge_ = true;
            return false;
        }
        text_.append(piece);
        return true;
    }
    void clear()
    {
        text_.clear();
        tooLarge_ = false;
    }
    bool tooLarge() const { return tooLarge_; }
    std::string& text() { return text_; }
    const std::string& text() const { return text_; }

private:
    std::string text_;
    bool tooLarge_ = false;
};

}  // namespace tolvan
