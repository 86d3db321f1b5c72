// The results workbook at the size a busy school machine reaches: 2,000 pupils of five passes
// each (80,000 rows with short captions, about 9 MB; bench/classroom_bench.py uses the
// program's own, 14 MB). One pupil's turn costs reading the pupil's rows, adding a pass (seven
// rows and the blank one) and saving it in the call, after another program saved into the same
// file meanwhile; each is timed on its own, and so is the usual save, with nobody else saving in
// between. Every save streams through the file under the lock.
//
//   bench_results_book [--summary FILE] [folder]
//                                 the workbook is written in `folder` (by default a folder
//                                 beside the executable, so that saving flushes to a real disk);
//                                 FILE gets the figures as "key value" lines
#include <stdlib.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <climits>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "platform/text.h"
#include "widgets/results_book.h"

namespace {

constexpr int kPupils = 2000;
constexpr int kPasses = 5;
constexpr int kRounds = 5;

void AddPass(ResultsBook& book, int pass) {
    book.AddRow(L"Дата", L"09.12.2026", L"String");
    book.AddRow(L"Время", L"15:44", L"String");
    for (int episode = 1; episode <= 4; ++episode)
        book.AddRow(L"Эпизод " + std::to_wstring(episode) + L": ошибок", std::to_wstring(pass % 3), L"Number");
    book.AddRow(L"Время выполнения, с", L"125.5", L"Number");
    book.Finish();
}

std::string Read(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void Write(const std::string& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary | std::ios::trunc)
        .write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

std::wstring PupilName(int i) { return L"Ученик номер " + std::to_wstring(i); }

// One pupil's five passes made by the workbook itself, then copied under 2,000 names.
std::string BigWorkbook(const std::string& folder) {
    const std::string onePupil = folder + "/one-pupil.xls";
    {
        ResultsBook book(platform::text::FromUtf8(onePupil), L"@");
        for (int pass = 1; pass <= kPasses; ++pass) AddPass(book, pass);
        book.Save();
    }
    const std::string text = Read(onePupil);
    std::filesystem::remove(onePupil);
    const std::string marker = "<Worksheet ss:Name=\"@\">";
    const std::size_t start = text.find(marker);
    const std::size_t end = text.rfind("</Workbook>");
    const std::string sheetBody = text.substr(start + marker.size(), end - start - marker.size());
    std::string big = text.substr(0, start);
    for (int i = 0; i < kPupils; ++i)
        big += "<Worksheet ss:Name=\"" + platform::text::ToUtf8(PupilName(i)) + "\">" + sheetBody;
    return big + "</Workbook>";
}

// Wall time and this process's processor time: on a machine shared with other builds the
// first says what a pupil waits, the second what the workbook itself costs.
struct Stopwatch {
    std::chrono::steady_clock::time_point wall = std::chrono::steady_clock::now();
    double cpu = CpuMs();

    static double CpuMs() {
        timespec now{};
        clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
        return static_cast<double>(now.tv_sec) * 1e3 + static_cast<double>(now.tv_nsec) / 1e6;
    }
};

struct Figures {
    std::vector<double> wall, cpu;
    void Add(const Stopwatch& since) {
        wall.push_back(
            std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - since.wall).count());
        cpu.push_back(Stopwatch::CpuMs() - since.cpu);
    }
    static double Median(std::vector<double> samples) {
        std::sort(samples.begin(), samples.end());
        return samples[samples.size() / 2];
    }
    static double Worst(const std::vector<double>& samples) {
        return *std::max_element(samples.begin(), samples.end());
    }
    void Write(std::FILE* out, const char* key) const {
        std::fprintf(out, "%s_ms %.2f\n%s_worst_ms %.2f\n%s_cpu_ms %.2f\n", key, Median(wall), key, Worst(wall), key,
                     Median(cpu));
    }
    void Print(const char* what) const {
        std::printf("  %-26s %8.1f ms (%.1f)   processor %8.1f ms\n", what, Median(wall), Worst(wall), Median(cpu));
    }
};

}  // namespace

int main(int argc, char** argv) {
    std::string parent;
    const char* summaryPath = nullptr;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--summary") == 0 && i + 1 < argc)
            summaryPath = argv[++i];
        else
            parent = argv[i];
    }
    if (parent.empty()) {
        char exe[PATH_MAX];
        ssize_t n = readlink("/proc/self/exe", exe, sizeof exe - 1);
        parent = n > 0 ? std::filesystem::path(std::string(exe, static_cast<std::size_t>(n))).parent_path().string()
                       : std::string(".");
    }
    std::string folder = parent + "/results-bench-XXXXXX";
    if (!mkdtemp(folder.data())) {
        std::fprintf(stderr, "bench_results_book: cannot create a folder in %s\n", parent.c_str());
        return 1;
    }
    const std::string big = BigWorkbook(folder);
    const std::string path = folder + "/results.xls";

    Figures open, pass, save, quiet;
    for (int round = 0; round < kRounds; ++round) {
        Write(path, big);
        Stopwatch start;
        // The book reads nothing when it is made; the pupil's rows are read when the results
        // screen prints them, streaming through the file.
        ResultsBook book(platform::text::FromUtf8(path), PupilName(kPupils / 2));
        const std::size_t found = book.Rows().size();
        open.Add(start);
        if (found != static_cast<std::size_t>(kPasses * 8)) {
            std::fprintf(stderr, "bench_results_book: the pupil's worksheet was not found\n");
            return 1;
        }
        start = Stopwatch();
        AddPass(book, kPasses + 1);
        pass.Add(start);
        // Another program of the classroom saved into the file meanwhile: this save merges
        // into the file as it is now, all of it under the lock.
        {
            ResultsBook other(platform::text::FromUtf8(path), PupilName(0));
            AddPass(other, kPasses + 1);
            if (!other.Save()) return 1;
        }
        start = Stopwatch();
        if (!book.Save()) return 1;
        save.Add(start);
        // The usual turn: nobody else saved between opening the workbook and saving it.
        ResultsBook next(platform::text::FromUtf8(path), PupilName(1));
        AddPass(next, kPasses + 1);
        start = Stopwatch();
        if (!next.Save()) return 1;
        quiet.Add(start);
    }
    std::printf("results workbook: %d pupils x %d passes, %.1f MB; median (worst) of %d rounds\n", kPupils, kPasses,
                static_cast<double>(big.size()) / 1e6, kRounds);
    open.Print("read the pupil's rows");
    pass.Print("add one pass (8 rows)");
    save.Print("save, merging (lock held)");
    quiet.Print("save, nobody else saved");
    std::filesystem::remove_all(folder);
    if (summaryPath) {
        std::FILE* out = std::fopen(summaryPath, "w");
        if (!out) return 1;
        std::fprintf(out, "workbook_mb %.1f\n", static_cast<double>(big.size()) / 1e6);
        open.Write(out, "open");
        pass.Write(out, "pass");
        save.Write(out, "save");
        quiet.Write(out, "quiet_save");
        std::fclose(out);
    }
    return 0;
}
