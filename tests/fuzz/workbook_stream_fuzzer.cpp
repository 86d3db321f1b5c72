// The scanner that merges passes into a workbook, fed arbitrary bytes as the file. Whatever it
// follows, the result must be a file it follows again, holding the new pass once, in the
// pupil's worksheet, after the rows that were there; a second merge of the same pass adds
// nothing. Whatever it does not follow it must say so without reading outside the bytes.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "widgets/workbook_stream.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view file(reinterpret_cast<const char*>(data), size);
    const workbook::Pass pass{"fuzz-pass", L"Иван", {{L"Попытка", L"3", L"Number"}, {L"a<&>\"b", L"", L"String"}, {}}};

    const workbook::SheetResult before = workbook::ReadSheet(file, L"иван");
    workbook::OpensAWorkbook(file);
    const workbook::AppendResult merged = workbook::AppendPasses(file, {pass});
    if (merged.failure != std::nullopt) {
        if (!before.failure) std::abort();  // one scanner, one verdict
        return 0;
    }
    const std::string bytes = merged.Bytes();
    const workbook::SheetResult after = workbook::ReadSheet(bytes, L"ИВАН");
    if (after.failure || !after.sheet || !after.sheet->passIds.count(pass.id)) std::abort();
    const std::size_t had = before.sheet ? before.sheet->pairs.size() : 0;
    const bool wasMerged = before.sheet && before.sheet->passIds.count(pass.id);
    if (!wasMerged) {
        const auto& pairs = after.sheet->pairs;
        if (pairs.size() != had + 3 || pairs[had].first != L"Попытка" || pairs[had + 1].first != L"a<&>\"b")
            std::abort();
    }
    const workbook::AppendResult again = workbook::AppendPasses(bytes, {pass});
    if (again.failure || !again.added.empty() || again.Bytes() != bytes) std::abort();
    return 0;
}
