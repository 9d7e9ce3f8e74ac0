#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <string>

#include "tests/support/FaultInjectionEnv.h"
#include "tests/support/TestFiles.h"
#include "util/Env.h"

namespace {

using Operation = testsupport::FaultInjectionEnv::Operation;
using testsupport::FaultInjectionEnv;
using testsupport::TemporaryDirectory;

const std::string kOld = "the old workbook, which must survive any failure";
const std::string kNew(100000, 'n');

unsigned ModeOf(const std::string& path) {
    struct stat st {};
    EXPECT_EQ(::stat(path.c_str(), &st), 0);
    return st.st_mode & 07777;
}

struct Folder {
    TemporaryDirectory dir;
    std::string target = dir.File("book.xls");
    Folder() {
        testsupport::WriteWholeFile(target, kOld);
        ::chmod(target.c_str(), 0640);
    }
    std::vector<std::string> Files() const { return testsupport::FilesIn(dir.path(), ""); }
};

// Before the rename, a failure leaves the old file as it was; the rename itself is the point of
// no return, so once it is done the file holds the new data whole.
struct FailureCase {
    Operation op;
    bool newDataInPlace;
};

class InjectedFailure : public ::testing::TestWithParam<FailureCase> {};

TEST_P(InjectedFailure, LeavesOneWholeFileAndNoTemporary) {
    Folder folder;
    FaultInjectionEnv env;
    env.FailNth(GetParam().op, 1);
    EXPECT_THROW(util::WriteFileAtomically(env, folder.target, kNew), util::IoError);
    EXPECT_EQ(env.Calls(GetParam().op), 1) << "the write never reached that step";
    EXPECT_EQ(testsupport::ReadWholeFile(folder.target), GetParam().newDataInPlace ? kNew : kOld);
    EXPECT_EQ(folder.Files(), std::vector<std::string>{folder.target});
    EXPECT_EQ(ModeOf(folder.target), 0640u);
}

INSTANTIATE_TEST_SUITE_P(EveryStep, InjectedFailure,
                         ::testing::Values(FailureCase{Operation::Create, false},
                                           FailureCase{Operation::Append, false},
                                           FailureCase{Operation::Sync, false},
                                           FailureCase{Operation::Close, false},
                                           FailureCase{Operation::Rename, false},
                                           FailureCase{Operation::SyncDirectory, true}),
                         [](const auto& info) {
                             std::string name = FaultInjectionEnv::NameOf(info.param.op);
                             std::erase(name, '-');
                             return name;
                         });

TEST(WriteFileAtomically, ReplacesTheFileAndKeepsItsPermissions) {
    Folder folder;
    ::chmod(folder.target.c_str(), 0604);
    const mode_t previous = ::umask(077);  // the new file's bits come from the old file
    FaultInjectionEnv env;
    util::WriteFileAtomically(env, folder.target, kNew);
    ::umask(previous);
    EXPECT_EQ(testsupport::ReadWholeFile(folder.target), kNew);
    EXPECT_EQ(ModeOf(folder.target), 0604u);
    EXPECT_EQ(folder.Files(), std::vector<std::string>{folder.target});
    // The data went to a file beside the target, in the same folder, so the rename is atomic.
    ASSERT_EQ(env.createdPaths().size(), 1u);
    EXPECT_EQ(util::DirectoryOf(env.createdPaths()[0]), folder.dir.path());
    EXPECT_EQ(env.Calls(Operation::Sync), 1);
    EXPECT_EQ(env.Calls(Operation::SyncDirectory), 1);
}

TEST(WriteFileAtomically, ReportsTheFirstFailureWhenCleaningUpFailsToo) {
    Folder folder;
    FaultInjectionEnv env;
    env.FailNth(Operation::Append, 1);
    env.FailNth(Operation::Remove, 1);
    try {
        util::WriteFileAtomically(env, folder.target, kNew);
        FAIL() << "no failure reported";
    } catch (const util::IoError& e) {
        EXPECT_NE(std::string(e.what()).find("append"), std::string::npos) << e.what();
    }
    EXPECT_EQ(testsupport::ReadWholeFile(folder.target), kOld);
}

TEST(WriteFileAtomically, ANewFileAndTargetsThatAreNoFile) {
    TemporaryDirectory dir;
    util::WriteFileAtomically(util::Env::Default(), dir.File("new.xls"), "fresh");
    EXPECT_EQ(testsupport::ReadWholeFile(dir.File("new.xls")), "fresh");
    EXPECT_EQ(ModeOf(dir.File("new.xls")), 0644u);

    EXPECT_THROW(util::WriteFileAtomically(util::Env::Default(), dir.path(), "x"), util::IoError);
    EXPECT_THROW(util::WriteFileAtomically(util::Env::Default(), dir.File("missing/book.xls"), "x"),
                 util::IoError);
    EXPECT_EQ(testsupport::FilesIn(dir.path(), "").size(), 1u);
}

// The outcome of one save attempt, made in a child process so that, when the tests run as
// root (who may write into any folder), the attempt can run as an ordinary user.
enum class Outcome { Saved, Refused, Crashed };

Outcome SaveAsOrdinaryUser(const Folder& folder, const std::string& data) {
    constexpr uid_t kNobody = 65534;
    const bool root = ::geteuid() == 0;
    if (root) {
        if (::chown(folder.dir.path().c_str(), kNobody, kNobody) != 0 ||
            ::chown(folder.target.c_str(), kNobody, kNobody) != 0)
            return Outcome::Crashed;
    }
    const pid_t child = ::fork();
    if (child == 0) {
        if (root && (::setgid(kNobody) != 0 || ::setuid(kNobody) != 0))
            ::_exit(3);
        try {
            util::WriteFileAtomically(util::Env::Default(), folder.target, data);
            ::_exit(0);
        } catch (const util::IoError&) {
            ::_exit(1);
        }
        ::_exit(2);
    }
    int status = 0;
    if (child < 0 || ::waitpid(child, &status, 0) != child || !WIFEXITED(status))
        return Outcome::Crashed;
    return WEXITSTATUS(status) == 0   ? Outcome::Saved
           : WEXITSTATUS(status) == 1 ? Outcome::Refused
                                      : Outcome::Crashed;
}

TEST(WriteFileAtomically, ReadOnlyFolder) {
    Folder folder;
    ASSERT_EQ(::chmod(folder.dir.path().c_str(), 0555), 0);
    EXPECT_EQ(SaveAsOrdinaryUser(folder, kNew), Outcome::Refused);
    ::chmod(folder.dir.path().c_str(), 0755);
    EXPECT_EQ(testsupport::ReadWholeFile(folder.target), kOld);
    EXPECT_EQ(folder.Files(), std::vector<std::string>{folder.target});
    // The same user in a writable folder saves: the refusal came from the folder.
    EXPECT_EQ(SaveAsOrdinaryUser(folder, kNew), Outcome::Saved);
    EXPECT_EQ(testsupport::ReadWholeFile(folder.target), kNew);
}

}  // namespace
