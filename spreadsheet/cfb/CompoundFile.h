#pragma once

#include <array>
#include <cstdint>
#include <map>
#include <string>
#include <string_view>
#include <vector>

namespace spreadsheet::cfb {

// True when bytes start with the 8-byte signature of an OLE2 compound file.
bool LooksLikeCompoundFile(std::string_view bytes);

// One storage or stream of a compound file. Names are UTF-8.
struct Entry {
    enum class Kind : std::uint8_t { Storage, Stream };

    Kind kind = Kind::Stream;
    std::string name;
    std::array<std::uint8_t, 16> clsid{};  // storages only; zero for streams
    std::uint32_t stateBits = 0;
    std::uint64_t creationTime = 0;  // FILETIME, as stored
    std::uint64_t modifiedTime = 0;
    std::string data;             // streams only
    std::vector<Entry> children;  // storages only, in the order the file lists them
};

// A compound file read wholly into memory: a tree of storages and streams with their names,
// CLSIDs, state bits and times. Parsing checks every sector number, chain and size against the
// data, so a damaged or hostile file throws spreadsheet::SpreadsheetError with the reason.
class CompoundFile {
  public:
    static CompoundFile Parse(std::string_view bytes);

    // A stream in the root storage; names match without regard to letter case.
    bool HasStream(std::string_view name) const;
    std::string ReadStream(std::string_view name) const;  // throws SpreadsheetError when absent

    // The same tree with some root streams replaced (or added); every other stream and storage
    // is copied as it was (CLSIDs, state bits and times kept).
    std::string Serialize(const std::map<std::string, std::string>& replacedRootStreams) const;

    const Entry& root() const { return root_; }
    Entry& root() { return root_; }
    // 3 (512-byte sectors) or 4 (4096-byte sectors): the version the file was read in and
    // Serialize writes.
    int majorVersion() const { return majorVersion_; }
    void setMajorVersion(int version);  // 3 or 4; anything else throws SpreadsheetError

  private:
    const Entry* FindRootStream(std::string_view name) const;

    Entry root_;
    int majorVersion_ = 3;
};

}  // namespace spreadsheet::cfb
