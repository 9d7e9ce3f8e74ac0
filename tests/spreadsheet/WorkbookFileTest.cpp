#include "spreadsheet/application/WorkbookFile.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <QDir>
#include <QTemporaryDir>
#include <filesystem>
#include <fstream>

#include "automation/Dispatch.h"
#include "automation/VariantConversion.h"
#include "spreadsheet/application/SpreadsheetApplication.h"
#include "util/Env.h"

namespace spreadsheet {
namespace {

using ::testing::HasSubstr;

// The disk, except that every file claims to be a few gigabytes.
class HugeFilesEnv : public util::Env {
  public:
    util::FileInfo Stat(const std::string& path) override {
        util::FileInfo info = Default().Stat(path);
        info.size = std::uint64_t{3} << 30;
        return info;
    }
    std::string ReadFile(const std::string& path, std::uint64_t maxBytes) override {
        return Default().ReadFile(path, maxBytes);
    }
    std::unique_ptr<util::WritableFile> NewWritableFile(const std::string& path,
                                                        unsigned mode) override {
        return Default().NewWritableFile(path, mode);
    }
    void Rename(const std::string& from, const std::string& to) override {
        Default().Rename(from, to);
    }
    void RemoveFile(const std::string& path) override { Default().RemoveFile(path); }
    void SyncDirectory(const std::string& directory) override {
        Default().SyncDirectory(directory);
    }
};

class WorkbookFileTest : public ::testing::Test {
  protected:
    std::string Make(const std::string& name, std::string_view bytes) {
        const std::string path = dir_.filePath(QString::fromStdString(name)).toStdString();
        std::ofstream(path, std::ios::binary).write(bytes.data(), std::streamsize(bytes.size()));
        return path;
    }
    std::string Reason(const std::string& path, util::Env& env = util::Env::Default()) {
        try {
            OpenWorkbookFile(path, env);
        } catch (const SpreadsheetError& e) {
            return e.what();
        }
        return "(opened)";
    }
    QTemporaryDir dir_;
};

TEST_F(WorkbookFileTest, RefusesWhatIsNoWorkbookWithAReason) {
    const std::string folder = dir_.filePath("folder.xls").toStdString();
    std::filesystem::create_directory(folder);
    const struct {
        std::string path;
        const char* reason;
    } cases[] = {
        {dir_.filePath("missing.xls").toStdString(), "missing.xls\" does not exist"},
        {folder, "folder.xls\" is a folder, not a workbook"},
        {Make("empty.xls", ""), "empty.xls\" is empty, not a workbook"},
        {Make("notes.xls", "name,amount\n张三,12\n"), "notes.xls\" is not a workbook"},
        {Make("picture.xls", "\x89PNG\r\n\x1a\n\0\0\0\rIHDR"), "picture.xls\" is not a workbook"},
        {Make("tiny.xls", "\xD0\xCF"), "tiny.xls\" is not a workbook"},
        {"", "no file name given"},
    };
    for (const auto& c : cases)
        EXPECT_THAT(Reason(c.path), HasSubstr(c.reason)) << c.path;

    HugeFilesEnv huge;
    EXPECT_THAT(Reason(Make("big.xls", "x"), huge), HasSubstr("larger than any workbook"));
}

// Damaged containers reach their format's reader, which refuses them with its own reason.
TEST_F(WorkbookFileTest, DamagedWorkbooksFailInTheirFormat) {
    std::string ole("\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1", 8);
    ole.resize(600, '\xFF');
    std::string zip("PK\x03\x04", 4);
    zip.resize(100, '\0');
    for (const std::string& bytes : {ole, zip}) {
        EXPECT_THROW(LoadWorkbookFromBytes("damaged", bytes), SpreadsheetError);
    }
}

TEST_F(WorkbookFileTest, OpensARealWorkbookThroughTheApplication) {
    const std::string sample =
        "/usr/share/doc/libspreadsheet-parseexcel-perl/examples/sample/Excel/Test97.xls";
    if (!std::filesystem::exists(sample))
        GTEST_SKIP() << "no sample workbook at " << sample;
    using automation::Arg;
    auto app = CreateSpreadsheetApplication();
    automation::Call(*automation::AsObject(automation::Get(*app, "WorkBooks"), "WorkBooks"), "Open",
                     {Arg::ByVal(automation::Variant::FromUtf8(sample))});
    const auto value = [&](int row, int column) {
        return automation::Get(
            *automation::AsObject(
                automation::Get(*app, "Cells", {Arg::ByVal(row), Arg::ByVal(column)}), "Cells"),
            "Value");
    };
    EXPECT_EQ(value(1, 1), automation::Variant(u"ASC"));
    EXPECT_EQ(value(3, 2), automation::Variant(12345.0));
    EXPECT_EQ(value(2, 2).type(), automation::VarType::Date);
    automation::Call(*app, "Quit");
}

}  // namespace
}  // namespace spreadsheet
