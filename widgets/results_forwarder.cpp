#include "widgets/results_forwarder.h"

#include <algorithm>
#include <iterator>
#include <map>

#include "platform/debug.h"
#include "platform/text.h"
#include "widgets/results_book.h"

namespace {

// A merge waits this long for another computer's save before the thread looks whether it is
// to stop; a classroom's saves take a few tens of milliseconds each.
constexpr int kLockSliceMs = 1000;
// After a failure other than a busy lock (the share missing, read-only or full).
constexpr auto kRetryDelay = std::chrono::seconds(2);

}  // namespace

ResultsForwarder::ResultsForwarder(ResultsJournal journal) : journal_(std::move(journal)) {
    thread_ = std::thread([this] { Run(); });
}

ResultsForwarder::~ResultsForwarder() {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        stop_ = true;
    }
    wake_.notify_all();
    thread_.join();
}

void ResultsForwarder::Hand(const std::wstring& workbookPath, workbook::Pass pass) {
    if (pass.rows.empty()) return;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        items_.push_back({JournalEntry{platform::text::ToUtf8(workbookPath), std::move(pass)}, false, false});
    }
    wake_.notify_all();
}

std::vector<workbook::Pass> ResultsForwarder::PendingFor(const std::wstring& workbookPath) const {
    const std::string path = platform::text::ToUtf8(workbookPath);
    std::lock_guard<std::mutex> lock(mutex_);
    std::vector<workbook::Pass> passes;
    for (const Item& item : items_)
        if (item.entry.workbook == path) passes.push_back(item.entry.pass);
    return passes;
}

std::size_t ResultsForwarder::Pending() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return items_.size();
}

bool ResultsForwarder::WaitUntilMerged(std::chrono::milliseconds bound, bool earlierToo) {
    std::unique_lock<std::mutex> lock(mutex_);
    return settled_.wait_for(lock, bound, [&] { return Merged(earlierToo); });
}

bool ResultsForwarder::Merged(bool earlierToo) const {
    return loaded_ &&
           std::none_of(items_.begin(), items_.end(), [&](const Item& item) { return earlierToo || !item.earlier; });
}

void ResultsForwarder::Run() {
    std::vector<JournalEntry> earlier = journal_.Load();
    {
        std::lock_guard<std::mutex> lock(mutex_);
        std::vector<Item> loaded;
        for (JournalEntry& entry : earlier) {
            const bool known = std::any_of(items_.begin(), items_.end(),
                                           [&](const Item& item) { return item.entry.pass.id == entry.pass.id; });
            if (!known) loaded.push_back(Item{std::move(entry), true, true});
        }
        items_.insert(items_.begin(), std::make_move_iterator(loaded.begin()), std::make_move_iterator(loaded.end()));
        loaded_ = true;
    }
    settled_.notify_all();
    bool retryLater = false;
    for (;;) {
        {
            std::unique_lock<std::mutex> lock(mutex_);
            auto newWork = [this] {
                return stop_ || std::any_of(items_.begin(), items_.end(), [](const Item& i) { return !i.journaled; });
            };
            if (retryLater)
                wake_.wait_for(lock, kRetryDelay, newWork);
            else
                wake_.wait(lock, [this] { return stop_ || !items_.empty(); });
            if (stop_) break;
        }
        retryLater = !MergeRound();
        settled_.notify_all();
    }
    // A pass handed over just before the end is on the disk before the program goes.
    WriteJournal();
}

void ResultsForwarder::WriteJournal() {
    std::vector<JournalEntry> fresh;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        for (Item& item : items_) {
            if (!item.journaled) fresh.push_back(item.entry);
            item.journaled = true;
        }
    }
    for (const JournalEntry& entry : fresh) {
        if (platform::Result<void> written = journal_.Write(entry); !written)
            platform::Debug::Print("a pass for " + entry.workbook + " is not in the results journal (" + written.why() +
                                   "); it is kept in memory until it is merged");
    }
}

// One round: new passes into the journal, then every pending pass into its workbook. False
// when some workbook could not take its passes for a reason other than a busy lock.
bool ResultsForwarder::MergeRound() {
    // Durable on this computer before anything touches the shared folder.
    WriteJournal();
    std::map<std::string, std::vector<workbook::Pass>> byWorkbook;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        for (const Item& item : items_) byWorkbook[item.entry.workbook].push_back(item.entry.pass);
    }
    bool settled = true;
    for (const auto& workbookPasses : byWorkbook) {
        // Named, not bound: lambdas below use them.
        const std::string& file = workbookPasses.first;
        const std::vector<workbook::Pass>& passes = workbookPasses.second;
        {
            std::lock_guard<std::mutex> lock(mutex_);
            if (stop_) return false;
        }
        const platform::Result<void> merged = MergePassesInto(file, passes, kLockSliceMs);
        if (!merged) {
            // A busy lock is a classroom taking turns, not news.
            if (merged.Is(platform::ErrorKind::Busy)) continue;
            settled = false;
            if (merged.why() != lastFailure_)
                platform::Debug::Print("results not yet in " + file + " (" + merged.why() +
                                       "); they are kept in the results journal and tried again");
            lastFailure_ = merged.why();
            continue;
        }
        lastFailure_.clear();
        for (const workbook::Pass& pass : passes) journal_.Remove(pass.id);
        std::lock_guard<std::mutex> lock(mutex_);
        items_.erase(std::remove_if(items_.begin(), items_.end(),
                                    [&](const Item& item) {
                                        return item.entry.workbook == file &&
                                               std::any_of(passes.begin(), passes.end(), [&](const workbook::Pass& p) {
                                                   return p.id == item.entry.pass.id;
                                               });
                                    }),
                     items_.end());
    }
    return settled;
}
