// The file reader: any bytes written to a file load, and the bulk reader (in
// one part and in two), the line-at-a-time stream and the plain unit-at-a-time
// oracle all give the same lines.
#include <cstdint>
#include <string>

#include "document/text_document.h"
#include "document/text_file_stream.h"
#include "fuzz_support.h"
#include "oracle_reader.h"

namespace linesift {
namespace {

test::Lines LoadLines(const std::string& path) {
    TextDocument document;
    fuzz::Check(document.LoadFromFile(FromNativePath(path)), "a readable file failed to load");
    test::Lines lines;
    std::u16string buffer;
    for (size_t i = 0; i < document.LineCount(); ++i) {
        lines.emplace_back(document.LineText(i, buffer));
    }
    test::Lines bulk;
    LineBatch batch;
    ReadStatus status =
        document.ReadLines(0, document.LineCount(), batch, [&bulk](const LineBatch& read) {
            for (size_t k = 0; k < read.size(); ++k) {
                bulk.emplace_back(read.Line(k));
            }
            return true;
        });
    fuzz::Check(status == ReadStatus::Ok && bulk == lines,
                "the bulk reader differs from reading line by line");
    return lines;
}

test::Lines StreamLines(const std::string& path) {
    TextFileStream stream(Detect);
    fuzz::Check(stream.OpenExisting(path), "a readable file failed to open");
    test::Lines lines;
    std::u16string line;
    while (stream.ReadLine(line)) {
        lines.push_back(line);
    }
    return lines;
}

}  // namespace
}  // namespace linesift

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace linesift;
    std::string bytes(reinterpret_cast<const char*>(data), size);
    std::string path = fuzz::WriteScratchFile("input.txt", bytes);
    test::Lines expected = test::OracleReader(bytes).ReadAll();
    SetParallelLoadThresholdForTesting(0);
    fuzz::Check(LoadLines(path) == expected, "the bulk reader differs from the oracle");
    SetParallelLoadThresholdForTesting(1);
    fuzz::Check(LoadLines(path) == expected, "the two-part reader differs from the oracle");
    SetParallelLoadThresholdForTesting(0);
    fuzz::Check(StreamLines(path) == expected, "the line stream differs from the oracle");
    return 0;
}
