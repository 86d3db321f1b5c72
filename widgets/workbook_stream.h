// Reading and extending a results workbook's bytes without building its document.
//
// A classroom's workbook grows to thousands of pupils, and a pass adds eight rows to it. So a
// merge follows the file's markup once, as a careful scanner (well-formedness, UTF-8, the
// characters XML allows, the references it may hold), notes where each pupil's worksheet and
// its table end, and splices the new rows in: what was there is copied byte for byte. A file
// the scanner does not follow (a DOCTYPE, another encoding, anything it finds wrong) is left
// to the XML library by the caller, which either writes it again in the form the scanner
// follows or finds that it is no workbook.
//
// Every pass carries an identifier, written before its rows as an XML comment, which
// spreadsheet programs ignore. A pass whose identifier is already in the file is not added
// again, so forwarding a pass twice (a program killed between its merge and the journal's
// update) never doubles its rows.
//
// Pure functions of their arguments: any thread.
#pragma once

#include <deque>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "platform/result.h"

namespace workbook {

// One row of a pass: a caption, and a value of a type ("Number" or "String"); a row with an
// empty type is the blank row that ends a pass.
struct Row {
    std::wstring caption;
    std::wstring value;
    std::wstring type;
    bool operator==(const Row&) const = default;
};

// The rows one save of a pupil's book adds, under an identifier no other pass has.
struct Pass {
    std::string id;
    std::wstring pupil;  // as typed: the worksheet is found by its cleaned, case-folded name
    std::vector<Row> rows;
};

// A new identifier: 32 hexadecimal digits from the system's random source.
std::string NewPassId();

// The key two sheet names share when they belong to one pupil.
std::wstring SheetKey(std::wstring_view name);

// The pupil's worksheet as the file holds it.
struct Sheet {
    std::wstring name;
    bool hasTable = false;
    // The texts of every Data element of each row of its first table, row by row.
    std::vector<std::vector<std::wstring>> cells;
    // The first two cells' texts of each row (a cell's first Data), as (caption, value).
    std::vector<std::pair<std::wstring, std::wstring>> pairs;
    std::set<std::string> passIds;
};

// The first worksheet of `file` whose key is `pupil`'s; nullopt inside the result when there is
// none. ErrorKind::Damaged, saying where and what, when the scanner does not follow the file.
platform::Result<std::optional<Sheet>> ReadSheet(std::string_view file, const std::wstring& pupil);

// A file with passes appended. The new file is kept in pieces: parts of the old file (which
// must outlive this) and the new rows between them, so that a large file is written without
// being copied.
struct Appended {
    std::vector<std::string_view> pieces;
    std::vector<std::string> added;  // the identifiers of the passes added
    std::string Bytes() const;

   private:
    friend platform::Result<Appended> AppendPasses(std::string_view, const std::vector<Pass>&);
    std::deque<std::string> texts_;  // what the pieces between the file's parts point into
};
// `file` with every pass of `passes` whose identifier it does not hold appended to its pupil's
// worksheet (made, with its table, after the others when missing), each pass's rows after the
// rows already there. ErrorKind::Damaged when the scanner does not follow the file.
platform::Result<Appended> AppendPasses(std::string_view file, const std::vector<Pass>& passes);

// True when `head`, the beginning of a file, opens a results workbook: an XML prolog and a
// root element named Workbook. Reads no further than the root's start tag.
bool OpensAWorkbook(std::string_view head);

}  // namespace workbook
