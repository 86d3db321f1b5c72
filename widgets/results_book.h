// ResultsBook: one pupil's results in the workbook that every pupil of a machine, or of a
// classroom sharing a network folder, writes into.
//
// The file is an XML Spreadsheet 2003 workbook (what Excel opens as "*.xls" from XML; Gnumeric
// and LibreOffice read it too), in UTF-8. Each pupil has one worksheet, named after them; each
// pass of the exercise appends its rows (a caption and a value) and then an empty row, so that
// passes stand apart.
//
//   construct --(AddRow | Finish)*--> Save --(AddRow | Finish)*--> Save ... --> destroy
//
// The book reads nothing when it is made: a school's file holds a year of results, and a
// pupil's pass must not wait for it. It keeps the rows added since its last save (one pass, under
// an identifier of its own), and a save merges them into the file as it is then: streaming
// through it (widgets/workbook_stream.h), under the hidden lock file ".<name>.lock" beside it,
// so that no program loses another's rows. With a forwarder the merge runs on the results
// thread, through the journal (widgets/results_forwarder.h); without one, in the call.
//
// What the file may hold when a merge reads it:
// - nothing: a new workbook starts;
// - a workbook: the pupil's worksheet continues (or is added after the others);
// - a file that is not a workbook (not XML, cut short, empty, another kind of document, XML
//   1.1): it is renamed aside to "<name>.damaged-YYYYMMDD-HHMMSS", said on standard error, and
//   a new workbook starts, so a save never overwrites it;
// - something that cannot be read (no permission, a folder): the save fails and the file is
//   left as it is: it holds other pupils' results. Saving to another path still works.
//
// A pupil's worksheet is the first one whose name, cleaned as CleanSheetName does, equals the
// pupil's cleaned name with letter case ignored (Latin and Cyrillic), so "иван" continues
// "Иван". Texts keep every Unicode character except those CleanSheetName's rules remove.
//
// Files that came from elsewhere are read without reaching outside them: no external DTD or
// entity is loaded (external entities read as empty), and entity expansion is limited, so a
// crafted file cannot make the program read other files or run out of memory.
//
// Errors never leave the class as exceptions; they are said on standard error. A book belongs
// to the GUI thread; MergePassesInto may run on any thread.
#pragma once

#include <map>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "widgets/workbook_stream.h"

namespace platform {
class PrintSurface;
}
class ResultsForwarder;

class ResultsBook {
   public:
    // The book of `pupilName` in the workbook at `path`; reads nothing. With a `forwarder`
    // (which outlives the book), saves to its own file go through it.
    ResultsBook(const std::wstring& path, const std::wstring& pupilName, ResultsForwarder* forwarder = nullptr);
    ~ResultsBook();
    ResultsBook(const ResultsBook&) = delete;
    ResultsBook& operator=(const ResultsBook&) = delete;

    // Appends a row: `caption` in a String cell, `value` in a cell of `type`, "Number" or
    // "String". A "Number" value whose text is not a decimal number (spaces around it are
    // dropped) is kept as a String, and another type is taken as "String"; both are said on
    // standard error.
    void AddRow(const std::wstring& caption, const std::wstring& value, const std::wstring& type);
    // Appends an empty row: the blank line between passes.
    void Finish();

    // Saving to the book's own file (`path` empty, or naming that file by any spelling or
    // link) adds the rows appended since the last such save to the pupil's sheet in the file as
    // it is then; a `path` naming it adds the book's earlier passes too where the file lacks
    // them (a file deleted or replaced meanwhile). With a forwarder it hands them over and returns true at once.
    // Without one it merges now, waiting a few seconds for another program's save; when that fails, the rows stay for
    // the next save and the result is false. Rows already in the file are never moved or rewritten.
    //
    // Saving to another `path` writes a copy of the workbook there: the own file as it is, with
    // this computer's rows not yet in it; the book keeps its own path.
    //
    // Either way the file is replaced atomically (see platform/files.h), keeping an existing
    // file's permissions; a new one gets 0666 less the umask. A copy's missing folder is made
    // (0777 less the umask); the own file's folder must be there (a network folder that is not
    // mounted is not written under its mount point). On failure the file there is left as it
    // was, standard error says which file and why, and the result is false.
    bool Save(const std::wstring& path = std::wstring());
    // True when `path` names the book's own file: the same file when one is there (device and
    // inode, so a link or another spelling counts), else the same place once resolved.
    bool IsOwnFile(const std::wstring& path) const;

    // The path the workbook was opened with.
    std::wstring GetFileName() const;
    // The name of the pupil's worksheet: the cleaned typed name, or, when the pupil already had
    // a worksheet under another letter case, that worksheet's name. Reads the file.
    std::wstring SheetName() const;
    // The rows of the pupil's worksheet in order, as (caption, value): the first two cells of
    // each row; an empty row gives two empty strings. The file's rows, then this computer's not
    // yet in it: what a copy or a printout holds. Reads the file.
    std::vector<std::pair<std::wstring, std::wstring>> Rows() const;

    // The texts of every cell of the pupil's worksheet, row by row, from the same data as Rows;
    // nullopt when the pupil has no worksheet and no rows.
    std::optional<std::vector<std::vector<std::wstring>>> CellTexts() const;

    // Prints the header lines (caption and value, in the map's key order), an empty line and
    // then every row of the pupil's worksheet on `surface`: the first cell at the left margin,
    // the next ones at least half a page further right, a new page when a line would reach the
    // bottom. Nothing is printed without a surface, without rows, or when the surface cannot
    // start a document. See widgets/results_print.cpp.
    void Print(platform::PrintSurface* surface, const std::map<std::wstring, std::wstring>& header) const;

   private:
    struct State;
    std::unique_ptr<State> state_;
};

// Merges `passes` into the workbook at `file` (UTF-8 path) under its lock, waiting at most
// `lockWaitMs` for it, as ResultsBook::Save describes; passes whose identifiers the file already
// holds are not added again. ErrorKind::Busy when another program held the lock all the while.
// Any thread.
platform::Result<void> MergePassesInto(const std::string& file, const std::vector<workbook::Pass>& passes,
                                       int lockWaitMs);

// The worksheet name for a typed pupil name. A double quotation mark becomes an apostrophe;
// tabs and line breaks become spaces; other control characters are dropped; each of
// : \ / ? * [ ] becomes '_'; spaces and apostrophes are trimmed from both ends; the name is cut
// to 31 characters as Excel counts them (UTF-16 units), never between a letter and the marks
// that combine with it; and an empty result becomes "Ученик".
std::wstring CleanSheetName(const std::wstring& typed);

// True when a workbook may be written at `path`: nothing is there, or a results workbook is
// (judged by the file's beginning alone). Another document, or something that cannot be read,
// must not be replaced by a typo.
bool MayWriteWorkbookAt(const std::wstring& path);

// The folder for results files, ending in '/': `chosen` when it is not empty (an absolute
// path: the command line's choice), else $VORLEN_RESULTS_FOLDER when it is set to an absolute
// path (a school's own choice), else platform::Folders::SharedData() + "/ZEDK/"; created when
// missing. A chosen folder that cannot be made (said on standard error) is still the one: its
// passes wait in the journal until it is there, as for a share that is not mounted. Empty when
// there is no usual folder and it cannot be made (said on standard error).
std::wstring ResultsFolder(const std::wstring& chosen = std::wstring());
