#pragma once

#include <unistd.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "document/text_document.h"

namespace linesift::test {

// A document of given lines: held in memory, or read from a UTF-16 file
// (removed once loaded, the document keeps it mapped), so its lines are
// decoded from the file's bytes whenever they are read.
class TestLines {
  public:
    enum class Source { Memory, File };

    TestLines(const std::vector<std::u16string>& lines, Source source) {
        if (source == Source::File && Loadable(lines) && LoadFile(lines)) {
            return;
        }
        document_.LoadFromLines(lines);
    }
    TestLines(const TestLines&) = delete;
    TestLines& operator=(const TestLines&) = delete;

    const TextDocument& Document() const { return document_; }

  private:
    // Whether the file reads back as exactly these lines: no line holds a
    // line break, and a single empty line would be an empty file.
    static bool Loadable(const std::vector<std::u16string>& lines) {
        if (lines.size() == 1 && lines[0].empty()) {
            return false;
        }
        for (const std::u16string& line : lines) {
            if (line.find_first_of(u"\r\n") != std::u16string::npos) {
                return false;
            }
        }
        return true;
    }

    bool LoadFile(const std::vector<std::u16string>& lines) {
        std::string bytes = "\xFF\xFE";
        for (size_t i = 0; i < lines.size(); ++i) {
            for (char16_t u : lines[i]) {
                bytes.push_back(static_cast<char>(u & 0xFF));
                bytes.push_back(static_cast<char>(u >> 8));
            }
            if (i + 1 < lines.size()) {
                bytes.append("\n\0", 2);
            }
        }
        const char* tmp = std::getenv("TMPDIR");
        std::string path = std::string(tmp != nullptr ? tmp : "/tmp") + "/linesift-lines-XXXXXX";
        int fd = ::mkstemp(path.data());
        if (fd < 0) {
            return false;
        }
        bool written =
            ::write(fd, bytes.data(), bytes.size()) == static_cast<ssize_t>(bytes.size());
        ::close(fd);
        bool loaded = written && document_.LoadFromFile(FromNativePath(path));
        ::unlink(path.c_str());
        return loaded && document_.LineCount() == lines.size();
    }

    TextDocument document_;
};

}  // namespace linesift::test
