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

TEST_F(DataFolderTest, HelpFileIsTheManualBesideTheProgramElseTheInstalledOne) {
    // Folder names are inside the temporary folder, whose program folder is "bin".
    const std::string beside = "bin/manual";
    const std::string installed = "bin/" LINESIFT_INSTALLED_MANUAL;
    struct Row {
        const char* name;
        std::vector<std::string> manuals;  // folders holding an index.html
        std::vector<std::string> folders;  // folders named index.html
        std::string expected;              // the folder of the answer; "" for none
    };
    const std::vector<Row> rows = {
        {"no manual anywhere", {}, {}, ""},
        {"build folder copy beside the program", {beside}, {}, beside},
        {"installed copy under share/doc", {installed}, {}, installed},
        {"the copy beside the program wins", {beside, installed}, {}, beside},
        {"a folder named index.html is no manual", {installed}, {beside}, installed},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        test::TempDir dir;
        program_ = dir.Path() + "/bin";
        std::filesystem::create_directories(program_);
        SetProgramFolderForTesting(Utf8ToUtf16(program_));
        for (const std::string& folder : row.manuals) {
            std::filesystem::create_directories(dir.Path() + "/" + folder);
            std::ofstream(dir.Path() + "/" + folder + "/index.html") << "<html></html>";
        }
        for (const std::string& folder : row.folders) {
            std::filesystem::create_directories(dir.Path() + "/" + folder + "/index.html");
        }
        std::u16string expected;
        if (!row.expected.empty()) {
            std::filesystem::path path =
                std::filesystem::canonical(dir.Path() + "/" + row.expected + "/index.html");
            expected = Utf8ToUtf16(path.string());
        }
        std::u16string help = GetHelpFilePath();
        EXPECT_EQ(help, expected);
        EXPECT_EQ(Utf16ToUtf8(help).find("/../"), std::string::npos);
    }
}

TEST_F(DataFolderTest, InstalledManualIsUnderShareDocBesideBin) {
    // The default install layout: bin/linesift and share/doc/linesift/manual.
    std::filesystem::create_directories(dir_.Path() + "/share/doc/linesift/manual");
    std::ofstream(dir_.Path() + "/share/doc/linesift/manual/index.html") << "<html></html>";
    if (std::string(LINESIFT_INSTALLED_MANUAL) != "../share/doc/linesift/manual") {
        GTEST_SKIP() << "configured with another layout: " << LINESIFT_INSTALLED_MANUAL;
    }
    EXPECT_EQ(GetHelpFilePath(), Utf8ToUtf16(std::filesystem::canonical(dir_.Path()).string() +
                                             "/share/doc/linesift/manual/index.html"));
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
