#pragma once
// application/x-www-form-urlencoded values: the one encoder for form bodies,
// request placeholders and the sign-up post.
#include <string>
#include <string_view>

namespace tolvan {

// Letters, digits and "-_.*" stay; a blank becomes "+"; every other byte
// (UTF-8 bytes included) becomes "%XX" with upper-case hex digits.
std::string formEncode(std::string_view value);

}  // namespace tolvan
