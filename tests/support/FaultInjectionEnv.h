#pragma once

#include <array>
#include <cstddef>
#include <memory>
#include <string>
#include <vector>

#include "util/Env.h"

namespace testsupport {

// An Env that passes every call on to another one but fails the Nth call of chosen operations
// with an IoError, the way LevelDB's fault-injecting Env lets tests break a write at any point.
class FaultInjectionEnv : public util::Env {
  public:
    enum class Operation { Create, Append, Sync, Close, Rename, Remove, SyncDirectory };
    static constexpr std::size_t kOperationCount = 7;
    static const char* NameOf(Operation op);

    explicit FaultInjectionEnv(util::Env& target = util::Env::Default()) : target_(target) {}

    // The nth call (counted from 1, from now on) of op fails. A failing Append first writes
    // half of its data, as a full disk does; a failing Close still releases the file.
    void FailNth(Operation op, int nth);
    void Reset();  // no failures, counts back to zero

    int Calls(Operation op) const { return calls_[Index(op)]; }
    // Every path NewWritableFile was asked to create, failed ones included.
    const std::vector<std::string>& createdPaths() const { return created_; }

    util::FileInfo Stat(const std::string& path) override;
    std::string ReadFile(const std::string& path, std::uint64_t maxBytes) override;
    std::unique_ptr<util::WritableFile> NewWritableFile(const std::string& path,
                                                        unsigned mode) override;
    void Rename(const std::string& from, const std::string& to) override;
    void RemoveFile(const std::string& path) override;
    void SyncDirectory(const std::string& directory) override;

    // Counts the call and throws when it is the one chosen to fail.
    void Check(Operation op, const std::string& path);

  private:
    static std::size_t Index(Operation op) { return static_cast<std::size_t>(op); }
    bool ShouldFail(Operation op);

    util::Env& target_;
    std::array<int, kOperationCount> calls_{};
    std::array<int, kOperationCount> failAt_{};  // 0: never
    std::vector<std::string> created_;
};

}  // namespace testsupport
