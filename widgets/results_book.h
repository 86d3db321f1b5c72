// ResultsBook: the pupils' results workbook, one file for every pupil of a machine.
//
// The file is an XML Spreadsheet 2003 workbook (what Excel opens as "*.xls" from XML; Gnumeric
// and LibreOffice read it too), in UTF-8. Each pupil has one worksheet, named after them; each
// pass of the exercise appends its rows (a caption and a value) and then an empty row, so that
// passes stand apart. The whole document is held in memory while the object lives, and every
// Save writes all of it again.
//
//   construct --(AddRow | Finish)*--> Save --(AddRow | Finish)*--> Save ... --> destroy
//
// Opening never fails, whatever is at the path:
// - nothing: a new workbook starts;
// - a workbook: it is read and the pupil's worksheet continues (or is added after the others);
// - a file that is not a workbook (not XML, cut short, empty, another kind of document, XML
//   1.1): it is renamed aside to "<name>.damaged-YYYYMMDD-HHMMSS", said on standard error, and
//   a new workbook starts, so Save never overwrites it;
// - something that cannot be read (no permission, a folder): said on standard error, a new
//   workbook starts, and Save refuses to write over that file: it holds other pupils' results
//   that this object has never seen. Saving to another path still works.
//
// A pupil's worksheet is the first one whose name, cleaned as CleanSheetName does, equals the
// pupil's cleaned name with letter case ignored (Latin and Cyrillic), so "иван" continues
// "Иван". Texts keep every Unicode character except those CleanSheetName's rules remove.
//
// Files that came from elsewhere are read without reaching outside them: no external DTD or
// entity is loaded (external entities read as empty), and entity expansion is limited, so a
// crafted file cannot make the program read other files or run out of memory.
//
// Errors never leave the class as exceptions; they are said on standard error.
// Several objects may live at once (each holds its own use of the XML library). GUI thread only.
#pragma once

#include <map>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace platform {
class PrintSurface;
}

class ResultsBook {
   public:
    // Opens the workbook at `path` (or starts one) and finds or adds `pupilName`'s worksheet.
    ResultsBook(const std::wstring& path, const std::wstring& pupilName);
    // Releases the document (unsaved rows are lost) and ends this object's use of the XML
    // library.
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

    // Saving to the book's own file (`path` empty or equal to it) adds what this book appended
    // since it was opened or last saved to the file as it is now: several programs, on one
    // computer or on several sharing a network folder, may save into one file, and none loses
    // another's rows. It takes an exclusive lock on the hidden file ".<name>.lock" beside it (waiting a few
    // seconds for another program's save), reads the file, appends this book's new rows to the
    // pupil's sheet there (made when missing, matched as on opening), writes it back and takes
    // that document as its own. Rows already in the file are never moved or rewritten. When the
    // lock cannot be had, the rows stay unsaved and the next save adds them.
    //
    // Saving to another `path` writes the whole workbook there; the book keeps its own path.
    //
    // Either way the file is replaced atomically (see platform/files.h), keeping an existing
    // file's permissions; a new one gets 0666 less the umask, and a missing folder for it is
    // made (0777 less the umask). On failure (no lock, a read-only file or folder, a folder
    // that cannot be made) the file there is left as it was, standard error says which file
    // and why, and the result is false.
    bool Save(const std::wstring& path = std::wstring());

    // The path the workbook was opened with.
    std::wstring GetFileName() const;
    // The name of the pupil's worksheet: the cleaned typed name, or, when the pupil already had
    // a worksheet under another letter case, that worksheet's name.
    const std::wstring& SheetName() const;
    // The rows of the pupil's worksheet in order, as (caption, value): the first two cells of
    // each row; an empty row gives two empty strings.
    std::vector<std::pair<std::wstring, std::wstring>> Rows() const;

    // The texts of every cell of the pupil's worksheet, row by row; nullopt when the worksheet
    // has no Table.
    std::optional<std::vector<std::vector<std::wstring>>> CellTexts() const;

    // Prints the header lines (caption and value, in the map's key order), an empty line and
    // then every row of the pupil's worksheet on `surface`: the first cell at the left margin,
    // the next ones at least half a page further right, a new page when a line would reach the
    // bottom. Nothing is printed without a surface, without a Table, or when the surface cannot
    // start a document. See widgets/results_print.cpp.
    void Print(platform::PrintSurface* surface, const std::map<std::wstring, std::wstring>& header) const;

   private:
    struct State;
    std::unique_ptr<State> state_;
};

// The worksheet name for a typed pupil name. A double quotation mark becomes an apostrophe;
// tabs and line breaks become spaces; other control characters are dropped; each of
// : \ / ? * [ ] becomes '_'; spaces and apostrophes are trimmed from both ends; the name is cut
// to 31 characters as Excel counts them (UTF-16 units), never between a letter and the marks
// that combine with it; and an empty result becomes "Ученик".
std::wstring CleanSheetName(const std::wstring& typed);

// True when a workbook may be written at `path`: nothing is there, or a results workbook is.
// Another document, or something that cannot be read, must not be replaced by a typo.
bool MayWriteWorkbookAt(const std::wstring& path);

// The folder for results files: $VORLEN_RESULTS_FOLDER when it is set to an absolute path (a
// school's own choice), else platform::Folders::SharedData() + "/ZEDK/"; created when
// missing. Empty when there is no such folder and it cannot be made (said on standard error).
std::wstring ResultsFolder();
