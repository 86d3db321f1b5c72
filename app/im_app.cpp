#include "app/im_app.h"

#include <boost/bind/bind.hpp>
#include <cstdlib>
#include <ctime>

#include "app/report_rows.h"
#include "app/screen_text.h"
#include "gui/creation.h"
#include "gui/engine_link.h"
#include "gui/window.h"
#include "platform/debug.h"
#include "platform/window.h"
#include "views/static_text.h"
#include "widgets/results_book.h"
#include "widgets/results_forwarder.h"

using boost::placeholders::_1;

// Contents: the object and its uses | screens | workbook | keys and the exit menu |
//           the slots' defaults

namespace {

// Not state of the program but the way Instance() finds the one object main owns: set and
// cleared by that object itself, and read only on the GUI thread.
IMAppBase* g_current = nullptr;

constexpr DWORD kTextColour = 0xFF072134;

// How long the program's end waits for its passes to reach a shared workbook: long enough for
// a classroom's thirty computers to take their turns at the lock, short enough that a pupil
// who closes the window sees it go.
constexpr std::chrono::seconds kExitWait{20};

// Writes the pupil's rows on the way out: handed over, then waited for a bounded time. What
// does not reach the workbook stays in the journal for the next start.
void WriteResultsForGood(IMAppBase* app, bool notice) {
    app->SaveResults();
    app->FinishSaving(kExitWait, notice);
}

}  // namespace

// [SECTION] The object and its uses

IMAppBase::IMAppBase() {
    if (!g_current) g_current = this;
}

IMAppBase::~IMAppBase() {
    Shutdown();
    overlayBlock_ = boost::signals2::shared_connection_block();
    overlayCloseConnection_.disconnect();
    if (g_current == this) g_current = nullptr;
}

IMAppBase* IMAppBase::Current() { return g_current; }

bool IMAppBase::RefuseSecond() {
    if (!g_current) return false;
    platform::Debug::Print("an application object is already running; the program has one window");
    return true;
}

void IMAppBase::Start(const std::wstring& title, const AppOptions& options) {
    options_ = options;
    // The results thread starts with the passes an earlier run could not write.
    forwarder_ = std::make_unique<ResultsForwarder>(
        ResultsJournal(options_.journalFolder.empty() ? ResultsJournal::DefaultFolder() : options_.journalFolder));
    window_ = CreateMainWindow(title, RECT{0, 0, 800, 600}, options_.windowed || options_.hiddenWindow,
                               options_.hiddenWindow, options_.clock ? *options_.clock : platform::Clock::Real());
    if (window_) {
        window_->OnKeyDown.connect(boost::bind(&IMAppBase::OnHelpKey, this, _1));
        window_->OnKeyDown.connect(boost::bind(&IMAppBase::OnMenuKey, this, _1));
        window_->OnKeyDown.connect(boost::bind(&IMAppBase::OnCreditsKey, this, _1));
        // A desktop session that ends under the program takes the display with it, and the
        // process ends without passing through Shutdown: the rows are written first.
        platform::Window::OnDisplayLost([this] { WriteResultsForGood(this, false); });
    }
    title_ = title;
    RegisterScreens();
    std::srand(static_cast<unsigned>(std::time(nullptr)));
}

void IMAppBase::Shutdown() {
    if (shutDown_) return;
    shutDown_ = true;
    // Every way out passes here (the Close button, Alt+F4, the desktop's logout), and closing
    // the window disposes the screens without their close handlers: the pupil's rows are
    // written now.
    WriteResultsForGood(this, true);
    if (window_) platform::Window::OnDisplayLost(nullptr);  // set by Start with the window
    // The sound threads and the engine stop with the window instead of playing on into the
    // process's exit.
    window_.reset();
}

void IMAppBase::SetInfo(const std::wstring& number, const std::wstring& name, const std::wstring& description) {
    number_ = number;
    name_ = name;
    description_ = description;
}

void IMAppBase::ShowCursor() {
    if (!cursorHidden_) return;
    cursorHidden_ = false;
    if (window_ && window_->NativeWindow()) window_->NativeWindow()->ShowCursor(true);
}

void IMAppBase::HideCursor() {
    if (cursorHidden_) return;
    cursorHidden_ = true;
    if (window_ && window_->NativeWindow()) window_->NativeWindow()->ShowCursor(false);
}

// [SECTION] Screens

void IMAppBase::AddScreen(const std::wstring& name, const ScreenBuilder& builder) {
    if (name.empty()) return;
    screens_.emplace(name, builder);
    if (nextScreen_.empty()) nextScreen_ = name;
}

void IMAppBase::NextScreen() {
    ShowCursor();
    if (!nextScreen_.empty()) {
        startTime_ = static_cast<std::int64_t>(std::time(nullptr));
        AddReportRow(report::kStartTime, report::FormatStartTime(startTime_), report::kString);
        extraInstructionCalls_ = 0;
        auto it = screens_.find(nextScreen_);
        if (it == screens_.end() || !window_) return;
        IMDialog* screen = &window_->Add<IMDialog>(nullptr, 0);
        currentScreen_ = screen;
        screen->SetFocus(true);
        // The screen is gone once it closed: a later Retry must not close it again.
        screen->OnClose.connect([this, screen](const IMEvent&) {
            if (currentScreen_ == screen) currentScreen_ = nullptr;
            return 0L;
        });
        screen->OnClose.connect([this](const IMEvent&) {
            NextScreen();
            return 0L;
        });
        auto next = std::next(it);
        nextScreen_ = next == screens_.end() ? std::wstring() : next->first;
        it->second(screen);
        return;
    }
    AddReportRow(report::kExtraInstructions, std::to_wstring(extraInstructionCalls_), report::kNumber);
    const std::int64_t elapsed = static_cast<std::int64_t>(std::time(nullptr)) - startTime_;
    AddReportRow(report::kTotalTime, std::to_wstring(elapsed), report::kNumber);
    if (workbook_) {
        workbook_->Finish();
        // The pass is written as it ends, not only when the window closes: a machine switched
        // off at the results screen, as happens at the end of a lesson, keeps it.
        workbook_->Save();
    }
    ShowResults();
}

int IMAppBase::Restart() {
    CloseExitMenu();
    IMDialog* screen = currentScreen_.Get();
    if (!screen) return 1;
    screen->Close();
    nextScreen_ = screens_.empty() ? std::wstring() : screens_.begin()->first;
    currentScreen_.Reset();
    ShowStartScreen();
    return 0;
}

// [SECTION] Workbook

void IMAppBase::AddReportRow(const std::wstring& caption, const std::wstring& value, const std::wstring& type) {
    if (workbook_) workbook_->AddRow(caption, value, type);
}

void IMAppBase::OpenResultsBook(const std::wstring& pupil) {
    // The rows of an earlier pupil are kept by their own save; the new workbook then starts
    // from the file that holds them. A pass without a name belongs to nobody: it writes into
    // no workbook, least of all the previous pupil's.
    if (workbook_) workbook_->Save();
    workbook_.reset();
    if (pupil.empty()) return;
    const std::wstring folder = ResultsFolder(options_.resultsFolder);
    workbook_ = std::make_unique<ResultsBook>(folder + title_ + L".xls", pupil, forwarder_.get());
}

bool IMAppBase::SaveResults() { return workbook_ ? workbook_->Save() : false; }

bool IMAppBase::FinishSaving(std::chrono::milliseconds bound, bool notice) {
    if (!forwarder_ || forwarder_->WaitUntilMerged(std::chrono::milliseconds(0))) return true;
    if (notice && window_) {
        // Over whatever the window still shows: the screens are closed by now.
        const POINT screen = engine_link::BackBufferSize();
        IMDialog* panel = CreateDialog(window_.get(), 0, 0, screen.x, screen.y, 1200);
        IMPicture* background = CreatePicture(panel, 0, 0, L"DefaultBackGround", 0, 0xFFFFFFFF);
        background->SetRect(RECT{0, 0, screen.x, screen.y});
        screen_text::MakeCentred(panel, screen.x, screen.y / 2 - 12, L"Результаты сохраняются…", 20, true, 1);
        window_->IdlePass();
    }
    if (forwarder_->WaitUntilMerged(bound)) return true;
    platform::Debug::Print("the workbook could not take this computer's results in " +
                           std::to_string(std::chrono::duration_cast<std::chrono::seconds>(bound).count()) +
                           " s; they are kept in " + forwarder_->Journal().Folder() +
                           " and written at the program's next start");
    return false;
}

bool IMAppBase::SaveResultsAs(const std::wstring& path) {
    if (!workbook_) return false;
    // A typo must not turn another document into a workbook.
    if (!workbook_->IsOwnFile(path) && !MayWriteWorkbookAt(path)) {
        platform::Debug::Print(L"not saved over " + path + L": it is not a results workbook");
        return false;
    }
    // The own file asked for by name, even by an empty box: every pass of the book goes in.
    return workbook_->Save(path.empty() ? workbook_->GetFileName() : path);
}

// [SECTION] Keys and the exit menu

long IMAppBase::OnHelpKey(const IMKeyboardEvent& e) {
    if (overlayCloseConnection_.connected() && overlayBlock_.blocking()) overlayBlock_.unblock();
    if (instructionShown_ || e.wParam != VK_F1 || !window_) return 0;
    ++extraInstructionCalls_;
    IMDialog* overlay = &window_->Add<IMDialog>(nullptr, 0);
    overlayCloseConnection_.disconnect();
    overlayBlock_ = boost::signals2::shared_connection_block();
    // Bound to the overlay itself (a trackable control), so the slot dies with it whichever way
    // it ends.
    overlayCloseConnection_ = window_->OnKeyDown.connect(boost::bind(&IMAppBase::CloseHelpOverlay, this, overlay));
    overlayBlock_ = boost::signals2::shared_connection_block(overlayCloseConnection_);
    instructionShown_ = true;
    ShowInstruction(overlay);
    return 0;
}

long IMAppBase::CloseHelpOverlay(IMDialog* overlay) {
    overlayCloseConnection_.disconnect();
    instructionShown_ = false;
    overlay->Close();
    return 0;
}

long IMAppBase::OnMenuKey(const IMKeyboardEvent& e) {
    if (e.wParam == VK_F12) ShowExitMenu();
    return 0;
}

void IMAppBase::ShowExitMenu() {
    if (exitMenu_ || !window_) return;
    ShowCursor();
    const POINT screen = engine_link::BackBufferSize();
    IMDialog* menu = CreateDialog(window_.get(), 0, 0, screen.x, screen.y, 1099);
    exitMenu_ = menu;
    IMPicture* veil = CreatePicture(menu, 0, 0, L"EditBarKaretka", 0, 0x4B000096);
    veil->SetRect(RECT{0, 0, screen.x, screen.y});

    constexpr int kWidth = 136;
    constexpr int kHeight = 200;
    IMDialog* panel = CreateDialog(menu, (screen.x - kWidth) / 2, (screen.y - kHeight) / 2, kWidth, kHeight, 1);
    // The background fills the panel in the panel's own coordinates.
    IMPicture* background = CreatePicture(panel, 0, 0, L"DefaultBackGround", 0, 0xFFFFFFFF);
    background->SetRect(RECT{0, 0, kWidth, kHeight});

    IMButton* retry =
        CreateButton(panel, 10, 20, L"RetryButton", L"RetryButton", L"RetryButtonNuv", L"RetryButtonKlick", 1);
    IMButton* close =
        CreateButton(panel, 10, 80, L"CloseButton", L"CloseButton", L"CloseButtonNuv", L"CloseButtonKlick", 1);
    IMButton* cancel =
        CreateButton(panel, 10, 140, L"CancelButton", L"CancelButton", L"CancelButtonNuv", L"CancelButtonKlick", 1);
    retry->OnClick.connect([this](const IMMouseEvent&) {
        Restart();
        return 0L;
    });
    close->OnClick.connect(boost::bind(&IMControl::Close, window_.get()));
    cancel->OnClick.connect([this](const IMMouseEvent&) {
        CloseExitMenu();
        return 0L;
    });

    const RECT lines[] = {
        {0, 0, 1, kHeight}, {0, 0, kWidth, 1}, {kWidth - 1, 0, kWidth, kHeight}, {0, kHeight - 1, kWidth, kHeight}};
    for (const RECT& r : lines) {
        IMPicture* line = CreatePicture(panel, 0, 0, L"EditBarKaretka", 2, 0xFFFFFFFF);
        line->SetRect(r);
    }
}

void IMAppBase::CloseExitMenu() {
    IMDialog* menu = exitMenu_.Get();
    if (!menu) return;
    exitMenu_.Reset();
    menu->Hide();
    menu->Close();
}

// [SECTION] The slots' defaults

void IMAppBase::RegisterScreens() {}
