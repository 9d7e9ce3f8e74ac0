#pragma once

#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string_view>

namespace merge {

class SettingParseError : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

// The one rule by which a number field becomes a signed 32-bit integer: leading spaces, then
// decimal digits with an optional sign, or hexadecimal digits after "$", "x", "X", "0x" or
// "0X" (all 32 bits, so eight F digits are -1); nothing may follow the digits.
std::optional<std::int32_t> TryParseSettingInt(std::string_view text);

// As above; a text that does not parse throws SettingParseError naming it.
std::int32_t ParseSettingInt(std::string_view text);

}  // namespace merge
