// Conversions between the wide strings the program keeps its texts in (UTF-32 on Linux) and
// the UTF-8 and UTF-16 forms that files, libraries and window messages use.
// Invalid input never fails: each bad sequence becomes U+FFFD.
#pragma once

#include <string>
#include <string_view>

namespace platform::text {

std::string ToUtf8(std::wstring_view wide);
std::wstring FromUtf8(std::string_view utf8);
std::u16string ToUtf16(std::wstring_view wide);
std::wstring FromUtf16(std::u16string_view utf16);

}  // namespace platform::text
