#include "settings/data_folder.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <optional>

#include "platform/code_page.h"
#include "scoped_env.h"
#include "settings/app_settings.h"
#include "test_files.h"

namespace linesift {
namespace {

class DataFolderTest : public ::testing::Test {
  protected:
    void SetUp() override {
        program_ = dir_.Path() + "/bin";
        std::filesystem::create_directories(program_);
        SetProgramFolderForTesting(Utf8ToUtf16(program_));
    }
    void TearDown() override { SetProgramFolderForTesting(u""); }

    void MarkInstalled() const { std::ofstream(program_ + "/" + InstalledMarkerName()) << "x"; }

    test::TempDir dir_;
    std::string program_;
};

TEST_F(DataFolderTest, ChoosesTheFolderByCopyKindAndEnvironment) {
    // Environment values starting with "~" are taken inside the temporary
    // folder; expected folders always are.
    struct Row {
        const char* name;
        bool installed;
        std::optional<std::string> data_dir;
        std::optional<std::string> xdg;
        std::optional<std::string> home;
        std::string expected;
    };
    const std::vector<Row> rows = {
        {"portable copy keeps data beside the program", false, {}, "~xdg", "~home", "bin/"},
        {"installed copy uses XDG_CONFIG_HOME",
         true,
         {},
         "~xdg",
         "~home",
         "xdg/Quellora/Linesift/"},
        {"installed copy without XDG uses ~/.config",
         true,
         {},
         {},
         "~home",
         "home/.config/Quellora/Linesift/"},
        {"relative XDG_CONFIG_HOME is ignored",
         true,
         {},
         "relative",
         "~home",
         "home/.config/Quellora/Linesift/"},
        {"LINESIFT_DATA_DIR wins over a portable copy", false, "~data", "~xdg", "~home", "data/"},
        {"LINESIFT_DATA_DIR wins over an installed copy", true, "~data/", "~xdg", "~home", "data/"},
        {"empty LINESIFT_DATA_DIR counts as unset", false, "", "~xdg", "~home", "bin/"},
    };
    auto inTemp = [this](std::optional<std::string> v) {
        if (v && !v->empty() && v->front() == '~') {
            v = dir_.Path() + "/" + v->substr(1);
        }
        return v;
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        std::filesystem::remove(program_ + "/" + InstalledMarkerName());
        if (row.installed) {
            MarkInstalled();
        }
        test::ScopedEnv data("LINESIFT_DATA_DIR", inTemp(row.data_dir));
        test::ScopedEnv xdg("XDG_CONFIG_HOME", inTemp(row.xdg));
        test::ScopedEnv home("HOME", inTemp(row.home));
        EXPECT_EQ(IsPortableCopy(), !row.installed);
        EXPECT_EQ(GetDataFolder(), Utf8ToUtf16(dir_.Path() + "/" + row.expected));
        EXPECT_EQ(GetSettingsFilePath(), GetDataFolder() + u"Settings.xml");
    }
}

TEST_F(DataFolderTest, ReadOnlyProgramFolderIsAnInstalledCopy) {
    if (::geteuid() == 0) {
        GTEST_SKIP() << "root may write to any folder";
    }
    ::chmod(program_.c_str(), 0555);
    EXPECT_FALSE(IsPortableCopy());
}

TEST_F(DataFolderTest, PerUserFolderIsCreatedOnlyBySaving) {
    MarkInstalled();
    test::ScopedEnv data("LINESIFT_DATA_DIR", std::nullopt);
    test::ScopedEnv xdg("XDG_CONFIG_HOME", dir_.Path() + "/config");
    std::string folder = dir_.Path() + "/config/Quellora/Linesift/";
    ASSERT_EQ(GetDataFolder(), Utf8ToUtf16(folder));
    EXPECT_FALSE(std::filesystem::exists(dir_.Path() + "/config"));
    AppSettings settings;
    ASSERT_TRUE(settings.SaveSettings());
    EXPECT_TRUE(std::filesystem::exists(folder + "Settings.xml"));
}

TEST_F(DataFolderTest, EnsureDataFolderCreatesMissingParents) {
    test::ScopedEnv data("LINESIFT_DATA_DIR", dir_.Path() + "/a/b/c");
    EXPECT_TRUE(EnsureDataFolder());
    EXPECT_TRUE(std::filesystem::is_directory(dir_.Path() + "/a/b/c"));
    EXPECT_TRUE(EnsureDataFolder());
}

TEST(RunningProgramFolderTest, BuildFolderCopyIsPortable) {
    std::u16string folder = GetProgramFolder();
    EXPECT_TRUE(std::filesystem::exists(Utf16ToUtf8(folder) + "/core_tests"));
    EXPECT_TRUE(IsPortableCopy());
    test::ScopedEnv data("LINESIFT_DATA_DIR", std::nullopt);
    EXPECT_EQ(GetDataFolder(), folder + u"/");
}

}  // namespace
}  // namespace linesift
