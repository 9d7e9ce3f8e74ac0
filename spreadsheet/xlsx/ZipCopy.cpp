#include "spreadsheet/xlsx/ZipCopy.h"

#include <zlib.h>

#include <cstdint>
#include <ctime>
#include <set>
#include <string_view>
#include <vector>

#include "spreadsheet/model/Workbook.h"

namespace spreadsheet::xlsx {
namespace {

constexpr std::uint32_t kLocalHeaderSignature = 0x04034b50;
constexpr std::uint32_t kCentralHeaderSignature = 0x02014b50;
constexpr std::uint32_t kEndSignature = 0x06054b50;
constexpr std::uint32_t kDataDescriptorSignature = 0x08074b50;
constexpr std::size_t kLocalHeaderSize = 30;
constexpr std::size_t kCentralHeaderSize = 46;
constexpr std::size_t kEndSize = 22;
constexpr std::size_t kMaxCommentSize = 0xFFFF;
constexpr std::uint16_t kFlagDataDescriptor = 1u << 3;
constexpr std::uint16_t kFlagUtf8Name = 1u << 11;
constexpr std::uint16_t kMethodDeflate = 8;
constexpr std::uint16_t kVersionNeeded = 20;  // 2.0: deflate
constexpr std::uint32_t kZip64Marker = 0xFFFFFFFF;
constexpr int kDeflateLevel = 6;

std::uint16_t U16(std::string_view d, std::size_t at) {
    return static_cast<std::uint16_t>(static_cast<unsigned char>(d[at]) |
                                      (static_cast<unsigned char>(d[at + 1]) << 8));
}
std::uint32_t U32(std::string_view d, std::size_t at) {
    return static_cast<std::uint32_t>(U16(d, at)) |
           (static_cast<std::uint32_t>(U16(d, at + 2)) << 16);
}
void Put16(std::string& out, std::uint16_t v) {
    out += static_cast<char>(v & 0xFF);
    out += static_cast<char>(v >> 8);
}
void Put32(std::string& out, std::uint32_t v) {
    Put16(out, static_cast<std::uint16_t>(v & 0xFFFF));
    Put16(out, static_cast<std::uint16_t>(v >> 16));
}
void Set32(std::string& out, std::size_t at, std::uint32_t v) {
    for (int i = 0; i < 4; ++i)
        out[at + i] = static_cast<char>((v >> (8 * i)) & 0xFF);
}

std::string RawDeflate(const std::string& data) {
    z_stream z{};
    if (deflateInit2(&z, kDeflateLevel, Z_DEFLATED, -MAX_WBITS, 8, Z_DEFAULT_STRATEGY) != Z_OK) {
        throw SpreadsheetError("cannot start compressing a part");
    }
    std::string out(deflateBound(&z, static_cast<uLong>(data.size())), '\0');
    z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data.data()));
    z.avail_in = static_cast<uInt>(data.size());
    z.next_out = reinterpret_cast<Bytef*>(out.data());
    z.avail_out = static_cast<uInt>(out.size());
    const int rc = deflate(&z, Z_FINISH);
    const std::size_t written = z.total_out;
    deflateEnd(&z);
    if (rc != Z_STREAM_END)
        throw SpreadsheetError("cannot compress a part");
    out.resize(written);
    return out;
}

struct DosTime {
    std::uint16_t time = 0, date = (1 << 5) | 1;  // 1980-01-01
};

DosTime Now() {
    const std::time_t t = std::time(nullptr);
    std::tm tm{};
    if (!localtime_r(&t, &tm) || tm.tm_year < 80)
        return {};
    DosTime d;
    d.time = static_cast<std::uint16_t>((tm.tm_hour << 11) | (tm.tm_min << 5) | (tm.tm_sec / 2));
    d.date =
        static_cast<std::uint16_t>(((tm.tm_year - 80) << 9) | ((tm.tm_mon + 1) << 5) | tm.tm_mday);
    return d;
}

bool IsAscii(std::string_view s) {
    for (char c : s)
        if (static_cast<unsigned char>(c) >= 0x80)
            return false;
    return true;
}

struct Entry {
    std::string name;
    std::string_view central;  // the whole central directory record
    std::string_view local;    // local header, data and data descriptor
};

std::optional<std::vector<Entry>> ReadDirectory(std::string_view zip, std::string_view& comment) {
    if (zip.size() < kEndSize)
        return std::nullopt;
    std::size_t end = std::string_view::npos;
    const std::size_t lowest =
        zip.size() > kEndSize + kMaxCommentSize ? zip.size() - kEndSize - kMaxCommentSize : 0;
    for (std::size_t at = zip.size() - kEndSize + 1; at-- > lowest;) {
        if (U32(zip, at) == kEndSignature && at + kEndSize + U16(zip, at + 20) == zip.size()) {
            end = at;
            break;
        }
    }
    if (end == std::string_view::npos)
        return std::nullopt;
    if (U16(zip, end + 4) != 0 || U16(zip, end + 6) != 0)
        return std::nullopt;  // several disks
    const std::size_t count = U16(zip, end + 10);
    const std::uint32_t cdSize = U32(zip, end + 12), cdOffset = U32(zip, end + 16);
    if (count == 0xFFFF || cdSize == kZip64Marker || cdOffset == kZip64Marker)
        return std::nullopt;
    if (U16(zip, end + 8) != count || static_cast<std::uint64_t>(cdOffset) + cdSize > end) {
        return std::nullopt;
    }
    comment = zip.substr(end + kEndSize);
    std::vector<Entry> entries;
    std::size_t at = cdOffset;
    for (std::size_t i = 0; i < count; ++i) {
        if (at + kCentralHeaderSize > end || U32(zip, at) != kCentralHeaderSignature)
            return std::nullopt;
        const std::size_t recordSize =
            kCentralHeaderSize + U16(zip, at + 28) + U16(zip, at + 30) + U16(zip, at + 32);
        if (at + recordSize > end)
            return std::nullopt;
        const std::uint16_t flags = U16(zip, at + 8);
        const std::uint32_t compressed = U32(zip, at + 20), uncompressed = U32(zip, at + 24);
        const std::uint32_t offset = U32(zip, at + 42);
        if (compressed == kZip64Marker || uncompressed == kZip64Marker || offset == kZip64Marker) {
            return std::nullopt;
        }
        Entry e;
        e.name = std::string(zip.substr(at + kCentralHeaderSize, U16(zip, at + 28)));
        e.central = zip.substr(at, recordSize);
        if (static_cast<std::uint64_t>(offset) + kLocalHeaderSize > cdOffset ||
            U32(zip, offset) != kLocalHeaderSignature) {
            return std::nullopt;
        }
        std::uint64_t length =
            kLocalHeaderSize + U16(zip, offset + 26) + U16(zip, offset + 28) + compressed;
        if (flags & kFlagDataDescriptor) {
            const std::uint64_t dd = offset + length;
            length += dd + 4 <= cdOffset &&
                              U32(zip, static_cast<std::size_t>(dd)) == kDataDescriptorSignature
                          ? 16
                          : 12;
        }
        if (offset + length > cdOffset)
            return std::nullopt;
        e.local = zip.substr(offset, static_cast<std::size_t>(length));
        entries.push_back(std::move(e));
        at += recordSize;
    }
    return entries;
}

}  // namespace

std::optional<std::string> RewriteByCopying(
    const std::string& original, const std::map<std::string, std::optional<std::string>>& changes) {
    std::string_view comment;
    const auto entries = ReadDirectory(original, comment);
    if (!entries)
        return std::nullopt;

    std::string out, central;
    out.reserve(original.size());
    std::size_t count = 0;
    const DosTime now = Now();
    auto addNew = [&](const std::string& name, const std::string& data, DosTime when) {
        const std::string compressed = RawDeflate(data);
        const std::uint32_t crc = static_cast<std::uint32_t>(
            crc32(crc32(0, nullptr, 0), reinterpret_cast<const Bytef*>(data.data()),
                  static_cast<uInt>(data.size())));
        if (out.size() > 0xFFFFFFF0u - compressed.size() || data.size() >= kZip64Marker) {
            throw SpreadsheetError("the saved package would need zip64");
        }
        const std::uint32_t offset = static_cast<std::uint32_t>(out.size());
        const std::uint16_t flags = IsAscii(name) ? 0 : kFlagUtf8Name;
        Put32(out, kLocalHeaderSignature);
        Put16(out, kVersionNeeded);
        Put16(out, flags);
        Put16(out, kMethodDeflate);
        Put16(out, when.time);
        Put16(out, when.date);
        Put32(out, crc);
        Put32(out, static_cast<std::uint32_t>(compressed.size()));
        Put32(out, static_cast<std::uint32_t>(data.size()));
        Put16(out, static_cast<std::uint16_t>(name.size()));
        Put16(out, 0);
        out += name;
        out += compressed;
        Put32(central, kCentralHeaderSignature);
        Put16(central, kVersionNeeded);  // made by: MS-DOS attributes, 2.0
        Put16(central, kVersionNeeded);
        Put16(central, flags);
        Put16(central, kMethodDeflate);
        Put16(central, when.time);
        Put16(central, when.date);
        Put32(central, crc);
        Put32(central, static_cast<std::uint32_t>(compressed.size()));
        Put32(central, static_cast<std::uint32_t>(data.size()));
        Put16(central, static_cast<std::uint16_t>(name.size()));
        Put16(central, 0);  // extra
        Put16(central, 0);  // comment
        Put16(central, 0);  // disk
        Put16(central, 0);  // internal attributes
        Put32(central, 0);  // external attributes
        Put32(central, offset);
        central += name;
        ++count;
    };

    std::set<std::string> done;
    for (const Entry& e : *entries) {
        const auto change = changes.find(e.name);
        if (change != changes.end()) {
            done.insert(e.name);
            if (change->second) {
                addNew(e.name, *change->second, {U16(e.central, 12), U16(e.central, 14)});
            }
            continue;
        }
        if (out.size() + e.local.size() >= kZip64Marker)
            return std::nullopt;
        const std::size_t offset = out.size();
        out.append(e.local);
        const std::size_t record = central.size();
        central.append(e.central);
        Set32(central, record + 42, static_cast<std::uint32_t>(offset));
        ++count;
    }
    for (const auto& [name, data] : changes)
        if (data && !done.count(name))
            addNew(name, *data, now);

    if (count >= 0xFFFF || out.size() + central.size() >= kZip64Marker)
        return std::nullopt;
    const std::uint32_t cdOffset = static_cast<std::uint32_t>(out.size());
    out += central;
    Put32(out, kEndSignature);
    Put16(out, 0);
    Put16(out, 0);
    Put16(out, static_cast<std::uint16_t>(count));
    Put16(out, static_cast<std::uint16_t>(count));
    Put32(out, static_cast<std::uint32_t>(central.size()));
    Put32(out, cdOffset);
    Put16(out, static_cast<std::uint16_t>(comment.size()));
    out.append(comment);
    return out;
}

}  // namespace spreadsheet::xlsx
