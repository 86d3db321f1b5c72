// ResultsJournal: passes kept on this computer until the shared workbook holds them.
//
// A classroom's workbook lives on a network folder that may be busy, missing, read-only or full
// when a lesson ends. So a pass is first written here, in the user's own data folder, one small
// file per pass ("<pass id>.pass", UTF-8 lines), replaced atomically and flushed to the disk;
// only then is it merged into the workbook, and its file goes once the workbook holds its rows.
// Files left by an earlier run are merged at the next start. A teacher or an administrator can
// tell that a computer still holds passes not yet in the workbook by the files here.
//
// Any thread; the object keeps no state but its folder.
#pragma once

#include <string>
#include <vector>

#include "platform/result.h"
#include "widgets/workbook_stream.h"

// A pass and the workbook it belongs to.
struct JournalEntry {
    std::string workbook;  // the workbook's path, as the book was given it
    workbook::Pass pass;
};

class ResultsJournal {
   public:
    // The journal in `folder` (made when the first pass is written). An empty folder keeps
    // nothing: every Write fails.
    explicit ResultsJournal(std::string folder) : folder_(std::move(folder)) {}

    // "$XDG_DATA_HOME/vorlen/journal", else "~/.local/share/vorlen/journal"; empty when no
    // data folder is known.
    static std::string DefaultFolder();

    const std::string& Folder() const { return folder_; }

    // Writes the entry to the disk. Fails when the folder cannot be made or the disk is full.
    platform::Result<void> Write(const JournalEntry& entry) const;
    // Forgets the pass: the workbook holds it.
    void Remove(const std::string& passId) const;
    // Every entry in the journal, oldest first. A file that is not an entry is renamed aside
    // (".damaged") and said on standard error.
    std::vector<JournalEntry> Load() const;

   private:
    std::string folder_;
};
