#include "widgets/results_journal.h"

#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <ctime>
#include <memory>
#include <tuple>

#include "platform/debug.h"
#include "platform/files.h"
#include "platform/folders.h"
#include "platform/text.h"

namespace {

constexpr const char* kHeader = "vorlen results journal 1";
constexpr const char* kSuffix = ".pass";

// Tabs, line ends and backslashes as \t, \n, \r and \\, so that every field stays on its line.
std::string Escape(std::string_view text) {
    std::string out;
    for (char c : text) {
        if (c == '\\')
            out += "\\\\";
        else if (c == '\t')
            out += "\\t";
        else if (c == '\n')
            out += "\\n";
        else if (c == '\r')
            out += "\\r";
        else
            out += c;
    }
    return out;
}

std::string Unescape(std::string_view text) {
    std::string out;
    for (std::size_t k = 0; k < text.size(); ++k) {
        if (text[k] != '\\' || k + 1 == text.size()) {
            out += text[k];
            continue;
        }
        const char next = text[++k];
        out += next == 't' ? '\t' : next == 'n' ? '\n' : next == 'r' ? '\r' : next;
    }
    return out;
}

std::vector<std::string_view> Fields(std::string_view line) {
    std::vector<std::string_view> fields;
    for (std::size_t start = 0;;) {
        const std::size_t tab = line.find('\t', start);
        fields.push_back(line.substr(start, tab == std::string_view::npos ? std::string_view::npos : tab - start));
        if (tab == std::string_view::npos) return fields;
        start = tab + 1;
    }
}

std::wstring Wide(std::string_view field) { return platform::text::FromUtf8(Unescape(field)); }

// The entry a file holds, or nothing when it is not a whole one.
std::optional<JournalEntry> Parse(const std::string& bytes, const std::string& id) {
    JournalEntry entry;
    bool ended = false;
    std::size_t lineNumber = 0;
    for (std::size_t start = 0; start < bytes.size();) {
        std::size_t end = bytes.find('\n', start);
        if (end == std::string::npos) end = bytes.size();
        const std::string_view line(bytes.data() + start, end - start);
        start = end + 1;
        const std::vector<std::string_view> fields = Fields(line);
        if (lineNumber++ == 0) {
            if (line != kHeader) return std::nullopt;
        } else if (ended) {
            return std::nullopt;
        } else if (fields[0] == "pass" && fields.size() == 2) {
            entry.pass.id = Unescape(fields[1]);
        } else if (fields[0] == "workbook" && fields.size() == 2) {
            entry.workbook = Unescape(fields[1]);
        } else if (fields[0] == "pupil" && fields.size() == 2) {
            entry.pass.pupil = Wide(fields[1]);
        } else if (fields[0] == "row" && fields.size() == 4) {
            entry.pass.rows.push_back({Wide(fields[1]), Wide(fields[2]), Wide(fields[3])});
        } else if (fields[0] == "blank" && fields.size() == 1) {
            entry.pass.rows.emplace_back();
        } else if (fields[0] == "end" && fields.size() == 1) {
            ended = true;
        } else {
            return std::nullopt;
        }
    }
    if (!ended || entry.pass.id != id || entry.workbook.empty()) return std::nullopt;
    return entry;
}

}  // namespace

std::string ResultsJournal::DefaultFolder() {
    const char* xdg = std::getenv("XDG_DATA_HOME");
    std::string data;
    if (xdg && xdg[0] == '/') {
        data = xdg;
    } else if (const char* home = std::getenv("HOME"); home && home[0] == '/') {
        data = std::string(home) + "/.local/share";
    } else {
        return {};
    }
    while (data.size() > 1 && data.back() == '/') data.pop_back();
    return data + "/vorlen/journal";
}

platform::Result<void> ResultsJournal::Write(const JournalEntry& entry) const {
    if (folder_.empty())
        return platform::Error::Failed("no folder for the journal (neither HOME nor XDG_DATA_HOME is set)");
    if (platform::Result<void> made = platform::Folders::Create(platform::text::FromUtf8(folder_)); !made) {
        platform::Debug::Print(made.why());  // said here: the error below names only the folder
        return platform::Error::Failed("the journal's folder " + folder_ + " cannot be made");
    }
    std::string text = std::string(kHeader) + "\npass\t" + Escape(entry.pass.id) + "\nworkbook\t" +
                       Escape(entry.workbook) + "\npupil\t" + Escape(platform::text::ToUtf8(entry.pass.pupil)) + "\n";
    for (const workbook::Row& row : entry.pass.rows) {
        if (row.type.empty()) {
            text += "blank\n";
            continue;
        }
        text += "row\t" + Escape(platform::text::ToUtf8(row.caption)) + "\t" +
                Escape(platform::text::ToUtf8(row.value)) + "\t" + Escape(platform::text::ToUtf8(row.type)) + "\n";
    }
    text += "end\n";
    return platform::files::Replace(folder_ + "/" + entry.pass.id + kSuffix, text);
}

void ResultsJournal::Remove(const std::string& passId) const {
    if (!folder_.empty()) unlink((folder_ + "/" + passId + kSuffix).c_str());
}

std::vector<JournalEntry> ResultsJournal::Load() const {
    std::vector<JournalEntry> entries;
    if (folder_.empty()) return entries;
    std::unique_ptr<DIR, int (*)(DIR*)> folder(opendir(folder_.c_str()), closedir);
    if (!folder) return entries;
    std::vector<std::tuple<std::int64_t, std::string, JournalEntry>> found;
    const std::string suffix = kSuffix;
    while (dirent* item = readdir(folder.get())) {
        const std::string name = item->d_name;
        if (name.size() <= suffix.size() || name.compare(name.size() - suffix.size(), suffix.size(), suffix) != 0 ||
            name[0] == '.')
            continue;
        const std::string path = folder_ + "/" + name;
        platform::Result<std::string> read = platform::files::ReadAll(path);
        if (read.Is(platform::ErrorKind::Missing)) continue;  // merged by another program
        std::optional<JournalEntry> entry;
        if (read) entry = Parse(*read, name.substr(0, name.size() - suffix.size()));
        if (!entry) {
            platform::Result<std::string> aside = platform::files::MoveAside(path, ".damaged");
            platform::Debug::Print("the results journal's file " + path + " is not a pass; " +
                                   (aside ? "it is kept as " + *aside : aside.why()));
            continue;
        }
        struct stat info {};
        const std::int64_t modified = stat(path.c_str(), &info) == 0
                                          ? std::int64_t(info.st_mtim.tv_sec) * 1'000'000'000 + info.st_mtim.tv_nsec
                                          : 0;
        found.emplace_back(modified, name, std::move(*entry));
    }
    std::sort(found.begin(), found.end(), [](const auto& a, const auto& b) {
        return std::tie(std::get<0>(a), std::get<1>(a)) < std::tie(std::get<0>(b), std::get<1>(b));
    });
    for (auto& item : found) entries.push_back(std::move(std::get<2>(item)));
    return entries;
}
