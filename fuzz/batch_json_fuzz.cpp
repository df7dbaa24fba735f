// The batch mode's JSON output: for any file and query, every output line is
// one valid JSON object whose text is the document line's text exactly,
// lines come in document order as the filter mode shows them, and spans lie
// inside their line.
//
// Input: a switch byte (bit 0 filter, bits 1-2 query mode, bit 3 match
// case, bit 4 whole word, bits 5-6 filter mode); with a filter, the query in
// UTF-8 up to the first line feed; the rest is the file (skipped when it
// starts like a compressed file, which the batch mode decompresses).
#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>

#include "batch.h"
#include "compress/compression.h"
#include "document/text_document.h"
#include "fuzz_support.h"
#include "json_reader.h"
#include "platform/code_page.h"

namespace linesift {
namespace {

BatchOptions OptionsFrom(uint8_t flags, std::string_view& rest) {
    BatchOptions options;
    options.json = true;
    options.print = true;
    options.filter = (flags & 1) != 0;
    if (options.filter) {
        size_t cut = rest.find('\n');
        options.request.text = Utf8ToUtf16(rest.substr(0, cut));
        rest = cut == std::string_view::npos ? std::string_view() : rest.substr(cut + 1);
    }
    options.request.query_mode = static_cast<QueryMode>((flags >> 1) & 3);
    options.request.match_case = (flags & 8) != 0;
    options.request.whole_word = (flags & 16) != 0;
    options.request.filter_mode = static_cast<FilterMode>((flags >> 5) & 3);
    return options;
}

std::string RunToText(const BatchOptions& options, int& status) {
    char* buffer = nullptr;
    size_t length = 0;
    std::FILE* out = ::open_memstream(&buffer, &length);
    std::FILE* err = std::fopen("/dev/null", "w");
    fuzz::Check(out != nullptr && err != nullptr, "no output streams");
    status = RunBatch(options, out, err);
    std::fclose(out);
    std::fclose(err);
    std::string text(buffer, length);
    std::free(buffer);
    return text;
}

// One output line against the document; previous is the last line number seen.
void CheckObject(const test::JsonValue& object, const TextDocument& document, bool filter,
                 int64_t& previous) {
    using Kind = test::JsonValue::Kind;
    const test::JsonValue* line = object.Member(u"line");
    const test::JsonValue* text = object.Member(u"text");
    fuzz::Check(object.kind == Kind::Object && line != nullptr && line->kind == Kind::Number &&
                    text != nullptr && text->kind == Kind::String,
                "an output line lacks its line number or text");
    int64_t number = std::stoll(line->number);
    fuzz::Check(number > previous && number <= static_cast<int64_t>(document.LineCount()) &&
                    (filter || number == previous + 1),
                "line numbers are out of order");
    previous = number;
    std::u16string buffer;
    std::u16string_view expected = document.LineText(static_cast<size_t>(number - 1), buffer);
    fuzz::Check(text->string == expected, "the JSON text differs from the line");
    const test::JsonValue* spans = object.Member(u"spans");
    fuzz::Check(!filter || (spans != nullptr && spans->kind == Kind::Array), "spans missing");
    for (const test::JsonValue& span : filter ? spans->items : std::vector<test::JsonValue>()) {
        fuzz::Check(span.kind == Kind::Array && span.items.size() == 2, "a span is no pair");
        int64_t start = std::stoll(span.items[0].number);
        int64_t end = std::stoll(span.items[1].number);
        fuzz::Check(0 <= start && start < end && end <= static_cast<int64_t>(expected.size()),
                    "a span lies outside its line");
    }
}

}  // namespace
}  // namespace linesift

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace linesift;
    if (size == 0) {
        return 0;
    }
    std::string_view rest(reinterpret_cast<const char*>(data + 1), size - 1);
    BatchOptions options = OptionsFrom(data[0], rest);
    // A file that starts like an archive is read as its decompressed text,
    // which the document loaded here would not see.
    if (DetectCompression(reinterpret_cast<const uint8_t*>(rest.data()), rest.size()) !=
        Compression::None) {
        return 0;
    }
    options.file = fuzz::WriteScratchFile("input.txt", rest);
    TextDocument document;
    fuzz::Check(document.LoadFromFile(FromNativePath(options.file)), "the file did not load");
    int status = 0;
    std::string output = RunToText(options, status);
    int64_t previous = 0;
    size_t objects = 0;
    for (size_t from = 0; from < output.size(); ++objects) {
        size_t end = output.find('\n', from);
        fuzz::Check(end != std::string::npos, "the output does not end with a line feed");
        test::JsonValue object;
        std::string error;
        fuzz::Check(
            test::ReadJson(std::string_view(output).substr(from, end - from), object, error),
            "an output line is not valid JSON");
        CheckObject(object, document, options.filter, previous);
        from = end + 1;
    }
    fuzz::Check(status == 2 || status == (objects == 0 ? 1 : 0), "wrong exit status");
    fuzz::Check(options.filter || objects == document.LineCount(), "lines are missing");
    return 0;
}
