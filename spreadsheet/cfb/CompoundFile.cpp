// The OLE2 compound-file reader and writer, written by hand from the [MS-CFB] format
// documentation rather than on libgsf, for three reasons:
//  - libgsf sizes its tables from the header's counts and allocates through GLib, which aborts
//    the process when an allocation fails; a hostile header could take the whole program down,
//    and we cannot hold it to an allocation cap derived from the file's size;
//  - its writer (GsfOutfileMSOle) cannot set the state bits or the creation and modification
//    times of an entry, so a lossless save of the user's workbook would drop them;
//  - looking a child up by name is case-sensitive there, while the format compares names
//    without regard to letter case.
// Every allocation here is bounded by the size of the input: each sector belongs to at most
// one chain, and a chain longer than the file's sector count is a loop.

#include "spreadsheet/cfb/CompoundFile.h"

#include <QChar>
#include <algorithm>
#include <cstring>
#include <optional>

#include "spreadsheet/model/Workbook.h"
#include "util/Utf.h"

namespace spreadsheet::cfb {

namespace {

constexpr std::string_view kSignature{"\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1", 8};

constexpr std::size_t kHeaderFieldsSize = 512;  // the header's fields; a v4 sector pads it
constexpr std::size_t kHeaderDifatCount = 109;  // FAT sector numbers held in the header
constexpr std::size_t kHeaderDifatOffset = 76;
constexpr std::size_t kDirectoryEntrySize = 128;
constexpr std::size_t kMaxNameUnits = 31;  // plus the terminating null: 64 bytes
constexpr std::uint32_t kMiniStreamCutoff = 4096;
constexpr std::uint32_t kMiniSectorSize = 64;
constexpr std::uint16_t kMiniSectorShift = 6;
constexpr std::uint16_t kByteOrderMark = 0xFFFE;
constexpr std::uint16_t kMinorVersion = 0x003E;
constexpr std::size_t kMaxStorageDepth = 256;

constexpr std::uint32_t kMaxRegularSector = 0xFFFFFFFA;
constexpr std::uint32_t kDifatSector = 0xFFFFFFFC;
constexpr std::uint32_t kFatSector = 0xFFFFFFFD;
constexpr std::uint32_t kEndOfChain = 0xFFFFFFFE;
constexpr std::uint32_t kFreeSector = 0xFFFFFFFF;
constexpr std::uint32_t kNoStream = 0xFFFFFFFF;

enum ObjectType : std::uint8_t {
    kUnallocated = 0,
    kStorageObject = 1,
    kStreamObject = 2,
    kRootStorageObject = 5,
};
enum Color : std::uint8_t { kRed = 0, kBlack = 1 };

[[noreturn]] void Fail(const std::string& reason) {
    throw SpreadsheetError("damaged compound file: " + reason);
}

std::uint16_t LoadU16(std::string_view b, std::size_t at) {
    return static_cast<std::uint16_t>(static_cast<unsigned char>(b[at]) |
                                      static_cast<unsigned char>(b[at + 1]) << 8);
}
std::uint32_t LoadU32(std::string_view b, std::size_t at) {
    return static_cast<std::uint32_t>(LoadU16(b, at)) |
           static_cast<std::uint32_t>(LoadU16(b, at + 2)) << 16;
}
std::uint64_t LoadU64(std::string_view b, std::size_t at) {
    return static_cast<std::uint64_t>(LoadU32(b, at)) |
           static_cast<std::uint64_t>(LoadU32(b, at + 4)) << 32;
}
void StoreU16(std::string& b, std::size_t at, std::uint16_t v) {
    b[at] = static_cast<char>(v & 0xFF);
    b[at + 1] = static_cast<char>(v >> 8);
}
void StoreU32(std::string& b, std::size_t at, std::uint32_t v) {
    StoreU16(b, at, static_cast<std::uint16_t>(v & 0xFFFF));
    StoreU16(b, at + 2, static_cast<std::uint16_t>(v >> 16));
}
void StoreU64(std::string& b, std::size_t at, std::uint64_t v) {
    StoreU32(b, at, static_cast<std::uint32_t>(v & 0xFFFFFFFF));
    StoreU32(b, at + 4, static_cast<std::uint32_t>(v >> 32));
}

std::string SectorText(std::uint32_t sector) {
    return "sector " + std::to_string(sector);
}

// Names compare as the format orders them: shorter first, then by the simple upper case of
// each UTF-16 unit.
char16_t FoldCase(char16_t c) {
    if (c < 0x80)
        return (c >= 'a' && c <= 'z') ? static_cast<char16_t>(c - 'a' + 'A') : c;
    if (c >= 0xD800 && c <= 0xDFFF)
        return c;
    return static_cast<char16_t>(QChar::toUpper(static_cast<char32_t>(c)));
}
int CompareNames(std::u16string_view a, std::u16string_view b) {
    if (a.size() != b.size())
        return a.size() < b.size() ? -1 : 1;
    for (std::size_t i = 0; i < a.size(); ++i) {
        char16_t x = FoldCase(a[i]), y = FoldCase(b[i]);
        if (x != y)
            return x < y ? -1 : 1;
    }
    return 0;
}

// ---------------------------------------------------------------------------------------------
// Reading

struct RawEntry {
    std::u16string name;
    std::uint8_t type = kUnallocated;
    std::uint32_t left = kNoStream, right = kNoStream, child = kNoStream;
    std::array<std::uint8_t, 16> clsid{};
    std::uint32_t stateBits = 0;
    std::uint64_t creationTime = 0, modifiedTime = 0;
    std::uint32_t startSector = 0;
    std::uint64_t size = 0;
};

struct ParsedFile {
    Entry root;
    int majorVersion = 3;
};

class Reader {
  public:
    explicit Reader(std::string_view bytes) : bytes_(bytes) {}

    ParsedFile Read();

  private:
    void ReadHeader();
    void ReadFat();
    std::string ReadRegularChain(std::uint32_t start, std::uint64_t size, const std::string& what);
    std::string ReadWholeChain(std::uint32_t start, const std::string& what);
    std::string ReadMiniChain(std::uint32_t start, std::uint64_t size, const std::string& what);
    void ReadDirectory();
    void BuildTree(Entry& root);

    std::string_view Sector(std::uint32_t sector) const;
    void Claim(std::uint32_t sector, const std::string& what);

    std::string_view bytes_;
    int majorVersion_ = 3;
    std::size_t sectorSize_ = 512;
    std::size_t headerSize_ = 512;
    std::uint32_t sectorCount_ = 0;
    std::uint32_t fatSectorCount_ = 0;
    std::uint32_t firstDirectorySector_ = 0;
    std::uint32_t firstMiniFatSector_ = 0;
    std::uint32_t miniFatSectorCount_ = 0;
    std::uint32_t firstDifatSector_ = 0;
    std::uint32_t difatSectorCount_ = 0;

    std::vector<std::uint32_t> fat_;
    std::vector<std::uint32_t> miniFat_;
    std::vector<bool> claimed_;      // a sector already part of some chain
    std::vector<bool> miniClaimed_;  // the same for the mini stream
    std::string miniStream_;
    std::vector<RawEntry> entries_;
};

std::string_view Reader::Sector(std::uint32_t sector) const {
    // Callers check sector < sectorCount_; the last sector of a file may be cut short, the
    // missing bytes read as absent (an empty tail).
    std::size_t offset = headerSize_ + static_cast<std::size_t>(sector) * sectorSize_;
    return bytes_.substr(offset, sectorSize_);
}

void Reader::Claim(std::uint32_t sector, const std::string& what) {
    if (sector >= sectorCount_)
        Fail(what + " points to " + SectorText(sector) + ", past the end of the file (" +
             std::to_string(sectorCount_) + " sectors)");
    if (claimed_[sector])
        Fail(what + " uses " + SectorText(sector) +
             " that another chain already uses, or its chain loops");
    claimed_[sector] = true;
}

void Reader::ReadHeader() {
    if (bytes_.size() < kHeaderFieldsSize)
        Fail("the file is " + std::to_string(bytes_.size()) +
             " bytes long, shorter than the 512-byte header");
    if (!LooksLikeCompoundFile(bytes_))
        Fail("the signature is missing");
    if (LoadU16(bytes_, 28) != kByteOrderMark)
        Fail("the byte-order mark is not 0xFFFE");
    majorVersion_ = LoadU16(bytes_, 26);
    const std::uint16_t sectorShift = LoadU16(bytes_, 30);
    if (majorVersion_ == 3 && sectorShift == 9) {
        sectorSize_ = 512;
    } else if (majorVersion_ == 4 && sectorShift == 12) {
        sectorSize_ = 4096;
    } else {
        Fail("version " + std::to_string(majorVersion_) + " with sector shift " +
             std::to_string(sectorShift) + " is not a known layout");
    }
    headerSize_ = sectorSize_;
    if (LoadU16(bytes_, 32) != kMiniSectorShift)
        Fail("the mini sector size is not 64 bytes");
    if (LoadU32(bytes_, 56) != kMiniStreamCutoff)
        Fail("the mini stream cutoff is not 4096");
    if (bytes_.size() < headerSize_)
        Fail("the file ends inside its 4096-byte header");

    const std::size_t afterHeader = bytes_.size() - headerSize_;
    const std::size_t sectors = (afterHeader + sectorSize_ - 1) / sectorSize_;
    if (sectors > kMaxRegularSector)
        Fail("the file has too many sectors");
    sectorCount_ = static_cast<std::uint32_t>(sectors);

    fatSectorCount_ = LoadU32(bytes_, 44);
    firstDirectorySector_ = LoadU32(bytes_, 48);
    firstMiniFatSector_ = LoadU32(bytes_, 60);
    miniFatSectorCount_ = LoadU32(bytes_, 64);
    firstDifatSector_ = LoadU32(bytes_, 68);
    difatSectorCount_ = LoadU32(bytes_, 72);
    if (fatSectorCount_ == 0)
        Fail("the header lists no FAT sector");
    if (fatSectorCount_ > sectorCount_)
        Fail("the header lists " + std::to_string(fatSectorCount_) + " FAT sectors in a file of " +
             std::to_string(sectorCount_) + " sectors");
    if (miniFatSectorCount_ > sectorCount_)
        Fail("the mini FAT is larger than the file");
    if (difatSectorCount_ > sectorCount_)
        Fail("the DIFAT is larger than the file");
    claimed_.assign(sectorCount_, false);
}

void Reader::ReadFat() {
    std::vector<std::uint32_t> fatSectors;
    fatSectors.reserve(fatSectorCount_);
    for (std::size_t i = 0; i < kHeaderDifatCount && fatSectors.size() < fatSectorCount_; ++i)
        fatSectors.push_back(LoadU32(bytes_, kHeaderDifatOffset + 4 * i));

    // FAT sector numbers beyond the header's 109 live in a chain of DIFAT sectors, each ending
    // with the number of the next.
    const std::size_t perDifatSector = sectorSize_ / 4 - 1;
    std::uint32_t difat = firstDifatSector_;
    while (fatSectors.size() < fatSectorCount_) {
        if (difat == kEndOfChain || difat == kFreeSector)
            Fail("the DIFAT ends after " + std::to_string(fatSectors.size()) + " of " +
                 std::to_string(fatSectorCount_) + " FAT sectors");
        Claim(difat, "the DIFAT");  // a sector claimed twice: the chain loops
        std::string_view sector = Sector(difat);
        if (sector.size() < sectorSize_)
            Fail("the file ends inside a DIFAT sector");
        for (std::size_t i = 0; i < perDifatSector && fatSectors.size() < fatSectorCount_; ++i)
            fatSectors.push_back(LoadU32(sector, 4 * i));
        difat = LoadU32(sector, 4 * perDifatSector);
    }

    const std::size_t perSector = sectorSize_ / 4;
    fat_.reserve(fatSectors.size() * perSector);
    for (std::uint32_t s : fatSectors) {
        Claim(s, "the FAT");
        std::string_view sector = Sector(s);
        for (std::size_t i = 0; i < perSector; ++i)
            fat_.push_back(4 * i + 4 <= sector.size() ? LoadU32(sector, 4 * i) : kFreeSector);
    }
}

// The first size bytes of the chain that starts at start.
std::string Reader::ReadRegularChain(std::uint32_t start, std::uint64_t size,
                                     const std::string& what) {
    if (size > bytes_.size())
        Fail(what + " claims " + std::to_string(size) + " bytes, more than the file's " +
             std::to_string(bytes_.size()));
    std::string out;
    out.reserve(static_cast<std::size_t>(size));
    std::uint32_t sector = start;
    while (out.size() < size) {
        if (sector == kEndOfChain || sector > kMaxRegularSector)
            Fail(what + " ends after " + std::to_string(out.size()) + " of its " +
                 std::to_string(size) + " bytes");
        Claim(sector, what);
        std::string_view data = Sector(sector);
        std::size_t take = std::min<std::size_t>(sectorSize_, size - out.size());
        if (data.size() < take)
            Fail(what + " runs past the end of the file");
        out.append(data.substr(0, take));
        if (sector >= fat_.size())
            Fail(what + " uses " + SectorText(sector) + ", beyond the FAT");
        sector = fat_[sector];
    }
    return out;
}

// A whole chain of full sectors, until its end (the directory and the mini FAT).
std::string Reader::ReadWholeChain(std::uint32_t start, const std::string& what) {
    std::string out;
    std::uint32_t sector = start;
    while (sector != kEndOfChain) {
        if (sector > kMaxRegularSector)
            Fail(what + " has a broken chain at " + SectorText(sector));
        Claim(sector, what);  // also ends a loop: a sector cannot be claimed twice
        std::string_view data = Sector(sector);
        out.append(data);
        out.append(sectorSize_ - data.size(), '\0');
        if (sector >= fat_.size())
            Fail(what + " uses " + SectorText(sector) + ", beyond the FAT");
        sector = fat_[sector];
    }
    return out;
}

std::string Reader::ReadMiniChain(std::uint32_t start, std::uint64_t size,
                                  const std::string& what) {
    if (size > miniStream_.size())
        Fail(what + " claims " + std::to_string(size) + " bytes, more than the mini stream's " +
             std::to_string(miniStream_.size()));
    const std::size_t miniSectorCount = miniStream_.size() / kMiniSectorSize;
    std::string out;
    out.reserve(static_cast<std::size_t>(size));
    std::uint32_t sector = start;
    while (out.size() < size) {
        if (sector == kEndOfChain || sector > kMaxRegularSector)
            Fail(what + " ends after " + std::to_string(out.size()) + " of its " +
                 std::to_string(size) + " bytes");
        if (sector >= miniSectorCount || sector >= miniFat_.size())
            Fail(what + " points to mini " + SectorText(sector) + ", past the mini stream");
        if (miniClaimed_[sector])
            Fail(what + " uses mini " + SectorText(sector) +
                 " that another chain already uses, or its chain loops");
        miniClaimed_[sector] = true;
        std::size_t take = std::min<std::size_t>(kMiniSectorSize, size - out.size());
        out.append(miniStream_, static_cast<std::size_t>(sector) * kMiniSectorSize, take);
        sector = miniFat_[sector];
    }
    return out;
}

void Reader::ReadDirectory() {
    const std::string directory = ReadWholeChain(firstDirectorySector_, "the directory");
    const std::size_t count = directory.size() / kDirectoryEntrySize;
    if (count == 0)
        Fail("the directory is empty");
    entries_.resize(count);
    for (std::size_t i = 0; i < count; ++i) {
        std::string_view raw =
            std::string_view(directory).substr(i * kDirectoryEntrySize, kDirectoryEntrySize);
        RawEntry& e = entries_[i];
        e.type = static_cast<std::uint8_t>(raw[66]);
        if (e.type == kUnallocated)
            continue;
        const std::uint16_t nameBytes = LoadU16(raw, 64);
        if (nameBytes < 2 || nameBytes > 64 || nameBytes % 2 != 0)
            Fail("directory entry " + std::to_string(i) + " has a name length of " +
                 std::to_string(nameBytes) + " bytes");
        for (std::size_t k = 0; k + 1 < nameBytes / 2u; ++k)
            e.name.push_back(static_cast<char16_t>(LoadU16(raw, 2 * k)));
        e.left = LoadU32(raw, 68);
        e.right = LoadU32(raw, 72);
        e.child = LoadU32(raw, 76);
        for (std::size_t k = 0; k < 16; ++k)
            e.clsid[k] = static_cast<std::uint8_t>(raw[80 + k]);
        e.stateBits = LoadU32(raw, 96);
        e.creationTime = LoadU64(raw, 100);
        e.modifiedTime = LoadU64(raw, 108);
        e.startSector = LoadU32(raw, 116);
        // Version 3 files may leave garbage in the size's high half.
        e.size = majorVersion_ == 3 ? LoadU32(raw, 120) : LoadU64(raw, 120);
    }
    if (entries_[0].type != kRootStorageObject)
        Fail("the first directory entry is not the root");
}

void Reader::BuildTree(Entry& root) {
    // The root entry doubles as the mini stream's header.
    const RawEntry& rootRaw = entries_[0];
    if (rootRaw.size > 0) {
        miniStream_ = ReadRegularChain(rootRaw.startSector, rootRaw.size, "the mini stream");
        miniStream_.resize(miniStream_.size() / kMiniSectorSize * kMiniSectorSize +
                               (miniStream_.size() % kMiniSectorSize ? kMiniSectorSize : 0),
                           '\0');
    }
    if (miniFatSectorCount_ > 0 || (firstMiniFatSector_ != kEndOfChain &&
                                    firstMiniFatSector_ != kFreeSector && rootRaw.size > 0)) {
        std::string table = ReadWholeChain(firstMiniFatSector_, "the mini FAT");
        miniFat_.reserve(table.size() / 4);
        for (std::size_t i = 0; i + 4 <= table.size(); i += 4)
            miniFat_.push_back(LoadU32(table, i));
    }
    miniClaimed_.assign(miniStream_.size() / kMiniSectorSize, false);

    root.kind = Entry::Kind::Storage;
    root.name = util::Utf16ToUtf8(rootRaw.name);
    root.clsid = rootRaw.clsid;
    root.stateBits = rootRaw.stateBits;
    root.creationTime = rootRaw.creationTime;
    root.modifiedTime = rootRaw.modifiedTime;

    std::vector<bool> visited(entries_.size(), false);
    visited[0] = true;

    // Each storage's children form a binary tree through left and right siblings; walking it in
    // order lists them sorted. An explicit stack keeps a deep or degenerate tree off the call
    // stack.
    struct StorageWork {
        std::uint32_t firstChild;
        Entry* storage;
        std::size_t depth;
    };
    std::vector<StorageWork> work{{rootRaw.child, &root, 0}};
    while (!work.empty()) {
        StorageWork job = work.back();
        work.pop_back();
        if (job.depth > kMaxStorageDepth)
            Fail("storages are nested too deeply");
        std::vector<std::uint32_t> stack;
        std::uint32_t node = job.firstChild;
        std::vector<std::uint32_t> ordered;
        while (node != kNoStream || !stack.empty()) {
            while (node != kNoStream) {
                if (node >= entries_.size())
                    Fail("a directory link points to entry " + std::to_string(node) +
                         ", past the directory's " + std::to_string(entries_.size()) + " entries");
                if (visited[node])
                    Fail("directory entry " + std::to_string(node) +
                         " is reached twice: the directory tree has a cycle");
                visited[node] = true;
                stack.push_back(node);
                node = entries_[node].left;
            }
            std::uint32_t current = stack.back();
            stack.pop_back();
            ordered.push_back(current);
            node = entries_[current].right;
        }
        job.storage->children.reserve(ordered.size());
        for (std::uint32_t id : ordered) {
            const RawEntry& raw = entries_[id];
            Entry entry;
            entry.name = util::Utf16ToUtf8(raw.name);
            entry.clsid = raw.clsid;
            entry.stateBits = raw.stateBits;
            entry.creationTime = raw.creationTime;
            entry.modifiedTime = raw.modifiedTime;
            const std::string what = "stream \"" + entry.name + "\"";
            if (raw.type == kStorageObject) {
                entry.kind = Entry::Kind::Storage;
            } else if (raw.type == kStreamObject) {
                entry.kind = Entry::Kind::Stream;
                if (raw.size == 0)
                    ;  // no sectors at all
                else if (raw.size < kMiniStreamCutoff)
                    entry.data = ReadMiniChain(raw.startSector, raw.size, what);
                else
                    entry.data = ReadRegularChain(raw.startSector, raw.size, what);
            } else {
                Fail("directory entry " + std::to_string(id) + " has object type " +
                     std::to_string(raw.type));
            }
            job.storage->children.push_back(std::move(entry));
        }
        // Storages are filled after their parent's vector stopped growing, so pointers hold.
        for (std::size_t i = 0; i < ordered.size(); ++i) {
            const RawEntry& raw = entries_[ordered[i]];
            if (raw.type == kStorageObject && raw.child != kNoStream)
                work.push_back({raw.child, &job.storage->children[i], job.depth + 1});
        }
    }
}

ParsedFile Reader::Read() {
    ReadHeader();
    ReadFat();
    ReadDirectory();
    ParsedFile parsed;
    parsed.majorVersion = majorVersion_;
    BuildTree(parsed.root);
    return parsed;
}

// ---------------------------------------------------------------------------------------------
// Writing

struct Layout {
    std::size_t sectorSize;
    std::vector<std::uint32_t> fat;  // grows as sectors are placed
    std::string body;                // the header's sector, then every other sector

    // Places data in a fresh chain of whole sectors; returns its first sector.
    std::uint32_t AddChain(std::string_view data) {
        if (data.empty())
            return kEndOfChain;
        const std::size_t count = (data.size() + sectorSize - 1) / sectorSize;
        const auto first = static_cast<std::uint32_t>(fat.size());
        for (std::size_t i = 0; i < count; ++i) {
            const auto sector = static_cast<std::uint32_t>(fat.size());
            fat.push_back(i + 1 == count ? kEndOfChain : sector + 1);
        }
        body.append(data);
        body.append(count * sectorSize - data.size(), '\0');
        return first;
    }
};

struct FlatEntry {
    const Entry* entry;
    std::u16string name;
    std::uint32_t left = kNoStream, right = kNoStream, child = kNoStream;
    Color color = kBlack;
    std::uint32_t startSector = 0;
    std::uint64_t size = 0;
    const std::string* data = nullptr;  // streams
};

void CheckName(const std::u16string& name, const std::string& utf8) {
    if (name.empty())
        throw SpreadsheetError("a compound-file entry needs a name");
    if (name.size() > kMaxNameUnits)
        throw SpreadsheetError("the entry name \"" + utf8 + "\" is longer than 31 characters");
    for (char16_t c : name)
        if (c == '/' || c == '\\' || c == ':' || c == '!')
            throw SpreadsheetError("the entry name \"" + utf8 + "\" holds a character (/ \\ : !)" +
                                   " that names may not hold");
}

// Links ids (sorted by name) into a balanced binary tree; returns its root. A middle split
// puts every empty link at depth d or d+1, so colouring the nodes of the deepest full level
// plus one red (and the rest black) gives a valid red-black tree.
std::uint32_t LinkBalanced(std::vector<FlatEntry>& flat, const std::vector<std::uint32_t>& ids,
                           std::size_t begin, std::size_t end, std::size_t depth,
                           std::size_t redDepth) {
    if (begin >= end)
        return kNoStream;
    std::size_t middle = begin + (end - begin) / 2;
    std::uint32_t id = ids[middle];
    flat[id].left = LinkBalanced(flat, ids, begin, middle, depth + 1, redDepth);
    flat[id].right = LinkBalanced(flat, ids, middle + 1, end, depth + 1, redDepth);
    flat[id].color = (depth == redDepth && depth > 0) ? kRed : kBlack;
    return id;
}

std::size_t FloorLog2(std::size_t n) {
    std::size_t d = 0;
    while (n >>= 1)
        ++d;
    return d;
}

}  // namespace

bool LooksLikeCompoundFile(std::string_view bytes) {
    return bytes.substr(0, kSignature.size()) == kSignature;
}

CompoundFile CompoundFile::Parse(std::string_view bytes) {
    Reader reader(bytes);
    ParsedFile parsed = reader.Read();
    CompoundFile file;
    file.root_ = std::move(parsed.root);
    file.majorVersion_ = parsed.majorVersion;
    return file;
}

void CompoundFile::setMajorVersion(int version) {
    if (version != 3 && version != 4)
        throw SpreadsheetError("a compound file is version 3 or 4, not " + std::to_string(version));
    majorVersion_ = version;
}

const Entry* CompoundFile::FindRootStream(std::string_view name) const {
    const std::u16string wanted = util::Utf8ToUtf16(name);
    for (const Entry& e : root_.children)
        if (e.kind == Entry::Kind::Stream && CompareNames(util::Utf8ToUtf16(e.name), wanted) == 0)
            return &e;
    return nullptr;
}

bool CompoundFile::HasStream(std::string_view name) const {
    return FindRootStream(name) != nullptr;
}

std::string CompoundFile::ReadStream(std::string_view name) const {
    const Entry* e = FindRootStream(name);
    if (e == nullptr)
        throw SpreadsheetError("the compound file has no stream \"" + std::string(name) + "\"");
    return e->data;
}

std::string CompoundFile::Serialize(
    const std::map<std::string, std::string>& replacedRootStreams) const {
    // Apply the replacements to a copy of the root's children.
    // Replacements and additions are looked up while the tree is laid out, so nothing of the
    // tree is copied: a large workbook is saved with little more memory than its own size.
    std::map<const Entry*, const std::string*> dataOf;
    std::vector<Entry> added;
    std::vector<const std::string*> addedData;
    added.reserve(replacedRootStreams.size());
    for (const auto& [name, data] : replacedRootStreams) {
        const std::u16string wanted = util::Utf8ToUtf16(name);
        auto it = std::find_if(root_.children.begin(), root_.children.end(), [&](const Entry& e) {
            return CompareNames(util::Utf8ToUtf16(e.name), wanted) == 0;
        });
        if (it != root_.children.end()) {
            if (it->kind != Entry::Kind::Stream)
                throw SpreadsheetError("\"" + name + "\" is a storage, not a stream");
            dataOf[&*it] = &data;
        } else {
            CheckName(wanted, name);
            Entry entry;
            entry.kind = Entry::Kind::Stream;
            entry.name = name;
            added.push_back(std::move(entry));
            addedData.push_back(&data);
        }
    }
    for (std::size_t i = 0; i < added.size(); ++i)
        dataOf[&added[i]] = addedData[i];

    // Flatten the tree: the root is entry 0, each storage's children follow in name order.
    std::vector<FlatEntry> flat;
    flat.push_back({&root_, u"Root Entry"});
    std::uint64_t totalData = 0;
    struct Work {
        const Entry* storage;
        std::uint32_t id;
    };
    std::vector<Work> work{{&root_, 0}};
    while (!work.empty()) {
        Work job = work.back();
        work.pop_back();
        std::vector<const Entry*> children;
        for (const Entry& child : job.storage->children)
            children.push_back(&child);
        if (job.id == 0)
            for (const Entry& child : added)
                children.push_back(&child);
        std::vector<std::uint32_t> ids;
        for (const Entry* child : children) {
            FlatEntry f{child, util::Utf8ToUtf16(child->name)};
            CheckName(f.name, child->name);
            if (child->kind == Entry::Kind::Stream) {
                auto replaced = dataOf.find(child);
                f.data = replaced != dataOf.end() ? replaced->second : &child->data;
                f.size = f.data->size();
                totalData += f.size;
            }
            ids.push_back(static_cast<std::uint32_t>(flat.size()));
            flat.push_back(std::move(f));
            if (child->kind == Entry::Kind::Storage)
                work.push_back({child, ids.back()});
        }
        std::sort(ids.begin(), ids.end(), [&](std::uint32_t a, std::uint32_t b) {
            return CompareNames(flat[a].name, flat[b].name) < 0;
        });
        for (std::size_t i = 1; i < ids.size(); ++i)
            if (CompareNames(flat[ids[i - 1]].name, flat[ids[i]].name) == 0)
                throw SpreadsheetError("two entries of one storage are named \"" +
                                       util::Utf16ToUtf8(flat[ids[i]].name) + "\"");
        flat[job.id].child = LinkBalanced(flat, ids, 0, ids.size(), 0, FloorLog2(ids.size()));
    }

    const std::size_t sectorSize = majorVersion_ == 4 ? 4096 : 512;
    // The body starts with room for the header, which is filled in last.
    Layout layout{sectorSize, {}, std::string(sectorSize, '\0')};
    layout.body.reserve(static_cast<std::size_t>(
        totalData + totalData / 32 + flat.size() * (kDirectoryEntrySize + 64) + 8 * sectorSize));

    // Small streams go into the mini stream, 64 bytes at a time.
    std::string miniStream;
    std::vector<std::uint32_t> miniFat;
    for (FlatEntry& f : flat) {
        if (f.data == nullptr || f.data->empty() || f.data->size() >= kMiniStreamCutoff)
            continue;
        const std::size_t count = (f.data->size() + kMiniSectorSize - 1) / kMiniSectorSize;
        f.startSector = static_cast<std::uint32_t>(miniFat.size());
        for (std::size_t i = 0; i < count; ++i) {
            const auto sector = static_cast<std::uint32_t>(miniFat.size());
            miniFat.push_back(i + 1 == count ? kEndOfChain : sector + 1);
        }
        miniStream.append(*f.data);
        miniStream.append(count * kMiniSectorSize - f.data->size(), '\0');
    }
    for (FlatEntry& f : flat) {
        if (f.data == nullptr)
            continue;
        if (f.data->empty())
            f.startSector = kEndOfChain;
        else if (f.data->size() >= kMiniStreamCutoff)
            f.startSector = layout.AddChain(*f.data);
    }
    flat[0].startSector = layout.AddChain(miniStream);
    flat[0].size = miniStream.size();

    std::string miniFatBytes(miniFat.size() * 4, '\0');
    for (std::size_t i = 0; i < miniFat.size(); ++i)
        StoreU32(miniFatBytes, 4 * i, miniFat[i]);
    const std::uint32_t firstMiniFat = layout.AddChain(miniFatBytes);
    const std::uint32_t miniFatSectors =
        static_cast<std::uint32_t>((miniFatBytes.size() + sectorSize - 1) / sectorSize);

    std::string directory(flat.size() * kDirectoryEntrySize, '\0');
    for (std::size_t i = 0; i < flat.size(); ++i) {
        const FlatEntry& f = flat[i];
        const std::size_t at = i * kDirectoryEntrySize;
        for (std::size_t k = 0; k < f.name.size(); ++k)
            StoreU16(directory, at + 2 * k, f.name[k]);
        StoreU16(directory, at + 64, static_cast<std::uint16_t>((f.name.size() + 1) * 2));
        directory[at + 66] = static_cast<char>(
            i == 0 ? kRootStorageObject
                   : (f.entry->kind == Entry::Kind::Storage ? kStorageObject : kStreamObject));
        directory[at + 67] = static_cast<char>(f.color);
        StoreU32(directory, at + 68, f.left);
        StoreU32(directory, at + 72, f.right);
        StoreU32(directory, at + 76, f.child);
        if (i == 0 || f.entry->kind == Entry::Kind::Storage)
            for (std::size_t k = 0; k < 16; ++k)
                directory[at + 80 + k] = static_cast<char>(f.entry->clsid[k]);
        StoreU32(directory, at + 96, f.entry->stateBits);
        StoreU64(directory, at + 100, f.entry->creationTime);
        StoreU64(directory, at + 108, f.entry->modifiedTime);
        StoreU32(directory, at + 116, f.startSector);
        StoreU64(directory, at + 120, f.size);
    }
    // Fill the last directory sector with unused entries.
    const std::size_t perSector = sectorSize / kDirectoryEntrySize;
    const std::size_t padded = (flat.size() + perSector - 1) / perSector * perSector;
    for (std::size_t i = flat.size(); i < padded; ++i) {
        std::string unused(kDirectoryEntrySize, '\0');
        StoreU32(unused, 68, kNoStream);
        StoreU32(unused, 72, kNoStream);
        StoreU32(unused, 76, kNoStream);
        directory.append(unused);
    }
    const std::uint32_t firstDirectory = layout.AddChain(directory);
    const auto directorySectors = static_cast<std::uint32_t>(directory.size() / sectorSize);

    // The FAT covers every sector including its own and the DIFAT's; find the fixed point.
    const std::size_t entriesPerSector = sectorSize / 4;
    const std::size_t dataSectors = layout.fat.size();
    std::size_t fatSectors = 1, difatSectors = 0;
    for (;;) {
        const std::size_t total = dataSectors + fatSectors + difatSectors;
        const std::size_t needFat = (total + entriesPerSector - 1) / entriesPerSector;
        const std::size_t needDifat =
            needFat > kHeaderDifatCount
                ? (needFat - kHeaderDifatCount + entriesPerSector - 2) / (entriesPerSector - 1)
                : 0;
        if (needFat == fatSectors && needDifat == difatSectors)
            break;
        fatSectors = std::max(fatSectors, needFat);
        difatSectors = std::max(difatSectors, needDifat);
    }
    const auto firstFat = static_cast<std::uint32_t>(layout.fat.size());
    for (std::size_t i = 0; i < fatSectors; ++i)
        layout.fat.push_back(kFatSector);
    const auto firstDifat = static_cast<std::uint32_t>(layout.fat.size());
    for (std::size_t i = 0; i < difatSectors; ++i)
        layout.fat.push_back(kDifatSector);

    std::string fatBytes(fatSectors * sectorSize, '\0');
    for (std::size_t i = 0; i < fatSectors * entriesPerSector; ++i)
        StoreU32(fatBytes, 4 * i, i < layout.fat.size() ? layout.fat[i] : kFreeSector);
    layout.body.append(fatBytes);

    std::string difatBytes(difatSectors * sectorSize, '\0');
    for (std::size_t d = 0; d < difatSectors; ++d) {
        const std::size_t at = d * sectorSize;
        for (std::size_t k = 0; k + 1 < entriesPerSector; ++k) {
            const std::size_t fatIndex = kHeaderDifatCount + d * (entriesPerSector - 1) + k;
            StoreU32(difatBytes, at + 4 * k,
                     fatIndex < fatSectors ? firstFat + static_cast<std::uint32_t>(fatIndex)
                                           : kFreeSector);
        }
        StoreU32(
            difatBytes, at + sectorSize - 4,
            d + 1 < difatSectors ? firstDifat + static_cast<std::uint32_t>(d + 1) : kEndOfChain);
    }
    layout.body.append(difatBytes);

    std::string& out = layout.body;  // its first sector is the header
    out.replace(0, kSignature.size(), kSignature);
    StoreU16(out, 24, kMinorVersion);
    StoreU16(out, 26, static_cast<std::uint16_t>(majorVersion_ == 4 ? 4 : 3));
    StoreU16(out, 28, kByteOrderMark);
    StoreU16(out, 30, static_cast<std::uint16_t>(majorVersion_ == 4 ? 12 : 9));
    StoreU16(out, 32, kMiniSectorShift);
    StoreU32(out, 40, majorVersion_ == 4 ? directorySectors : 0);
    StoreU32(out, 44, static_cast<std::uint32_t>(fatSectors));
    StoreU32(out, 48, firstDirectory);
    StoreU32(out, 56, kMiniStreamCutoff);
    StoreU32(out, 60, miniFatBytes.empty() ? kEndOfChain : firstMiniFat);
    StoreU32(out, 64, miniFatSectors);
    StoreU32(out, 68, difatSectors ? firstDifat : kEndOfChain);
    StoreU32(out, 72, static_cast<std::uint32_t>(difatSectors));
    for (std::size_t i = 0; i < kHeaderDifatCount; ++i)
        StoreU32(out, kHeaderDifatOffset + 4 * i,
                 i < fatSectors ? firstFat + static_cast<std::uint32_t>(i) : kFreeSector);
    return std::move(layout.body);
}

}  // namespace spreadsheet::cfb
