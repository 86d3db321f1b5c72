// The results workbook opened from a file holding arbitrary bytes, then used as a pass of the
// exercise uses it: its rows read, two rows and the blank line added, and saved back into the
// same file (which reads and merges the file again).
//
// Each input is written to "book.xml" in a scratch folder of this process's own, which is
// emptied after every input (a file that is not a workbook is moved aside there, and a save
// leaves its lock file). Nothing outside that file is read: the book resolves no external
// entity. Besides the sanitizers' own checks, the book must always have a worksheet with the
// rows it was given, and a saved file must open again as a workbook.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <system_error>
#include <xercesc/util/PlatformUtils.hpp>

#include "platform/text.h"
#include "widgets/results_book.h"

namespace fs = std::filesystem;

namespace {

fs::path g_folder;

void RemoveFolder() {
    std::error_code ignored;
    fs::remove_all(g_folder, ignored);
}

void EmptyFolder() {
    std::error_code ignored;
    for (const auto& entry : fs::directory_iterator(g_folder, ignored)) fs::remove_all(entry.path(), ignored);
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    std::string pattern = (fs::temp_directory_path() / "vorlen-book-fuzz-XXXXXX").string();
    if (!mkdtemp(pattern.data())) {
        std::perror("mkdtemp");
        std::abort();
    }
    g_folder = pattern;
    std::atexit(RemoveFolder);
    // The library stays up for the whole run, so the books' own Initialize and Terminate calls
    // only count (the first Initialize and the last Terminate are the expensive ones).
    xercesc::XMLPlatformUtils::Initialize();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const fs::path file = g_folder / "book.xml";
    {
        std::ofstream out(file, std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
        if (!out) std::abort();
    }
    const std::wstring path = platform::text::FromUtf8(file.string());
    {
        ResultsBook book(path, L"Иван");
        if (book.SheetName().empty()) std::abort();
        const std::size_t before = book.Rows().size();
        book.CellTexts();
        book.AddRow(L"Попытка", L"3", L"Number");
        book.AddRow(L"Время", L"12:30", L"String");
        book.Finish();
        const auto rows = book.Rows();
        if (rows.size() != before + 3 || rows[before].first != L"Попытка" || rows[before].second != L"3") std::abort();
        if (!book.Save()) std::abort();
        // What was saved is a workbook that holds those rows.
        ResultsBook again(path, L"иван");
        if (again.Rows().size() < 3) std::abort();
    }
    EmptyFolder();
    return 0;
}
