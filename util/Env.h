#pragma once

#include <cstdint>
#include <memory>
#include <stdexcept>
#include <string>
#include <string_view>

namespace util {

// A failed file operation; the text names the file and the system's reason.
class IoError : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

struct FileInfo {
    bool exists = false;
    bool isDirectory = false;
    bool isRegular = false;
    std::uint64_t size = 0;
    unsigned mode = 0;  // permission bits
};

// A file being written. Every operation throws IoError on failure.
class WritableFile {
  public:
    virtual ~WritableFile() = default;
    virtual void Append(std::string_view data) = 0;
    virtual void Sync() = 0;  // flush to the disk
    virtual void Close() = 0;
};

// The seam through which the engine touches the file system, so tests can inject failures.
class Env {
  public:
    virtual ~Env() = default;
    static Env& Default();

    virtual FileInfo Stat(const std::string& path) = 0;
    // The whole file; fails when it is larger than maxBytes.
    virtual std::string ReadFile(const std::string& path, std::uint64_t maxBytes) = 0;
    // Creates a new file; fails when the path exists already.
    virtual std::unique_ptr<WritableFile> NewWritableFile(const std::string& path,
                                                          unsigned mode) = 0;
    virtual void Rename(const std::string& from, const std::string& to) = 0;
    virtual void RemoveFile(const std::string& path) = 0;
    virtual void SyncDirectory(const std::string& directory) = 0;
};

// Replaces the file at path with data so that an interruption leaves the old file whole:
// writes a new file beside it, flushes it, renames it over the old one and flushes the folder.
// The new file keeps the old one's permission bits. On failure no temporary file is left.
void WriteFileAtomically(Env& env, const std::string& path, std::string_view data);

// The folder part of a path ("." when it has none).
std::string DirectoryOf(const std::string& path);

}  // namespace util
