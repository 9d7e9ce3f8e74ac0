// The search command: 搜索 asks for a folder and replaces the source list with what it finds.
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <optional>
#include <string>
#include <vector>

#include "WindowFixture.h"
#include "util/gui/SelectFolder.h"
#include "util/search/FindFiles.h"

namespace {

class SearchCommandTest : public WindowTest {
  protected:
    SearchCommandTest() {
        EXPECT_TRUE(dir.isValid());
        for (const char* name : {"Jan.xls", "sub/JAN-B.XLS", "sub/deeper/一月报表.xls", "feb.xls",
                                 "jan.xlsx", "jan/notes.txt"}) {
            const QString path = dir.filePath(QString::fromUtf8(name));
            QDir().mkpath(QFileInfo(path).path());
            QFile file(path);
            EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        }
        previous_ = util::SetFolderPromptAnswerer(
            [this](bool allowCreate, const std::string& start) -> std::optional<std::string> {
                prompts.push_back({allowCreate, start});
                return answer;
            });
    }
    ~SearchCommandTest() override { util::SetFolderPromptAnswerer(std::move(previous_)); }

    QStringList Search(const QString& keyword) {
        Find<QLineEdit>("Edit11")->setText(keyword);
        Find<QPushButton>("Button7")->click();
        return Entries();
    }

    QString Path(const char* relative) const { return dir.filePath(QString::fromUtf8(relative)); }

    static QStringList Sorted(QStringList list) {
        list.sort();
        return list;
    }

    QTemporaryDir dir;
    std::optional<std::string> answer = dir.path().toStdString();
    std::vector<std::pair<bool, std::string>> prompts;

  private:
    util::FolderPromptAnswerer previous_;
};

TEST_F(SearchCommandTest, ReplacesTheListWithWhatItFinds) {
    struct Case {
        const char* keyword;
        QStringList found;
    };
    const Case cases[] = {
        {"jan", {Path("Jan.xls"), Path("sub/JAN-B.XLS")}},
        {"",
         {Path("Jan.xls"), Path("feb.xls"), Path("sub/JAN-B.XLS"),
          Path("sub/deeper/一月报表.xls")}},
        {"报表", {Path("sub/deeper/一月报表.xls")}},
        {" jan", {}},  // the keyword is taken as typed
        {"march", {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.keyword);
        SetEntries({"/old/kept.xls", "/old/other.xls"}, 1);
        EXPECT_EQ(Sorted(Search(QString::fromUtf8(c.keyword))), Sorted(c.found));
        EXPECT_EQ(Selected(), -1);
    }
    EXPECT_TRUE(boxes.empty());
    // Every prompt starts at the current folder and offers no creation.
    ASSERT_EQ(prompts.size(), std::size(cases));
    for (const auto& [allowCreate, start] : prompts) {
        EXPECT_FALSE(allowCreate);
        EXPECT_EQ(start, QDir::currentPath().toStdString());
    }
}

TEST_F(SearchCommandTest, ListsThePathsInTheOrderTheSearchReportsThem) {
    static QStringList reported;
    reported.clear();
    util::FindFiles(
        "", dir.path().toStdString(), "*.xls",
        [](const std::string& path, int kind, bool&) {
            if (kind == 0)
                reported.append(QString::fromStdString(path));
        },
        "");
    ASSERT_EQ(reported.size(), 4);
    EXPECT_EQ(Search(QString()), reported);
}

TEST_F(SearchCommandTest, ACancelledPromptKeepsTheList) {
    answer = std::nullopt;
    SetEntries({"/old/kept.xls", "/old/other.xls"}, 1);
    EXPECT_EQ(Search("jan"), (QStringList{"/old/kept.xls", "/old/other.xls"}));
    EXPECT_EQ(Selected(), 1);
    EXPECT_EQ(prompts.size(), 1u);
    EXPECT_TRUE(boxes.empty());
}

}  // namespace
