#include "tests/support/FaultInjectionEnv.h"

namespace testsupport {

namespace {

using Operation = FaultInjectionEnv::Operation;

class FaultInjectionFile : public util::WritableFile {
  public:
    FaultInjectionFile(FaultInjectionEnv& env, std::string path,
                       std::unique_ptr<util::WritableFile> target)
        : env_(env), path_(std::move(path)), target_(std::move(target)) {}

    void Append(std::string_view data) override {
        try {
            env_.Check(Operation::Append, path_);
        } catch (...) {
            target_->Append(data.substr(0, data.size() / 2));
            throw;
        }
        target_->Append(data);
    }
    void Sync() override {
        env_.Check(Operation::Sync, path_);
        target_->Sync();
    }
    void Close() override {
        try {
            env_.Check(Operation::Close, path_);
        } catch (...) {
            target_->Close();
            throw;
        }
        target_->Close();
    }

  private:
    FaultInjectionEnv& env_;
    std::string path_;
    std::unique_ptr<util::WritableFile> target_;
};

}  // namespace

const char* FaultInjectionEnv::NameOf(Operation op) {
    static constexpr const char* kNames[kOperationCount] = {
        "create", "append", "sync", "close", "rename", "remove", "sync-directory"};
    return kNames[Index(op)];
}

void FaultInjectionEnv::FailNth(Operation op, int nth) {
    failAt_[Index(op)] = calls_[Index(op)] + nth;
}

void FaultInjectionEnv::Reset() {
    calls_.fill(0);
    failAt_.fill(0);
    created_.clear();
}

bool FaultInjectionEnv::ShouldFail(Operation op) {
    const int call = ++calls_[Index(op)];
    return failAt_[Index(op)] == call;
}

void FaultInjectionEnv::Check(Operation op, const std::string& path) {
    if (ShouldFail(op))
        throw util::IoError(std::string("injected failure: ") + NameOf(op) + " \"" + path + "\"");
}

util::FileInfo FaultInjectionEnv::Stat(const std::string& path) {
    return target_.Stat(path);
}

std::string FaultInjectionEnv::ReadFile(const std::string& path, std::uint64_t maxBytes) {
    return target_.ReadFile(path, maxBytes);
}

std::unique_ptr<util::WritableFile> FaultInjectionEnv::NewWritableFile(const std::string& path,
                                                                       unsigned mode) {
    created_.push_back(path);
    Check(Operation::Create, path);
    return std::make_unique<FaultInjectionFile>(*this, path, target_.NewWritableFile(path, mode));
}

void FaultInjectionEnv::Rename(const std::string& from, const std::string& to) {
    Check(Operation::Rename, from);
    target_.Rename(from, to);
}

void FaultInjectionEnv::RemoveFile(const std::string& path) {
    Check(Operation::Remove, path);
    target_.RemoveFile(path);
}

void FaultInjectionEnv::SyncDirectory(const std::string& directory) {
    Check(Operation::SyncDirectory, directory);
    target_.SyncDirectory(directory);
}

}  // namespace testsupport
