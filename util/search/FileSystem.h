#pragma once

#include <cstddef>
#include <memory>
#include <string>
#include <string_view>

namespace util {

// Attribute bits of a folder listing entry. The folder bit comes from the entry's type; the
// hidden bit marks names that start with "."; the link bit marks a symbolic link, which the
// search never descends into (a link to a folder carries the folder bit as well).
enum EntryAttribute : unsigned {
    kAttributeReadOnly = 1,
    kAttributeHidden = 2,
    kAttributeSystem = 4,
    kAttributeVolumeLabel = 8,
    kAttributeFolder = 16,
    kAttributeArchive = 32,
    kAttributeLink = 1024,
};

// One entry of a folder listing. The name is valid until the listing moves on.
struct DirectoryEntry {
    std::string_view name;
    unsigned attributes = 0;
};

// True when the entry's attributes hold the folder bit.
inline bool IsDirectory(const DirectoryEntry& entry) {
    return (entry.attributes & kAttributeFolder) != 0;
}

// The entries of one folder in the file system's order, "." and ".." included. Destroying the
// listing closes it.
class DirectoryListing {
  public:
    virtual ~DirectoryListing() = default;
    // Fills entry with the next entry; false at the end of the listing (also when the file
    // system fails part-way, as a folder that can't be listed yields no entries).
    virtual bool Next(DirectoryEntry& entry) = 0;
};

// A file read from its start. Read throws IoError (util/Env.h) when the file can't be read.
class InputFile {
  public:
    virtual ~InputFile() = default;
    // Up to size bytes into buffer; 0 at the end of the file.
    virtual std::size_t Read(char* buffer, std::size_t size) = 0;
};

// What the folder search needs of the file system, so tests can use an in-memory tree.
class FileSystem {
  public:
    virtual ~FileSystem() = default;
    // The operating system's file system.
    static FileSystem& Real();

    // The listing of folder (a path that may end in "/"); null when the folder can't be
    // listed: missing, not a folder, or access refused.
    virtual std::unique_ptr<DirectoryListing> List(const std::string& folder) = 0;
    // Throws IoError when the file can't be opened.
    virtual std::unique_ptr<InputFile> OpenForReading(const std::string& path) = 0;
};

}  // namespace util
