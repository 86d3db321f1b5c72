// Workbooks read back by a real spreadsheet program: Gnumeric's ssconvert turns each worksheet
// into a CSV file named after the sheet, and the CSV is parsed here.
#pragma once

#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "tests/support/scratch_folder.h"

namespace spreadsheet {

struct Field {
    std::string text;
    bool quoted = false;
};
using CsvRow = std::vector<Field>;

// RFC 4180 as ssconvert writes it: commas, double quotes around fields that need them, doubled
// quotes inside.
inline std::vector<CsvRow> ParseCsv(const std::string& csv) {
    std::vector<CsvRow> rows;
    CsvRow row;
    Field field;
    bool inQuotes = false, any = false;
    for (std::size_t i = 0; i < csv.size(); ++i) {
        char c = csv[i];
        if (inQuotes) {
            if (c == '"' && i + 1 < csv.size() && csv[i + 1] == '"') {
                field.text += '"';
                ++i;
            } else if (c == '"') {
                inQuotes = false;
            } else {
                field.text += c;
            }
        } else if (c == '"') {
            inQuotes = field.quoted = any = true;
        } else if (c == ',') {
            row.push_back(field);
            field = Field();
        } else if (c == '\n' || c == '\r') {
            if (c == '\r' && i + 1 < csv.size() && csv[i + 1] == '\n') ++i;
            row.push_back(field);
            rows.push_back(row);
            row.clear();
            field = Field();
            any = false;
        } else {
            field.text += c;
            any = true;
        }
    }
    if (any || !row.empty()) {
        row.push_back(field);
        rows.push_back(row);
    }
    return rows;
}

inline std::string FindProgram(const std::string& name) {
    const char* path = std::getenv("PATH");
    std::string folders = path ? path : "/usr/bin:/bin";
    for (std::size_t start = 0; start <= folders.size();) {
        std::size_t end = folders.find(':', start);
        if (end == std::string::npos) end = folders.size();
        std::string candidate = folders.substr(start, end - start) + "/" + name;
        if (access(candidate.c_str(), X_OK) == 0) return candidate;
        start = end + 1;
    }
    return {};
}

struct Sheet {
    std::string name;
    std::vector<CsvRow> rows;
};

// The worksheets of the workbook at `path` in their order, as ssconvert reads them. `error`
// gets ssconvert's own words when it fails (and the result is empty).
inline std::vector<Sheet> ReadWithSsconvert(const std::string& path, std::string* error) {
    const std::string ssconvert = FindProgram("ssconvert");
    if (ssconvert.empty()) {
        *error = "ssconvert (Debian package gnumeric) is not installed";
        return {};
    }
    ScratchFolder work;
    mkdir((work / "home").c_str(), 0700);
    mkdir((work / "csv").c_str(), 0700);
    std::filesystem::copy_file(path, work / "book.xls");
    const std::string command = "cd '" + work.Path() + "' && HOME='" + work.Path() + "/home' XDG_CONFIG_HOME='" +
                                work.Path() + "/home' LC_ALL=C.UTF-8 '" + ssconvert +
                                "' --export-type=Gnumeric_stf:stf_csv -S book.xls 'csv/%n-%s.csv' > log.txt 2>&1";
    if (std::system(command.c_str()) != 0) {
        *error = "ssconvert failed: " + ReadBytes(work / "log.txt");
        return {};
    }
    std::map<int, Sheet> sheets;  // by number
    for (const auto& entry : std::filesystem::directory_iterator(work / "csv")) {
        const std::string file = entry.path().filename();
        const std::size_t dash = file.find('-');
        if (dash == std::string::npos || file.size() < dash + 5) {
            *error = "unexpected file from ssconvert: " + file;
            return {};
        }
        sheets[std::stoi(file.substr(0, dash))] = {file.substr(dash + 1, file.size() - dash - 5),
                                                   ParseCsv(ReadBytes(entry.path()))};
    }
    std::vector<Sheet> ordered;
    for (auto& [number, sheet] : sheets) ordered.push_back(std::move(sheet));
    return ordered;
}

}  // namespace spreadsheet
