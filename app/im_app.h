// The application object: the one object that knows the order of the screens, the global keys
// (F1 the instruction again, F12 the exit menu), the pupil and the results workbook.
//
// IMApp<T>::Make makes the object of the program's own class T with its window, for its caller
// to own (main, or a test); Instance() then finds that object until it goes. IMAppBase holds
// everything else. What differs between the program, a test and a benchmark (the window's
// kind, the folders) comes in an AppOptions when the object is made. Screens are dialogs,
// children of the one window, built by the virtual slots below; a screen ends by Close, and
// its OnClose runs NextScreen.
//
//   start screen --Start--> instruction --closed--> "Dialog1" (the exercise) --closed-->
//   results (no screen left) --Retry--> start screen          F12: exit menu on top of any
//
// The screens, overlays and dialogs belong to the window (their parent); the application only
// watches them, through handles that read as null once a control is gone. The window itself
// belongs to the application object.
//
// GUI thread only.
#pragma once

#include <boost/function.hpp>
#include <boost/signals2/shared_connection_block.hpp>
#include <chrono>
#include <cstdint>
#include <map>
#include <memory>
#include <string>

#include "app/app_options.h"
#include "core/signal.h"
#include "gui/control_ref.h"
#include "gui/dialog.h"

class IMWindow;
class IMKeyboardEvent;
class IMEditBar;
class IMScroll;
class ResultsBook;
class ResultsForwarder;
class IMSaveAsDialog;
class IMSelectPrinterDialog;
namespace platform {
class PrintSurface;
}

class IMAppBase {
   public:
    using ScreenBuilder = boost::function<void(IMDialog*)>;

    IMAppBase();
    // Shuts down when that has not happened yet.
    virtual ~IMAppBase();
    IMAppBase(const IMAppBase&) = delete;
    IMAppBase& operator=(const IMAppBase&) = delete;

    // The virtual slots, in their fixed order.
    // The exit menu's Retry: closes the menu and, when a screen runs, closes it and shows the
    // start screen again. 1 when no screen was running (only the menu closed), else 0.
    virtual int Restart();
    virtual void RegisterScreens();
    virtual void ShowStartScreen();
    virtual void ShowResults();
    virtual void ShowPraise();
    virtual void ShowPraiseAt(int x, int y);
    // Fills an instruction overlay; the default is a plain help page that closes itself after
    // five seconds.
    virtual void ShowInstruction(IMDialog* overlay);
    // F12 opens the exit menu.
    virtual long OnMenuKey(const IMKeyboardEvent& e);

    void SetInfo(const std::wstring& number, const std::wstring& name, const std::wstring& description);
    // Registers a screen. An empty name is ignored; a name keeps its first builder. The first
    // registered screen is the one NextScreen starts.
    void AddScreen(const std::wstring& name, const ScreenBuilder& builder);
    // Starts the next registered screen in a new dialog, or, when none is left, writes the
    // pass's closing rows, finishes the workbook and shows the results.
    void NextScreen();

    // Rows of the pupil's workbook; dropped when no name was typed.
    void AddReportRow(const std::wstring& caption, const std::wstring& value, const std::wstring& type);
    // A workbook for the pupil in the results folder; nothing for an empty name. The previous
    // workbook is saved to its file before it is replaced.
    void OpenResultsBook(const std::wstring& pupil);
    void SetPupilName(const std::wstring& pupil) { pupil_ = pupil; }
    // Hands the pupil's new rows over to the results thread, which writes them into the
    // workbook's own file; false without a workbook. SaveResultsAs writes a copy to `path`
    // (the own file, by whatever name, is an ordinary save); false when there is no workbook or
    // the copy could not be written (said on standard error).
    bool SaveResults();
    bool SaveResultsAs(const std::wstring& path);
    // Waits, at most `bound`, until the workbook holds every pass handed over in this run,
    // with a notice on the screen when `notice` and there is a window. False when some are
    // still only in the journal (said on standard error, with where they are kept).
    bool FinishSaving(std::chrono::milliseconds bound, bool notice);

    // The results screen's outputs (app/results_output.cpp). Nothing happens without a
    // workbook. The printer dialog's Print prints on the selected printer and closes it; the
    // save-as dialog's Save writes the workbook under the typed name and closes it, or says in
    // the dialog why it did not and stays open.
    void ShowPrintDialog();
    // Prints the workbook with the pupil's header on `surface` (nothing without one) and then
    // releases the surface.
    void PrintResults(std::unique_ptr<platform::PrintSurface> surface);
    void ShowSaveAsDialog();
    IMDialog* ResultsScreen() const { return resultsScreen_.Get(); }
    IMSelectPrinterDialog* PrintDialog() const { return printDialog_.Get(); }
    IMSaveAsDialog* SaveAsDialog() const { return saveAsDialog_.Get(); }

    // The instruction on the way from the start screen into the exercise: Esc closes it at any
    // time, and its closing starts the next screen.
    void ShowInstructionOverlay();
    // F1: the instruction again over whatever runs; the next key closes it.
    long OnHelpKey(const IMKeyboardEvent& e);
    // Ctrl+I (the same key in the Russian layout): the credits above everything.
    long OnCreditsKey(const IMKeyboardEvent& e);
    void ShowExitMenu();
    void CloseExitMenu();

    IMWindow* Window() const { return window_.get(); }
    IMDialog* CurrentScreen() const { return currentScreen_.Get(); }
    IMDialog* ExitMenu() const { return exitMenu_.Get(); }
    ResultsBook* Workbook() const { return workbook_.get(); }
    ResultsForwarder* Forwarder() const { return forwarder_.get(); }
    const std::wstring& NextScreenName() const { return nextScreen_; }
    const std::wstring& Title() const { return title_; }
    const std::wstring& Number() const { return number_; }
    const std::wstring& Name() const { return name_; }
    const std::wstring& Description() const { return description_; }
    const std::wstring& Pupil() const { return pupil_; }
    int ExtraInstructionCalls() const { return extraInstructionCalls_; }
    bool InstructionShown() const { return instructionShown_; }
    // The overlay opened by ShowInstructionOverlay while it is open, else null.
    IMDialog* InstructionOverlay() const { return instructionOverlay_.Get(); }
    IMDialog* StartScreen() const { return startScreen_.Get(); }
    // The praise overlay while its film plays, and the credits while they are open.
    IMDialog* PraiseOverlay() const { return praiseOverlay_.Get(); }
    IMDialog* Credits() const { return credits_.Get(); }
    IMEditBar* NameBar() const { return startScreen_ ? nameBar_.Get() : nullptr; }
    IMScroll* DescriptionScroll() const { return startScreen_ ? descriptionScroll_.Get() : nullptr; }
    IMDialog* DescriptionContent() const { return startScreen_ ? descriptionContent_.Get() : nullptr; }
    const boost::function<void()>& OptionsCallback() const { return optionsCallback_; }

    const AppOptions& Options() const { return options_; }

    // The application object while it lives, else null.
    static IMAppBase* Current();
    // The end of the program: saves the workbook and closes the window (which stops sound and
    // engine). Once only; the object's owner lets it go afterwards. The program's class calls
    // it in its own destructor too, so that the screens go while all of it still exists.
    void Shutdown();

   protected:
    // Make: opens the window, connects the keys, registers the screens.
    void Start(const std::wstring& title, const AppOptions& options);
    // True, said on standard error, while an application object lives.
    static bool RefuseSecond();

    // The program hides the mouse pointer at most once at a time, so that however often the
    // screens show it, one hide is undone by one show.
    void ShowCursor();
    void HideCursor();
    long CloseHelpOverlay(IMDialog* overlay);
    // Start or Enter on the start screen.
    void BeginPass(IMDialog* startScreen, const std::wstring& pupil);
    // Closes the overlay by Esc or, once the prompt is there, by Space; nothing for another
    // overlay, one already closed, or null (one that is gone).
    void CloseInstructionOverlay(IMDialog* overlay);

    AppOptions options_;
    bool shutDown_ = false;
    boost::function<void()> optionsCallback_;
    ControlRef<IMDialog> exitMenu_;
    std::unique_ptr<IMWindow> window_;
    std::wstring nextScreen_;
    std::map<std::wstring, ScreenBuilder> screens_;
    ControlRef<IMDialog> currentScreen_;
    IMConnection overlayCloseConnection_;
    // Keeps the F1 overlay's close slot silent for the key that opened the overlay.
    boost::signals2::shared_connection_block overlayBlock_;
    // Before the workbook, which hands its passes to it: it goes after the workbook.
    std::unique_ptr<ResultsForwarder> forwarder_;
    std::unique_ptr<ResultsBook> workbook_;
    std::wstring title_;
    bool instructionShown_ = false;
    int extraInstructionCalls_ = 0;
    std::int64_t startTime_ = 0;
    std::wstring description_;
    std::wstring name_;
    std::wstring number_;
    std::wstring pupil_;

    bool cursorHidden_ = false;
    ControlRef<IMDialog> startScreen_;
    ControlRef<IMEditBar> nameBar_;
    ControlRef<IMScroll> descriptionScroll_;
    ControlRef<IMDialog> descriptionContent_;
    ControlRef<IMDialog> instructionOverlay_;
    IMConnection escapeConnection_;
    ControlRef<IMDialog> resultsScreen_;
    ControlRef<IMSelectPrinterDialog> printDialog_;
    ControlRef<IMSaveAsDialog> saveAsDialog_;
    ControlRef<IMDialog> praiseOverlay_;
    ControlRef<IMDialog> credits_;
};

template <class T>
class IMApp : public IMAppBase {
   public:
    // The application object with its window (raises std::exception when the window's device
    // cannot be made). The program has one window: null, said on standard error, while another
    // application object lives.
    static std::unique_ptr<T> Make(const std::wstring& title, const AppOptions& options) {
        if (RefuseSecond()) return nullptr;
        auto app = std::make_unique<T>();
        app->Start(title, options);
        return app;
    }
    // The object Make made, while its owner keeps it; else null.
    static T* Instance() { return static_cast<T*>(Current()); }
};
