#include "util/Env.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstring>
#include <random>

namespace util {

namespace {

[[noreturn]] void ThrowErrno(const std::string& what, const std::string& path, int error) {
    throw IoError(what + " \"" + path + "\": " + std::strerror(error));
}

class PosixWritableFile : public WritableFile {
  public:
    PosixWritableFile(std::string path, int fd) : path_(std::move(path)), fd_(fd) {}
    ~PosixWritableFile() override {
        if (fd_ >= 0)
            ::close(fd_);
    }
    void Append(std::string_view data) override {
        while (!data.empty()) {
            ssize_t n = ::write(fd_, data.data(), data.size());
            if (n < 0) {
                if (errno == EINTR)
                    continue;
                ThrowErrno("cannot write", path_, errno);
            }
            data.remove_prefix(static_cast<std::size_t>(n));
        }
    }
    void Sync() override {
        if (::fsync(fd_) != 0)
            ThrowErrno("cannot flush", path_, errno);
    }
    void Close() override {
        int fd = fd_;
        fd_ = -1;
        if (fd >= 0 && ::close(fd) != 0)
            ThrowErrno("cannot close", path_, errno);
    }

  private:
    std::string path_;
    int fd_;
};

class PosixEnv : public Env {
  public:
    FileInfo Stat(const std::string& path) override {
        FileInfo info;
        struct stat st {};
        if (::stat(path.c_str(), &st) != 0)
            return info;
        info.exists = true;
        info.isDirectory = S_ISDIR(st.st_mode);
        info.isRegular = S_ISREG(st.st_mode);
        info.size = static_cast<std::uint64_t>(st.st_size);
        info.mode = st.st_mode & 07777;
        return info;
    }

    std::string ReadFile(const std::string& path, std::uint64_t maxBytes) override {
        int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
        if (fd < 0)
            ThrowErrno("cannot open", path, errno);
        struct stat st {};
        if (::fstat(fd, &st) != 0) {
            int e = errno;
            ::close(fd);
            ThrowErrno("cannot read", path, e);
        }
        if (S_ISDIR(st.st_mode)) {
            ::close(fd);
            throw IoError("\"" + path + "\" is a folder, not a file");
        }
        if (static_cast<std::uint64_t>(st.st_size) > maxBytes) {
            ::close(fd);
            throw IoError("\"" + path + "\" is larger than " + std::to_string(maxBytes) + " bytes");
        }
        std::string data;
        data.resize(static_cast<std::size_t>(st.st_size));
        std::size_t done = 0;
        while (done < data.size()) {
            ssize_t n = ::read(fd, data.data() + done, data.size() - done);
            if (n < 0 && errno == EINTR)
                continue;
            if (n < 0) {
                int e = errno;
                ::close(fd);
                ThrowErrno("cannot read", path, e);
            }
            if (n == 0)
                break;  // the file shrank while we read it
            done += static_cast<std::size_t>(n);
        }
        data.resize(done);
        ::close(fd);
        return data;
    }

    std::unique_ptr<WritableFile> NewWritableFile(const std::string& path, unsigned mode) override {
        int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, mode);
        if (fd < 0)
            ThrowErrno("cannot create", path, errno);
        // The umask may have narrowed the bits; the new file keeps the old file's.
        ::fchmod(fd, mode);
        return std::make_unique<PosixWritableFile>(path, fd);
    }

    void Rename(const std::string& from, const std::string& to) override {
        if (::rename(from.c_str(), to.c_str()) != 0)
            ThrowErrno("cannot rename", from, errno);
    }

    void RemoveFile(const std::string& path) override {
        if (::unlink(path.c_str()) != 0)
            ThrowErrno("cannot remove", path, errno);
    }

    void SyncDirectory(const std::string& directory) override {
        int fd = ::open(directory.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        if (fd < 0)
            ThrowErrno("cannot open folder", directory, errno);
        int rc = ::fsync(fd);
        int e = errno;
        ::close(fd);
        if (rc != 0 && e != EINVAL)
            ThrowErrno("cannot flush folder", directory, e);
    }
};

std::string TemporaryNameBeside(const std::string& path) {
    static std::atomic<unsigned> counter{0};
    std::random_device rd;
    return path + ".~" + std::to_string(::getpid()) + "-" + std::to_string(counter++) + "-" +
           std::to_string(rd() % 100000) + ".tmp";
}

}  // namespace

Env& Env::Default() {
    static PosixEnv env;
    return env;
}

std::string DirectoryOf(const std::string& path) {
    std::size_t slash = path.find_last_of('/');
    if (slash == std::string::npos)
        return ".";
    if (slash == 0)
        return "/";
    return path.substr(0, slash);
}

void WriteFileAtomically(Env& env, const std::string& path, std::string_view data) {
    FileInfo old = env.Stat(path);
    if (old.exists && !old.isRegular)
        throw IoError("\"" + path + "\" is not a regular file");
    const unsigned mode = old.exists ? old.mode : 0644;
    const std::string temporary = TemporaryNameBeside(path);
    std::unique_ptr<WritableFile> file = env.NewWritableFile(temporary, mode);
    try {
        file->Append(data);
        file->Sync();
        file->Close();
        file.reset();
        env.Rename(temporary, path);
    } catch (...) {
        file.reset();
        try {
            env.RemoveFile(temporary);
        } catch (...) {
            // The first failure is the one worth reporting.
        }
        throw;
    }
    // The rename is done; flushing the folder makes it last across a power cut.
    env.SyncDirectory(DirectoryOf(path));
}

}  // namespace util
