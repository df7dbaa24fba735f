#include "settings/data_folder.h"

#include <pwd.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <system_error>

#include "platform/code_page.h"
#include "platform/native_path.h"

// The build defines the marker's name, so the install step writes the same one.
#ifndef LINESIFT_INSTALLED_MARKER
#error "LINESIFT_INSTALLED_MARKER must be defined by the build"
#endif
// The installed manual's folder, relative to the installed program's folder.
#ifndef LINESIFT_INSTALLED_MANUAL
#error "LINESIFT_INSTALLED_MANUAL must be defined by the build"
#endif

namespace linesift {
namespace {

std::string g_program_folder_override;

std::string JoinPath(const std::string& folder, const std::string& name) {
    if (folder.empty() || folder.back() == '/') {
        return folder + name;
    }
    return folder + "/" + name;
}

std::string WithTrailingSlash(std::string folder) {
    if (folder.empty() || folder.back() != '/') {
        folder += '/';
    }
    return folder;
}

std::string NativeProgramFolder() {
    if (!g_program_folder_override.empty()) {
        return g_program_folder_override;
    }
    std::error_code ec;
    std::filesystem::path exe = std::filesystem::read_symlink("/proc/self/exe", ec);
    if (ec || !exe.has_parent_path()) {
        return {};
    }
    return exe.parent_path().string();
}

bool IsPortableFolder(const std::string& folder) {
    if (folder.empty() || ::access(folder.c_str(), W_OK) != 0) {
        return false;
    }
    std::error_code ec;
    return !std::filesystem::exists(JoinPath(folder, InstalledMarkerName()), ec) && !ec;
}

// The per-user configuration folder ($XDG_CONFIG_HOME, else ~/.config);
// empty when neither it nor a home folder is known. A relative
// XDG_CONFIG_HOME is ignored, as the XDG base directory rules require.
std::string UserConfigFolder() {
    const char* xdg = std::getenv("XDG_CONFIG_HOME");
    if (xdg != nullptr && xdg[0] == '/') {
        return xdg;
    }
    const char* home = std::getenv("HOME");
    if (home == nullptr || home[0] != '/') {
        const passwd* entry = ::getpwuid(::getuid());
        home = entry != nullptr ? entry->pw_dir : nullptr;
    }
    if (home == nullptr || home[0] != '/') {
        return {};
    }
    return JoinPath(home, ".config");
}

std::string NativeDataFolder() {
    const char* overridden = std::getenv("LINESIFT_DATA_DIR");
    if (overridden != nullptr && overridden[0] != '\0') {
        return WithTrailingSlash(overridden);
    }
    std::string program = NativeProgramFolder();
    if (IsPortableFolder(program)) {
        return WithTrailingSlash(program);
    }
    std::string user = UserConfigFolder();
    if (!user.empty()) {
        return JoinPath(user, "Quellora/Linesift/");
    }
    return JoinPath(program, "Data/");
}

}  // namespace

std::u16string GetProgramFolder() {
    return FromNativePath(NativeProgramFolder());
}

bool IsPortableCopy() {
    return IsPortableFolder(NativeProgramFolder());
}

std::u16string GetDataFolder() {
    return FromNativePath(NativeDataFolder());
}

bool EnsureDataFolder() {
    std::string folder = NativeDataFolder();
    std::error_code ec;
    std::filesystem::create_directories(folder, ec);
    return std::filesystem::exists(folder, ec);
}

std::u16string GetSettingsFilePath() {
    return FromNativePath(JoinPath(NativeDataFolder(), "Settings.xml"));
}

namespace {

std::vector<std::filesystem::path> HelpCandidates() {
    const std::string program = NativeProgramFolder();
    if (program.empty()) {
        return {};
    }
    const std::filesystem::path folder(program);
    return {(folder / "manual" / "index.html").lexically_normal(),
            (folder / LINESIFT_INSTALLED_MANUAL / "index.html").lexically_normal()};
}

}  // namespace

std::u16string GetHelpFilePath() {
    for (const std::filesystem::path& candidate : HelpCandidates()) {
        std::error_code ec;
        if (!std::filesystem::is_regular_file(candidate, ec)) {
            continue;
        }
        std::filesystem::path resolved = std::filesystem::canonical(candidate, ec);
        return FromNativePath(ec ? candidate.string() : resolved.string());
    }
    return {};
}

std::vector<std::u16string> GetHelpFileCandidates() {
    std::vector<std::u16string> out;
    for (const std::filesystem::path& candidate : HelpCandidates()) {
        out.push_back(FromNativePath(candidate.string()));
    }
    return out;
}

const char* InstalledMarkerName() {
    return LINESIFT_INSTALLED_MARKER;
}

void SetProgramFolderForTesting(const std::u16string& folder) {
    g_program_folder_override = ToNativePath(folder);
}

}  // namespace linesift
