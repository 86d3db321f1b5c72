#include "app/app.h"

#include <boost/bind/bind.hpp>

#include "app/report_rows.h"

using boost::placeholders::_1;

namespace {

const std::wstring kDescription =
    L"   В нижней части экрана представлен ряд картинок, олицетворяющих определенные ворленные стадии. "
    L"Необходимо:\n"
    L"   а) мышкой разместить эти картинки в слоты в нужном порядке, соблюдая последовательность превращений;\n"
    L"   б) определить картинки, не имеющие отношения к выстроенной последовательности.";

}  // namespace

App::App() { SetInfo(L"00357", L"Игра «Ворлен»", kDescription); }

App::~App() { Shutdown(); }

void App::RegisterScreens() { AddScreen(L"Dialog1", boost::bind(&App::BuildExercise, this, _1)); }

void App::BuildExercise(IMDialog* dialog) {
    counters_ = exercise::ExerciseCounters{};
    exerciseDialog_ = dialog;
    dialog->OnClose.connect([this, dialog](const IMEvent&) {
        if (exerciseDialog_ == dialog) exerciseDialog_.Reset();
        return 0L;
    });
    BuildBoards(dialog, &counters_, &episodes_);
}

void App::FinishExercise() {
    ShowPraiseAt(137, 100);
    episodes_.Reset();
    AddReportRow(report::kWrongSequence, std::to_wstring(counters_.wrongSequence), report::kNumber);
    AddReportRow(report::kWrongExtra, std::to_wstring(counters_.wrongExtra), report::kNumber);
    AddReportRow(report::kGrabMiss, std::to_wstring(counters_.grabMiss), report::kNumber);
    AddReportRow(report::kDropMiss, std::to_wstring(counters_.dropMiss), report::kNumber);
}
