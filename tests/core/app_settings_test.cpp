#include "settings/app_settings.h"

#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <csignal>
#include <cstdint>
#include <filesystem>
#include <functional>

#include "platform/code_page.h"
#include "platform/native_path.h"
#include "scoped_env.h"
#include "test_files.h"

namespace linesift {
namespace {

constexpr char kHeader[] =
    "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
    "<LinesiftSettings version=\"1.0\" xmlns=\"urn:linesift:settings:1\">\n";

std::string Wrap(std::string_view body) {
    return kHeader + std::string(body) + "</LinesiftSettings>\n";
}

class AppSettingsTest : public ::testing::Test {
  protected:
    void TearDown() override { SetLegacyCodePage(""); }

    std::string SettingsPath() const { return dir_.Path() + "/Settings.xml"; }
    std::string Saved(const AppSettings& settings) const {
        EXPECT_TRUE(settings.SaveSettings());
        return test::ReadFileBytes(SettingsPath());
    }
    // Loads bytes as Settings.xml into default settings; accepted tells
    // whether the file was taken.
    AppSettings Loaded(std::string_view bytes, bool& accepted) const {
        dir_.Write("Settings.xml", bytes);
        AppSettings settings;
        accepted = settings.LoadSettings();
        return settings;
    }
    size_t FilesInFolder() const {
        size_t n = 0;
        for (const auto& entry : std::filesystem::directory_iterator(dir_.Path())) {
            (void)entry;
            ++n;
        }
        return n;
    }

    test::TempDir dir_;
    test::ScopedEnv data_dir_{"LINESIFT_DATA_DIR", dir_.Path()};
};

AppSettings EverythingChanged() {
    AppSettings s;
    s.save_query_history = true;
    s.save_tester_history = true;
    s.hilite_color = {.blue = 0x30, .green = 0x20, .red = 0x10};
    s.auto_suggest = true;
    s.query_mode = 2;
    s.match_case = s.match_whole_word_only = s.word_wrap = s.maximized = true;
    s.search_as_you_type = s.show_toolbar = s.show_statusbar = false;
    s.filter_mode = 1;
    s.follow_file = true;
    s.frame_rect = {.left = -20, .top = 5, .right = 3000, .bottom = 2000};
    s.recent_files = {u"/tmp/a b.log", u"/tmp/A B.log", u"/tmp/line\rbreak\n.txt"};
    s.mru_queries = {u"a & b", u"<tag attr=\"v\">", u"it's"};
    s.all_queries = {u"\U0001F600 smile", u"tab\there", u"a & b"};
    s.tester_text_mru = {u"crlf\r\nend", u"\u00e9t\u00e9"};
    s.tester_regex_mru = {u"^\\d+$", u"[\"']"};
    s.ansi_code_page = u"windows-1251";
    s.context_lines = 3;
    s.line_numbers = true;
    s.highlight_rules = {
        {.text = u"a \"b\" & <c>\x01", .foreground = Color32{.blue = 1, .green = 2, .red = 3}},
        {.text = u"^x+$",
         .query_mode = 2,
         .match_case = true,
         .whole_word = true,
         .background = Color32{.blue = 0xAB, .green = 0xCD, .red = 0xEF},
         .enabled = false},
    };
    return s;
}

TEST_F(AppSettingsTest, SaveThenLoadGivesTheSameObject) {
    struct Row {
        const char* name;
        AppSettings settings;
    };
    const std::vector<Row> rows = {
        {"defaults", AppSettings{}},
        {"every field changed, with text that needs escaping", EverythingChanged()},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        ASSERT_TRUE(row.settings.SaveSettings());
        AppSettings loaded;
        ASSERT_TRUE(loaded.LoadSettings());
        AppSettings expected = row.settings;
        expected.debut = false;
        EXPECT_EQ(loaded, expected);
    }
}

TEST_F(AppSettingsTest, WritesElementsAndAttributesInOrder) {
    AppSettings s = EverythingChanged();
    s.recent_files = {u"/r"};
    s.mru_queries = {u"m"};
    s.all_queries = {u"a"};
    s.tester_text_mru = {u"t"};
    s.tester_regex_mru = {u"x&y"};
    s.highlight_rules = {{.text = u"y",
                          .query_mode = 1,
                          .foreground = Color32{.blue = 3, .green = 2, .red = 1},
                          .background = Color32{.blue = 6, .green = 5, .red = 4}}};
    const std::string expected =
        std::string(kHeader) +
        "    <States>\n"
        "        <Application debut=\"0\" auto_suggest=\"1\" "
        "query_mode=\"2\" match_case=\"1\" match_whole_word_only=\"1\" "
        "search_as_you_type=\"0\" word_wrap=\"1\" filter_mode=\"1\" context_lines=\"3\" "
        "line_numbers=\"1\"/>\n"
        "        <MainFrame x=\"-20\" y=\"5\" width=\"3020\" "
        "height=\"1995\" maximized=\"1\" show_toolbar=\"0\" "
        "show_statusbar=\"0\" follow_file=\"1\"/>\n"
        "        <RecentFiles>\n"
        "            <File path=\"/r\"/>\n"
        "        </RecentFiles>\n"
        "        <MruQueries>\n"
        "            <Query text=\"m\"/>\n"
        "        </MruQueries>\n"
        "        <AllQueries>\n"
        "            <Query text=\"a\"/>\n"
        "        </AllQueries>\n"
        "        <RegexTester>\n"
        "            <TextMru>\n"
        "                <Text value=\"t\"/>\n"
        "            </TextMru>\n"
        "            <RegexMru>\n"
        "                <Regex value=\"x&amp;y\"/>\n"
        "            </RegexMru>\n"
        "        </RegexTester>\n"
        "    </States>\n"
        "    <Options>\n"
        "        <General save_file_history=\"1\" save_query_history=\"1\" "
        "save_tester_history=\"1\" hilite_color=\"#102030\" "
        "ansi_code_page=\"windows-1251\"/>\n"
        "        <Highlighters>\n"
        "            <Rule text=\"y\" query_mode=\"1\" match_case=\"0\" whole_word=\"0\" "
        "foreground=\"#010203\" background=\"#040506\" enabled=\"1\"/>\n"
        "        </Highlighters>\n"
        "    </Options>\n"
        "</LinesiftSettings>\n";
    EXPECT_EQ(Saved(s), expected);
}

TEST_F(AppSettingsTest, HighlightersContextAndLineNumbersLoadRows) {
    const std::string older = Wrap(
        "<States><Application query_mode=\"1\"/></States>"
        "<Options><General hilite_color=\"#102030\"/></Options>");
    struct Row {
        const char* name;
        std::string file;
        std::function<void(AppSettings&)> expect;  // changes the defaults to what loads
    };
    const std::vector<Row> rows = {
        {"a file written before these settings loads their defaults", older,
         [](AppSettings& s) {
             s.query_mode = 1;
             s.hilite_color = {.blue = 0x30, .green = 0x20, .red = 0x10};
         }},
        {"an empty Highlighters element keeps no rule", Wrap("<Options><Highlighters/></Options>"),
         [](AppSettings& s) { s.highlight_rules.clear(); }},
        {"a rule without text is skipped, colours and switches read, mode clamped",
         Wrap("<Options><Highlighters><Rule/><Rule text=\"\"/>"
              "<Rule text=\"t\" query_mode=\"9\" match_case=\"5\" background=\"fee300\" "
              "enabled=\"0\"/></Highlighters></Options>"),
         [](AppSettings& s) {
             s.highlight_rules = {{.text = u"t",
                                   .query_mode = 2,
                                   .match_case = true,
                                   .background = Color32{.blue = 0, .green = 0xE3, .red = 0xFE},
                                   .enabled = false}};
         }},
        {"context lines are clamped, line numbers read",
         Wrap("<States><Application context_lines=\"-4\" line_numbers=\"1\"/>"
              "<Application context_lines=\"99999\"/></States>"),
         [](AppSettings& s) {
             s.context_lines = AppSettings::kMaxContextLines;
             s.line_numbers = true;
         }},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        bool accepted = false;
        AppSettings loaded = Loaded(row.file, accepted);
        EXPECT_TRUE(accepted);
        AppSettings expected;
        row.expect(expected);
        EXPECT_EQ(loaded, expected);
    }
}

TEST_F(AppSettingsTest, NewElementsLeaveTheEarlierOnesAsAnEarlierReaderWantsThem) {
    // An earlier reader takes the first General of Options and skips
    // elements and attributes it does not know.
    std::string text = Saved(EverythingChanged());
    const size_t options = text.find("<Options>");
    ASSERT_NE(options, std::string::npos);
    EXPECT_EQ(text.find("<General ", options), text.find('<', options + 1));
    EXPECT_NE(text.find("hilite_color=\"#102030\""), std::string::npos);
    EXPECT_LT(text.find("<General "), text.find("<Highlighters>"));
}

TEST_F(AppSettingsTest, WritesHistoryListsOnlyWhenKept) {
    struct Row {
        const char* name;
        bool files, queries, tester;
    };
    const std::vector<Row> rows = {
        {"defaults keep files only", true, false, false},
        {"nothing kept", false, false, false},
        {"queries only", false, true, false},
        {"tester only", false, false, true},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        AppSettings s = EverythingChanged();
        s.save_file_history = row.files;
        s.save_query_history = row.queries;
        s.save_tester_history = row.tester;
        std::string text = Saved(s);
        EXPECT_EQ(text.find("<RecentFiles>") != std::string::npos, row.files);
        EXPECT_EQ(text.find("<MruQueries>") != std::string::npos, row.queries);
        EXPECT_EQ(text.find("<AllQueries>") != std::string::npos, row.queries);
        EXPECT_EQ(text.find("<RegexTester>") != std::string::npos, row.tester);
    }
}

TEST_F(AppSettingsTest, LoadsEdgeCases) {
    using Check = std::function<void(const AppSettings&)>;
    struct Row {
        const char* name;
        std::string body;
        Check check;
    };
    const std::vector<Row> rows = {
        {"modes are clamped", R"(<States><Application query_mode="7" filter_mode="-3"/></States>)",
         [](const AppSettings& s) {
             EXPECT_EQ(s.query_mode, 2);
             EXPECT_EQ(s.filter_mode, 0);
         }},
        {"any non-zero integer is true",
         R"(<States><Application word_wrap="-5" search_as_you_type="0"/></States>)",
         [](const AppSettings& s) {
             EXPECT_TRUE(s.word_wrap);
             EXPECT_FALSE(s.search_as_you_type);
         }},
        {"non-integer attributes keep their values",
         R"(<States><Application match_case="yes" word_wrap="1x" query_mode="" )"
         R"(filter_mode="99999999999" auto_suggest="0x1"/>)"
         R"(<MainFrame x="abc" width="1e3" maximized="true"/></States>)",
         [](const AppSettings& s) { EXPECT_EQ(s, AppSettings{}); }},
        {"negative width is normalised",
         R"(<States><MainFrame x="100" y="10" width="-200" height="30"/></States>)",
         [](const AppSettings& s) {
             EXPECT_EQ(s.frame_rect, (Rect32{.left = -100, .top = 10, .right = 100, .bottom = 40}));
         }},
        {"missing frame attributes keep the current rectangle",
         R"(<States><MainFrame x="0"/></States>)",
         [](const AppSettings& s) {
             EXPECT_EQ(s.frame_rect, (Rect32{.left = 0, .top = 100, .right = 650, .bottom = 650}));
         }},
        {"rectangle past the 32-bit range is clamped",
         R"(<States><MainFrame x="2147483000" width="2147483000" y="-2147483000" )"
         R"(height="-2147483000"/></States>)",
         [](const AppSettings& s) {
             EXPECT_EQ(s.frame_rect, (Rect32{.left = 2147483000,
                                             .top = INT32_MIN,
                                             .right = INT32_MAX,
                                             .bottom = -2147483000}));
         }},
        {"duplicate and empty recent paths are skipped",
         R"(<States><RecentFiles><File path="/a"/><File path=""/><File/><File path="/A"/>)"
         R"(<Other path="/x"/><File path="/a"/></RecentFiles></States>)",
         [](const AppSettings& s) {
             EXPECT_EQ(s.recent_files, (std::deque<std::u16string>{u"/a", u"/A"}));
         }},
        {"query lists keep duplicates and skip empty texts",
         R"(<States><MruQueries><Query text="q"/><Query text=""/><Query text="q"/></MruQueries>)"
         R"(<AllQueries><Query text="&lt;&amp;&#13;"/></AllQueries></States>)",
         [](const AppSettings& s) {
             EXPECT_EQ(s.mru_queries, (std::vector<std::u16string>{u"q", u"q"}));
             EXPECT_EQ(s.all_queries, (std::vector<std::u16string>{u"<&\r"}));
         }},
        {"tester lists are read from their own children",
         R"(<States><RegexTester><RegexMru><Regex value="r"/><Text value="no"/></RegexMru>)"
         R"(<TextMru><Text value="t1"/><Text value="t2"/></TextMru></RegexTester></States>)",
         [](const AppSettings& s) {
             EXPECT_EQ(s.tester_text_mru, (std::vector<std::u16string>{u"t1", u"t2"}));
             EXPECT_EQ(s.tester_regex_mru, (std::vector<std::u16string>{u"r"}));
         }},
        {"lower-case colour without hash",
         R"(<Options><General hilite_color="fee300" save_file_history="0"/></Options>)",
         [](const AppSettings& s) {
             EXPECT_EQ(s.hilite_color, (Color32{.blue = 0x00, .green = 0xE3, .red = 0xFE}));
             EXPECT_FALSE(s.save_file_history);
         }},
        {"every General element is applied in order",
         R"(<Options><General save_query_history="1"/><Skip/>)"
         R"(<General save_tester_history="1" save_query_history="0"/></Options>)",
         [](const AppSettings& s) {
             EXPECT_FALSE(s.save_query_history);
             EXPECT_TRUE(s.save_tester_history);
         }},
        {"unexpected and nested elements are skipped",
         R"(<Junk><States><Application word_wrap="1"/></States></Junk>)"
         R"(<States><Foo><Application word_wrap="1"/><a><b><c/></b></a></Foo>)"
         R"(<Application match_case="1" unknown="2">text<!-- c --></Application></States>)",
         [](const AppSettings& s) {
             EXPECT_FALSE(s.word_wrap);
             EXPECT_TRUE(s.match_case);
         }},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        bool accepted = false;
        AppSettings s = Loaded(Wrap(row.body), accepted);
        EXPECT_TRUE(accepted);
        row.check(s);
    }
}

TEST_F(AppSettingsTest, IgnoresFilesThatAreNotSettingsOfThisVersion) {
    const std::string good = Wrap(R"(<States><Application word_wrap="1"/></States>)");
    std::string deep;
    for (int i = 0; i < 100000; ++i) {
        deep += "<a>";
    }
    for (int i = 0; i < 100000; ++i) {
        deep += "</a>";
    }
    struct Row {
        const char* name;
        std::string bytes;
    };
    const std::vector<Row> rows = {
        {"empty file", ""},
        {"not XML", "word_wrap=1\n"},
        {"binary", std::string("\0\xFF\xFE<\0", 5)},
        {"truncated", good.substr(0, good.size() / 2)},
        {"wrong root",
         R"(<Settings version="1.0" xmlns="urn:linesift:settings:1"><States/></Settings>)"},
        {"other version", R"(<LinesiftSettings version="1.1" xmlns="urn:linesift:settings:1">)"
                          R"(<States><Application word_wrap="1"/></States></LinesiftSettings>)"},
        {"no version", R"(<LinesiftSettings xmlns="urn:linesift:settings:1"/>)"},
        {"other namespace", R"(<LinesiftSettings version="1.0" xmlns="urn:other"/>)"},
        {"no namespace", R"(<LinesiftSettings version="1.0"/>)"},
        {"deeply nested", Wrap("<States>" + deep + "</States>")},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        bool accepted = true;
        AppSettings s = Loaded(row.bytes, accepted);
        EXPECT_FALSE(accepted);
        EXPECT_EQ(s, AppSettings{});
    }
}

TEST_F(AppSettingsTest, KeepsAnUnusableFileAsBadOnceAndSaysSo) {
    struct Row {
        const char* name;
        std::string bytes;
    };
    const std::vector<Row> rows = {
        {"not XML", "word_wrap=1\n"},
        {"other version", R"(<LinesiftSettings version="9" xmlns="urn:linesift:settings:1"/>)"},
        {"unreadable", "<unreadable/>"},
    };
    const std::string bad = SettingsPath() + ".bad";
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        dir_.Write("Settings.xml", row.bytes);
        if (std::string(row.name) == "unreadable") {
            ::chmod(SettingsPath().c_str(), 0);
            if (::access(SettingsPath().c_str(), R_OK) == 0) {
                continue;  // running as root: every file is readable
            }
        }
        AppSettings s;
        ::testing::internal::CaptureStderr();
        EXPECT_FALSE(s.LoadSettings());
        EXPECT_FALSE(s.LoadSettings()) << "nothing is left to set aside";
        std::string err = ::testing::internal::GetCapturedStderr();
        EXPECT_EQ(err, "linesift: " + SettingsPath() + " could not be read; it was kept as " + bad +
                           "\n");
        ::chmod(bad.c_str(), 0600);
        EXPECT_EQ(test::ReadFileBytes(bad), row.bytes) << "replaced by the latest";
        Saved(s);
        EXPECT_EQ(test::ReadFileBytes(bad), row.bytes) << "a save leaves it alone";
    }
}

TEST_F(AppSettingsTest, LargeFilesAreReadOrKept) {
    bool accepted = false;
    std::string big = Wrap(std::string(17 << 20, ' ') + R"(<States><Application word_wrap="1"/>)"
                                                        R"(</States>)");
    AppSettings s = Loaded(big, accepted);
    EXPECT_TRUE(accepted) << "a valid file of 17 MiB";
    EXPECT_TRUE(s.word_wrap);

    dir_.Write("Settings.xml", kHeader);
    ASSERT_EQ(::truncate(SettingsPath().c_str(), off_t{300} << 20), 0);
    ::testing::internal::CaptureStderr();
    EXPECT_FALSE(AppSettings{}.LoadSettings()) << "too large to read";
    ::testing::internal::GetCapturedStderr();
    EXPECT_EQ(std::filesystem::file_size(SettingsPath() + ".bad"), uintmax_t{300} << 20);
    EXPECT_FALSE(std::filesystem::exists(SettingsPath()));
}

TEST_F(AppSettingsTest, IgnoresSettingsPathsThatAreNotFiles) {
    AppSettings s;
    EXPECT_FALSE(s.LoadSettings()) << "missing file";
    ASSERT_EQ(::mkfifo(SettingsPath().c_str(), 0600), 0);
    EXPECT_FALSE(s.LoadSettings()) << "a FIFO must not block";
    std::filesystem::remove(SettingsPath());
    std::filesystem::create_directory(SettingsPath());
    EXPECT_FALSE(s.LoadSettings()) << "folder";
    EXPECT_EQ(s, AppSettings{});
}

TEST_F(AppSettingsTest, AppliesKnownLegacyCodePageOnly) {
    bool accepted = false;
    AppSettings s =
        Loaded(Wrap(R"(<Options><General ansi_code_page="windows-1251"/></Options>)"), accepted);
    EXPECT_EQ(s.ansi_code_page, u"windows-1251");
    EXPECT_EQ(LegacyCodePageName(), "windows-1251");
    s = Loaded(Wrap(R"(<Options><General ansi_code_page="no-such-set"/></Options>)"), accepted);
    EXPECT_TRUE(accepted);
    EXPECT_EQ(s.ansi_code_page, u"");
    EXPECT_EQ(LegacyCodePageName(), "windows-1251");
}

// Found by fuzzing: ICU skips what it does not expect in a name, so a name
// with other bytes was applied, then saved differently and lost on reload.
TEST_F(AppSettingsTest, SkipsLegacyCodePageNamesThatAreNotAscii) {
    bool accepted = false;
    AppSettings s = Loaded(Wrap("<Options><General ansi_code_page=\"windows-1\xFF\xFE"
                                "251\"/></Options>"),
                           accepted);
    EXPECT_TRUE(accepted);
    EXPECT_EQ(s.ansi_code_page, u"");
    EXPECT_FALSE(
        SetLegacyCodePage("windows-\xC3\xA9"
                          "1251"));
    EXPECT_FALSE(SetLegacyCodePage("windows-1251\n"));
    EXPECT_EQ(LegacyCodePageName(), "windows-1252");
}

// Found by fuzzing: a rectangle wider than any 32-bit width was saved with a
// clamped width and loaded back narrower.
TEST_F(AppSettingsTest, FrameWiderThanAnyWidthIsCappedAndRoundTrips) {
    bool accepted = false;
    AppSettings s = Loaded(Wrap(R"(<States><MainFrame x="2147483647" y="-2147483648" )"
                                R"(width="-2147483648" height="2147483647"/></States>)"),
                           accepted);
    EXPECT_EQ(s.frame_rect,
              (Rect32{.left = -1, .top = INT32_MIN, .right = INT32_MAX - 1, .bottom = -1}));
    Saved(s);
    AppSettings again;
    EXPECT_TRUE(again.LoadSettings());
    EXPECT_EQ(again.frame_rect, s.frame_rect);
}

TEST_F(AppSettingsTest, FailedSaveLeavesEarlierFileWhole) {
    dir_.Write("Settings.xml", "earlier");
    AppSettings s = EverythingChanged();
    s.all_queries.assign(2000, u"a long query text that fills the disk");
    struct rlimit saved;
    ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &saved), 0);
    struct rlimit small = saved;
    small.rlim_cur = 4096;
    auto previous = std::signal(SIGXFSZ, SIG_IGN);
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &small), 0);
    bool ok = s.SaveSettings();
    ::setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, previous);
    EXPECT_FALSE(ok);
    EXPECT_EQ(test::ReadFileBytes(SettingsPath()), "earlier");
    EXPECT_EQ(FilesInFolder(), 1u) << "a temporary file was left behind";
}

TEST_F(AppSettingsTest, SaveFailsWhenTheFileCannotBeReplaced) {
    std::filesystem::create_directory(SettingsPath());
    EXPECT_FALSE(AppSettings{}.SaveSettings());
    EXPECT_TRUE(std::filesystem::is_directory(SettingsPath()));
    EXPECT_EQ(FilesInFolder(), 1u) << "a temporary file was left behind";
    test::ScopedEnv below_a_file("LINESIFT_DATA_DIR", dir_.Write("file", "x") + "/sub");
    EXPECT_FALSE(AppSettings{}.SaveSettings());
}

TEST_F(AppSettingsTest, SaveKeepsLinkAndPermissions) {
    std::string real = dir_.Write("real.xml", "old");
    ::chmod(real.c_str(), 0640);
    std::filesystem::create_symlink(real, SettingsPath());
    Saved(AppSettings{});
    EXPECT_TRUE(std::filesystem::is_symlink(SettingsPath()));
    EXPECT_NE(test::ReadFileBytes(real), "old");
    struct stat st;
    ASSERT_EQ(::stat(real.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0640u);
}

// Whether text holds only characters XML 1.0 allows, and no character
// reference to one it forbids.
bool IsXmlText(std::string_view bytes) {
    std::u16string text = Utf8ToUtf16(bytes);
    if (Utf16ToUtf8(text) != bytes) {
        return false;
    }
    for (size_t i = 0; i < text.size(); ++i) {
        char16_t u = text[i];
        bool pairLead = u >= 0xD800 && u <= 0xDBFF && i + 1 < text.size() &&
                        text[i + 1] >= 0xDC00 && text[i + 1] <= 0xDFFF;
        if (pairLead) {
            ++i;
            continue;
        }
        if ((u < 0x20 && u != u'\t' && u != u'\n' && u != u'\r') || u == 0xFFFE || u == 0xFFFF ||
            (u >= 0xD800 && u <= 0xDFFF)) {
            return false;
        }
    }
    for (size_t at = bytes.find("&#"); at != std::string_view::npos;
         at = bytes.find("&#", at + 1)) {
        if (bytes.substr(at, 5) != "&#13;") {
            return false;
        }
    }
    return true;
}

TEST_F(AppSettingsTest, TextsXmlCannotHoldAreEscapedAndReadBackExactly) {
    struct Row {
        const char* name;
        std::u16string text;
    };
    const std::vector<Row> rows = {
        {"control character", u"/tmp/a\u0001b.log"},
        {"escape character and delete", u"\u001b[31m\u007f"},
        {"form feed and vertical tab", u"\f\v"},
        {"non-characters", u"\uFFFE\uFFFF"},
        {"lone surrogates", std::u16string{u'a', 0xDCE9, u'b', 0xD800}},
        {"backslashes beside a control", u"C:\\u0001\\\\\u0002\\"},
        {"pair kept whole", u"\U0001F600\u0003"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        AppSettings s = EverythingChanged();
        s.recent_files = {row.text, u"plain"};
        s.mru_queries = {row.text};
        s.all_queries = {row.text};
        s.tester_text_mru = {row.text};
        s.tester_regex_mru = {row.text};
        std::string text = Saved(s);
        EXPECT_TRUE(IsXmlText(text)) << text;
        EXPECT_NE(text.find("<File path=\"plain\"/>"), std::string::npos) << text;
        AppSettings loaded;
        ASSERT_TRUE(loaded.LoadSettings());
        s.debut = false;
        EXPECT_EQ(loaded, s);
    }
}

// File names that are not UTF-8 are stored so that the same bytes come back.
TEST_F(AppSettingsTest, PathsThatAreNotUtf8ComeBackAsTheSameBytes) {
    const std::string latin1 = "/tmp/caf\xE9.log";
    const std::string mixed = "/tmp/\xC3\xA9t\xE9/\xFF\x80.txt";
    AppSettings s = EverythingChanged();
    s.recent_files = {FromNativePath(latin1), FromNativePath(mixed)};
    s.last_folder = FromNativePath("/tmp/d\xE9j\xE0");
    std::string text = Saved(s);
    EXPECT_TRUE(IsXmlText(text)) << text;
    EXPECT_NE(text.find("path_escaped=\"/tmp/caf\\uDCE9.log\""), std::string::npos) << text;
    AppSettings loaded;
    ASSERT_TRUE(loaded.LoadSettings());
    ASSERT_EQ(loaded.recent_files.size(), 2u);
    EXPECT_EQ(ToNativePath(loaded.recent_files[0]), latin1);
    EXPECT_EQ(ToNativePath(loaded.recent_files[1]), mixed);
    EXPECT_EQ(ToNativePath(loaded.last_folder), "/tmp/d\xE9j\xE0");

    // Without file history no path is written, the folder neither.
    s.save_file_history = false;
    text = Saved(s);
    EXPECT_EQ(text.find("last_folder"), std::string::npos) << text;
    EXPECT_EQ(text.find("/tmp/"), std::string::npos) << text;
}

// A data folder whose name is not UTF-8 holds the settings like any other.
TEST(AppSettingsFolderTest, DataFolderThatIsNotUtf8) {
    test::TempDir dir;
    const std::string folder = dir.Path() + "/d\xE9j\xE0";
    test::ScopedEnv dataDir{"LINESIFT_DATA_DIR", folder};
    AppSettings s = EverythingChanged();
    ASSERT_TRUE(s.SaveSettings());
    EXPECT_TRUE(std::filesystem::exists(folder + "/Settings.xml"));
    AppSettings loaded;
    ASSERT_TRUE(loaded.LoadSettings());
    s.debut = false;
    EXPECT_EQ(loaded, s);
}

TEST_F(AppSettingsTest, EarlierFilesReadBackslashesAsThemselves) {
    bool accepted = false;
    AppSettings s = Loaded(Wrap(R"(<States><MruQueries><Query text="C:\u0001\\x\"/>)"
                                R"(</MruQueries></States>)"),
                           accepted);
    EXPECT_TRUE(accepted);
    EXPECT_EQ(s.mru_queries, std::vector<std::u16string>{u"C:\\u0001\\\\x\\"});
}

// A recent file's chosen encoding rides on its File element; files without
// the attribute (written by earlier versions) load as before, and the
// element keeps its path attribute, so earlier readers still find the file.
TEST_F(AppSettingsTest, RecentFileEncodingsRoundTripAndOlderFilesLoad) {
    AppSettings s;
    s.recent_files = {u"/logs/utf16.txt", u"/logs/plain.log", u"/logs/latin.txt"};
    s.recent_encodings = {{u"/logs/utf16.txt", "UTF-16LE"},
                          {u"/logs/latin.txt", "windows-1252"},
                          {u"/logs/forgotten.log", "UTF-8"}};
    const std::string saved = Saved(s);
    EXPECT_NE(saved.find("<File path=\"/logs/utf16.txt\" encoding=\"UTF-16LE\"/>"),
              std::string::npos)
        << saved;
    EXPECT_NE(saved.find("<File path=\"/logs/plain.log\"/>"), std::string::npos) << saved;
    EXPECT_EQ(saved.find("forgotten"), std::string::npos) << saved;

    bool accepted = false;
    AppSettings loaded = Loaded(saved, accepted);
    ASSERT_TRUE(accepted);
    EXPECT_EQ(loaded.recent_files, s.recent_files);
    s.recent_encodings.erase(u"/logs/forgotten.log");
    EXPECT_EQ(loaded.recent_encodings, s.recent_encodings);

    // As an earlier version wrote it: no attribute, nothing remembered.
    AppSettings older = Loaded(Wrap("    <States>\n"
                                    "        <RecentFiles>\n"
                                    "            <File path=\"/logs/utf16.txt\"/>\n"
                                    "        </RecentFiles>\n"
                                    "    </States>\n"),
                               accepted);
    ASSERT_TRUE(accepted);
    EXPECT_EQ(older.recent_files.size(), 1u);
    EXPECT_TRUE(older.recent_encodings.empty());
}

TEST_F(AppSettingsTest, ThemeIsStoredWhenChosenAndClampedWhenRead) {
    AppSettings s;
    EXPECT_EQ(Saved(s).find("theme="), std::string::npos);
    s.theme = 2;
    bool accepted = false;
    EXPECT_EQ(Loaded(Saved(s), accepted).theme, 2);
    EXPECT_EQ(
        Loaded(Wrap("    <States>\n        <Application theme=\"7\"/>\n    </States>\n"), accepted)
            .theme,
        2);
}

TEST(ColorTextTest, ParsesAndFormats) {
    struct Row {
        const char* name;
        std::u16string text;
        Color32 color;
    };
    const Color32 black{};
    const Color32 highlight{.blue = 0x00, .green = 0xE3, .red = 0xFE};
    const std::vector<Row> rows = {
        {"with hash", u"#FEE300", highlight},
        {"lower case without hash", u"fee300", highlight},
        {"six characters starting with hash", u"#FEE30", black},
        {"seven characters with a bad digit", u"#FEE3G0", black},
        {"seven characters without hash", u"FEE3000", black},
        {"empty", u"", black},
        {"sign inside", u"#+E+300", black},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(ParseColor(row.text), row.color);
    }
    const Color32 mixed{.blue = 0x0A, .green = 0xB0, .red = 0x01, .alpha = 0x10};
    EXPECT_EQ(FormatColor(mixed, true), u"#01B00A");
    EXPECT_EQ(FormatColor(mixed, false), u"01B00A");
}

}  // namespace
}  // namespace linesift
