#pragma once

#include <string>

#include "document/text_document.h"

namespace linesift {

// Loads the batch mode's file into document. A file compressed with gzip,
// bzip2, xz or zstd (recognised by its first bytes, not its name) loads as
// the text inside it, decoded into an unnamed file in the cache folder;
// standard input and pipes are decoded as they are read. Returns false with
// error set when nothing could be loaded. A corrupt or truncated archive
// loads what was readable and returns true with incomplete set to the reason.
// options.encoding chooses the encoding; streams are always read.
bool LoadBatchInput(const std::string& file, TextDocument& document, std::string& error,
                    std::string& incomplete, LoadOptions options = {});

}  // namespace linesift
