#pragma once
// Text the program writes line by line, every line ending in CR LF.
#include <string>
#include <string_view>
#include <utility>

namespace tolvan {

class CrLfText {
public:
    void line(std::string_view text)
    {
        text_ += text;
        text_ += "\r\n";
    }
    std::string take() { return std::move(text_); }

private:
    std::string text_;
};

}  // namespace tolvan
