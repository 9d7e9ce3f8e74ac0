#pragma once

#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>

namespace spreadsheet::xls {

// Little-endian field access. Callers check the length first; these only decode.
inline std::uint8_t GetU8(std::string_view data, std::size_t at) {
    return static_cast<std::uint8_t>(data[at]);
}
inline std::uint16_t GetU16(std::string_view data, std::size_t at) {
    return static_cast<std::uint16_t>(GetU8(data, at) | (GetU8(data, at + 1) << 8));
}
inline std::uint32_t GetU32(std::string_view data, std::size_t at) {
    return static_cast<std::uint32_t>(GetU16(data, at)) |
           (static_cast<std::uint32_t>(GetU16(data, at + 2)) << 16);
}
inline double GetF64(std::string_view data, std::size_t at) {
    std::uint64_t bits = static_cast<std::uint64_t>(GetU32(data, at)) |
                         (static_cast<std::uint64_t>(GetU32(data, at + 4)) << 32);
    double value;
    std::memcpy(&value, &bits, sizeof value);
    return value;
}

inline void PutU16At(std::string& out, std::size_t at, std::uint16_t v) {
    out[at] = static_cast<char>(v & 0xff);
    out[at + 1] = static_cast<char>(v >> 8);
}
inline void PutU32At(std::string& out, std::size_t at, std::uint32_t v) {
    PutU16At(out, at, static_cast<std::uint16_t>(v & 0xffff));
    PutU16At(out, at + 2, static_cast<std::uint16_t>(v >> 16));
}
inline void AppendU8(std::string& out, std::uint8_t v) {
    out.push_back(static_cast<char>(v));
}
inline void AppendU16(std::string& out, std::uint16_t v) {
    out.push_back(static_cast<char>(v & 0xff));
    out.push_back(static_cast<char>(v >> 8));
}
inline void AppendU32(std::string& out, std::uint32_t v) {
    AppendU16(out, static_cast<std::uint16_t>(v & 0xffff));
    AppendU16(out, static_cast<std::uint16_t>(v >> 16));
}
inline void AppendF64(std::string& out, double value) {
    std::uint64_t bits;
    std::memcpy(&bits, &value, sizeof bits);
    AppendU32(out, static_cast<std::uint32_t>(bits & 0xffffffffu));
    AppendU32(out, static_cast<std::uint32_t>(bits >> 32));
}

}  // namespace spreadsheet::xls
