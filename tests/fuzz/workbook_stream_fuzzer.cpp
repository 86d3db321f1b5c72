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

    const platform::Result<std::optional<workbook::Sheet>> before = workbook::ReadSheet(file, L"иван");
    workbook::OpensAWorkbook(file);
    const platform::Result<workbook::Appended> merged = workbook::AppendPasses(file, {pass});
    if (!merged) {
        if (before) std::abort();  // one scanner, one verdict
        return 0;
    }
    const std::string bytes = merged->Bytes();
    const platform::Result<std::optional<workbook::Sheet>> after = workbook::ReadSheet(bytes, L"ИВАН");
    if (!after || !*after || !(*after)->passIds.count(pass.id)) std::abort();
    const std::optional<workbook::Sheet> had = before ? *before : std::nullopt;
    const std::size_t rowsHad = had ? had->pairs.size() : 0;
    const bool wasMerged = had && had->passIds.count(pass.id);
    if (!wasMerged) {
        const auto& pairs = (*after)->pairs;
        if (pairs.size() != rowsHad + 3 || pairs[rowsHad].first != L"Попытка" || pairs[rowsHad + 1].first != L"a<&>\"b")
            std::abort();
    }
    const platform::Result<workbook::Appended> again = workbook::AppendPasses(bytes, {pass});
    if (!again || !again->added.empty() || again->Bytes() != bytes) std::abort();
    return 0;
}
