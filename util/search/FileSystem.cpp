#include "util/search/FileSystem.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "util/Env.h"

namespace util {

namespace {

[[noreturn]] void ThrowErrno(const char* what, const std::string& path, int error) {
    throw IoError(std::string(what) + " \"" + path + "\": " + std::strerror(error));
}

// readdir gives the entry's type from the directory itself on most file systems, so listing
// needs no stat per entry; only links and file systems that leave the type unknown cost one.
class PosixDirectoryListing : public DirectoryListing {
  public:
    explicit PosixDirectoryListing(DIR* dir) : dir_(dir) {}
    ~PosixDirectoryListing() override { ::closedir(dir_); }
    PosixDirectoryListing(const PosixDirectoryListing&) = delete;
    PosixDirectoryListing& operator=(const PosixDirectoryListing&) = delete;

    bool Next(DirectoryEntry& entry) override {
        for (;;) {
            const dirent* d = ::readdir(dir_);
            if (d == nullptr)
                return false;
            unsigned attributes = 0;
            if (!TypeAttributes(*d, attributes))
                continue;  // gone meanwhile, or a link that leads nowhere
            entry.name = std::string_view(d->d_name);
            if (d->d_name[0] == '.')
                attributes |= kAttributeHidden;
            entry.attributes = attributes;
            return true;
        }
    }

  private:
    bool TypeAttributes(const dirent& d, unsigned& attributes) {
        unsigned char type = d.d_type;
        if (type == DT_UNKNOWN) {
            struct stat st {};
            if (::fstatat(::dirfd(dir_), d.d_name, &st, AT_SYMLINK_NOFOLLOW) != 0)
                return false;
            type = S_ISDIR(st.st_mode) ? DT_DIR : S_ISLNK(st.st_mode) ? DT_LNK : DT_REG;
        }
        if (type == DT_DIR) {
            attributes = kAttributeFolder;
            return true;
        }
        if (type == DT_LNK) {
            // A link counts as what it leads to, so a link to a workbook is found; a link to a
            // folder is a folder that is never descended into.
            struct stat st {};
            if (::fstatat(::dirfd(dir_), d.d_name, &st, 0) != 0)
                return false;
            attributes = kAttributeLink | (S_ISDIR(st.st_mode) ? kAttributeFolder : 0u);
            return true;
        }
        attributes = 0;
        return true;
    }

    DIR* dir_;
};

class PosixInputFile : public InputFile {
  public:
    PosixInputFile(std::string path, int fd) : path_(std::move(path)), fd_(fd) {}
    ~PosixInputFile() override { ::close(fd_); }
    PosixInputFile(const PosixInputFile&) = delete;
    PosixInputFile& operator=(const PosixInputFile&) = delete;

    std::size_t Read(char* buffer, std::size_t size) override {
        for (;;) {
            const ssize_t n = ::read(fd_, buffer, size);
            if (n >= 0)
                return static_cast<std::size_t>(n);
            if (errno != EINTR)
                ThrowErrno("cannot read", path_, errno);
        }
    }

  private:
    std::string path_;
    int fd_;
};

class PosixFileSystem : public FileSystem {
  public:
    std::unique_ptr<DirectoryListing> List(const std::string& folder) override {
        DIR* dir = ::opendir(folder.c_str());
        if (dir == nullptr)
            return nullptr;
        return std::make_unique<PosixDirectoryListing>(dir);
    }

    std::unique_ptr<InputFile> OpenForReading(const std::string& path) override {
        const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
        if (fd < 0)
            ThrowErrno("cannot open", path, errno);
        struct stat st {};
        if (::fstat(fd, &st) == 0 && S_ISDIR(st.st_mode)) {
            ::close(fd);
            ThrowErrno("cannot read", path, EISDIR);
        }
        return std::make_unique<PosixInputFile>(path, fd);
    }
};

}  // namespace

FileSystem& FileSystem::Real() {
    static PosixFileSystem fileSystem;
    return fileSystem;
}

}  // namespace util
