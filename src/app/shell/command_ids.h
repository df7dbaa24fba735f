#pragma once

namespace linesift::cmd {

// The ids of the program's commands (stable numbers: tests and the recent
// files refer to them). Each id has one row in MainFrame::Commands()
// (command_table.cpp), which says everything else about it.
enum : int {
    kNew = 57600,
    kOpen = 57601,
    kSave = 57603,
    kSaveAs = 57604,
    kImportClipboard = 33116,
    kExportFilterResults = 33114,
    kExportSelectedLines = 33123,
    kRecentFirst = 57616,
    kRecentLast = 57631,
    kClearRecent = 32795,
    kExit = 57665,
    kCopy = 57634,
    kPaste = 57637,
    kSelectAll = 33118,
    kSelectInverse = 33120,
    kDeselect = 33119,
    kFind = 33079,
    kAutoSuggest = 33089,
    kClearHistory = 33088,
    kNaiveQuery = 33110,
    kSmartQuery = 33111,
    kRegexQuery = 33109,
    kMatchCase = 33107,
    kMatchWholeWord = 33108,
    kSearchAsYouType = 33087,
    kToolbar = 59392,
    kStatusBar = 59393,
    kWordWrap = 33096,
    kHideUnmatched = 33103,
    kHideMatched = 33104,
    kShowAll = 33102,
    kFollowFile = 33140,
    kRegexTester = 33126,
    kOptions = 32787,
    kHelpContents = 32796,
    kHelpSearch = 32799,
    kWebsite = 33068,
    kCheckForUpdates = 32837,
    kFeedback = 32838,
    kAbout = 57664,
    // File > Reopen with Encoding
    kEncodingAuto = 33200,
    kEncodingUtf8 = 33201,
    kEncodingUtf16Le = 33202,
    kEncodingUtf16Be = 33203,
    kEncodingLegacy = 33204,
    kEncodingMore = 33205,
    // View > Theme
    kThemeSystem = 33210,
    kThemeLight = 33211,
    kThemeDark = 33212,
    // The reading tools.
    kFindNext = 33250,
    kFindPrevious = 33251,
    kGoToLine = 33252,
    kShowInFullFile = 33253,
    kLineNumbers = 33254,
    kHighlighters = 33255,
    kContextLines0 = 33260,  // then 1, 2, 3, 5 and 10 lines
    kContextLines1 = 33261,
    kContextLines2 = 33262,
    kContextLines3 = 33263,
    kContextLines5 = 33264,
    kContextLines10 = 33265,
};

}  // namespace linesift::cmd
