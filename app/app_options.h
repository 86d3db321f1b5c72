// What whoever makes the application object decides for it: main from the command line, a test
// or a benchmark for itself. A plain struct, so that a new choice is one more member with a
// default that means "as the installed program does".
#pragma once

#include <functional>
#include <string>

#include "platform/clock.h"
#include "platform/printing.h"

struct AppOptions {
    // An ordinary 800 x 600 window instead of the full screen (--window).
    bool windowed = false;
    // A window that is never shown (tests and benchmarks); it is an ordinary window.
    bool hiddenWindow = false;
    // The workbooks' folder (made when missing; --results-folder); empty: the one
    // ResultsFolder finds.
    std::wstring resultsFolder;
    // The results journal's folder; empty: the user's data folder.
    std::string journalFolder;
    // The printers the printer dialog lists, asked each time it opens; empty: the ones CUPS
    // lists (platform::Printers::Get).
    std::function<platform::Printers::List()> printers;
    // The program's time (timers, films, sounds); null: the real clock. Must outlive the
    // application.
    platform::Clock* clock = nullptr;
};
