#include "fuzz_support.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "platform/code_page.h"

namespace linesift::fuzz {

void Fail(const char* what) {
    std::fprintf(stderr, "property failed: %s\n", what);
    std::abort();
}

const std::string& ScratchFolder() {
    // Never freed: the exit handler that removes the folder runs after the
    // destructors of function-local objects.
    static const std::string* folder = [] {
        struct stat st;
        const char* tmp = std::getenv("TMPDIR");
        std::string base = ::stat("/dev/shm", &st) == 0 && S_ISDIR(st.st_mode) ? "/dev/shm"
                           : tmp != nullptr                                    ? tmp
                                                                               : "/tmp";
        auto* path = new std::string(base + "/linesift-fuzz-" + std::to_string(::getpid()));
        ::mkdir(path->c_str(), 0700);
        std::atexit([] {
            std::error_code ec;
            std::filesystem::remove_all(ScratchFolder(), ec);
        });
        return path;
    }();
    return *folder;
}

std::string WriteScratchFile(const std::string& name, std::string_view bytes) {
    std::string path = ScratchFolder() + "/" + name;
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    Check(out.good(), "the scratch file could not be written");
    return path;
}

std::u16string Utf16LeUnits(const uint8_t* data, size_t size) {
    std::u16string units;
    units.reserve(size / 2);
    for (size_t i = 0; i + 1 < size; i += 2) {
        units.push_back(static_cast<char16_t>(data[i] | data[i + 1] << 8));
    }
    return units;
}

std::u16string InputText(const uint8_t* data, size_t size) {
    if (size == 0) {
        return {};
    }
    if ((data[0] & 0x10) != 0) {
        return Utf16LeUnits(data + 1, size - 1);
    }
    return Utf8ToUtf16(std::string_view(reinterpret_cast<const char*>(data + 1), size - 1));
}

std::vector<std::u16string> SplitAt(std::u16string_view text, char16_t sep) {
    std::vector<std::u16string> parts;
    size_t from = 0;
    for (size_t at; (at = text.find(sep, from)) != std::u16string_view::npos; from = at + 1) {
        parts.emplace_back(text.substr(from, at - from));
    }
    parts.emplace_back(text.substr(from));
    return parts;
}

}  // namespace linesift::fuzz
