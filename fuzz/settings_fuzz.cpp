// The settings reader: any bytes as Settings.xml load without a crash, and
// whatever they loaded survives a save and a load unchanged (apart from what
// the program never stores: the first-run flag it clears and the histories
// it was told not to keep).
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>

#include "fuzz_support.h"
#include "platform/code_page.h"
#include "settings/app_settings.h"

namespace linesift {
namespace {

// settings as a load of its saved file gives them.
AppSettings AsStored(AppSettings settings) {
    settings.debut = false;
    if (!settings.save_file_history) {
        settings.recent_files.clear();
    }
    if (!settings.save_query_history) {
        settings.mru_queries.clear();
        settings.all_queries.clear();
    }
    if (!settings.save_tester_history) {
        settings.tester_text_mru.clear();
        settings.tester_regex_mru.clear();
    }
    return settings;
}

std::string ReadSavedFile() {
    std::ifstream in(fuzz::ScratchFolder() + "/Settings.xml", std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

}  // namespace
}  // namespace linesift

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    ::setenv("LINESIFT_DATA_DIR", linesift::fuzz::ScratchFolder().c_str(), 1);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace linesift;
    SetLegacyCodePage("");
    fuzz::WriteScratchFile("Settings.xml",
                           std::string_view(reinterpret_cast<const char*>(data), size));
    AppSettings loaded;
    loaded.LoadSettings();
    fuzz::Check(loaded.SaveSettings(), "settings could not be saved");
    AppSettings reloaded;
    fuzz::Check(reloaded.LoadSettings(), "saved settings do not load");
    if (!(reloaded == AsStored(loaded))) {
        std::fprintf(stderr, "saved file:\n%s\n", ReadSavedFile().c_str());
        fuzz::Fail("saved settings load differently");
    }
    return 0;
}
