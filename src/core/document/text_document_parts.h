#pragma once

#include <sys/mman.h>
#include <unistd.h>

#include <cstdint>
#include <vector>

#include "document/text_document.h"

namespace linesift {

// Parts of TextDocument that its source files share.

// The read-only mapping of a loaded file and its descriptor, kept open so
// the document can ask whether the file shrank or grew. An empty file has a
// descriptor and no mapping.
struct TextDocument::Mapping {
    int fd = -1;
    void* base = nullptr;
    uint64_t length = 0;

    ~Mapping() {
        if (base != nullptr) {
            ::munmap(base, length);
        }
        if (fd >= 0) {
            ::close(fd);
        }
    }
};

// What ReadAppended compares to tell an append from a rewrite: copies of the
// file's first bytes and of the bytes before the end of what was indexed.
struct TextDocument::FollowState {
    std::vector<uint8_t> head;
    std::vector<uint8_t> tail;
};

// The encoding chosen for data [0, size) as the text is read: UTF-8 with its
// byte order mark when the data has one. start receives the offset of the
// text, past a byte order mark of the chosen encoding.
int32_t ApplyChoice(int32_t chosen, const uint8_t* data, uint64_t size, uint64_t& start);

}  // namespace linesift
