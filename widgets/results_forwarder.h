// ResultsForwarder: carries passes from the GUI thread into their workbooks on a thread of its
// own, so that no screen waits for a shared folder.
//
//   GUI thread: Hand(pass) ---> results thread: journal (written, flushed) ---> merge under the
//   workbook's lock ---> journal entry removed
//
// A merge that cannot happen now (the lock held by another computer's long save, the share
// missing, read-only or full) is tried again a little later, and what is still in the journal
// when the program ends is merged at its next start: the thread begins with the journal's
// entries. A merge recognises passes it already made, so an entry merged twice (a program killed
// between the merge and the journal's update, two programs of one user) adds its rows once.
//
// The GUI thread only hands passes over and asks what is still on its way; at the end it waits,
// a bounded time, for the thread to finish. Hand, PendingFor, Pending and WaitUntilMerged may be
// called from any thread.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "widgets/results_journal.h"

class ResultsForwarder {
   public:
    // Starts the results thread on `journal`'s entries.
    explicit ResultsForwarder(ResultsJournal journal);
    // Stops the thread after the merge it is in; what is not merged stays in the journal (a pass
    // handed over a moment ago is written there first).
    ~ResultsForwarder();
    ResultsForwarder(const ResultsForwarder&) = delete;
    ResultsForwarder& operator=(const ResultsForwarder&) = delete;

    // Hands a pass over for the workbook at `workbookPath`; returns at once.
    void Hand(const std::wstring& workbookPath, workbook::Pass pass);
    // The passes for that workbook not yet known to be in it, oldest first.
    std::vector<workbook::Pass> PendingFor(const std::wstring& workbookPath) const;
    // How many passes are not yet known to be in their workbooks.
    std::size_t Pending() const;
    // Waits until every pass handed over to this object is merged, at most `bound`; True when
    // none of them is pending then. The journal's entries from earlier runs are merged while
    // the program runs but not waited for: one whose workbook is gone for good (a folder that
    // no longer exists) must not hold up every program's end.
    // With `earlierToo`, the journal's entries from earlier runs as well.
    bool WaitUntilMerged(std::chrono::milliseconds bound, bool earlierToo = false);
    const ResultsJournal& Journal() const { return journal_; }

   private:
    struct Item {
        JournalEntry entry;
        bool journaled = false;
        bool earlier = false;  // from the journal of an earlier run
    };
    void Run();
    bool Merged(bool earlierToo) const;
    void WriteJournal();
    bool MergeRound();

    ResultsJournal journal_;
    mutable std::mutex mutex_;
    std::condition_variable wake_;     // new work, or stop
    std::condition_variable settled_;  // a round ended
    std::vector<Item> items_;
    bool loaded_ = false;
    bool stop_ = false;
    std::string lastFailure_;
    std::thread thread_;
};
