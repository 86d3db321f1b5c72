// The instruction: the overlay on the way from the start screen into the exercise, the
// program's demonstration in it (also shown by F1), its keyboard prompt, and the framework's
// plain help page for programs without a demonstration of their own.
//
//   overlay opens: pointer hidden, board and cards, speech 137
//     --22.7 s into the speech--> the pressed bell blinks three times in 2 s
//     --speech ends--> keyboard, mouse and a blinking space bar, the closing words, pointer shown
//     --Space (only now) or Esc (any time)--> overlay closes --> the exercise starts
#include <boost/bind/bind.hpp>
#include <memory>

#include "app/app.h"
#include "app/screen_text.h"
#include "engine/resource_manager.h"
#include "gui/control_ref.h"
#include "gui/creation.h"
#include "gui/window.h"
#include "platform/resource_module.h"

using exercise::ResourceName;

namespace {

// A picture toggled by a window timer every `period` ms: `toggles` times and then closed, or,
// with toggles < 0, for as long as its dialog lives. The timer goes when the dialog closes, or
// at the first tick after the picture has gone however it went. The window outlives it.
class Blinker : public std::enable_shared_from_this<Blinker> {
   public:
    static void Start(IMWindow* window, IMDialog* dialog, IMPicture* picture, unsigned period, int toggles) {
        auto blinker = std::make_shared<Blinker>(window, picture, period, toggles);
        blinker->dialogClosed_ = dialog->OnClose.connect([blinker](const IMEvent&) {
            blinker->Stop();
            return 0L;
        });
        blinker->Arm();
    }

    Blinker(IMWindow* window, IMPicture* picture, unsigned period, int toggles)
        : window_(window), picture_(picture), period_(period), toggles_(toggles) {}

   private:
    void Arm() {
        timer_ = window_->AddTimer(period_);
        window_->ConnectTimer(timer_, [self = shared_from_this()](const IMEvent&) { return self->Tick(); });
    }
    long Tick() {
        window_->RemoveTimer(timer_);
        timer_ = 0;
        if (stopped_) return 0;
        IMPicture* picture = picture_.Get();
        if (!picture) {
            Stop();
            return 0;
        }
        if (toggles_ == 0) {
            Stop();
            picture->Close();
            return 0;
        }
        if (toggles_ > 0) --toggles_;
        if (picture->IsHidden())
            picture->Show();
        else
            picture->Hide();
        Arm();
        return 0;
    }
    void Stop() {
        stopped_ = true;
        dialogClosed_.disconnect();
        if (timer_ != 0) window_->RemoveTimer(timer_);
        timer_ = 0;
    }

    IMWindow* window_;
    ControlRef<IMPicture> picture_;
    unsigned period_;
    int toggles_;
    unsigned timer_ = 0;
    bool stopped_ = false;
    IMConnection dialogClosed_;
};

// The named picture over the bell, hidden and shown again `count` times within `durationMs`,
// then closed (uncovering what lies below it).
void Blink(IMWindow* window, const std::wstring& name, int count, unsigned durationMs, IMDialog* parent) {
    IMPicture* picture = CreatePicture(parent, exercise::BellPosition.x, exercise::BellPosition.y, name, 0, 0xFFFFFFFF);
    const unsigned period = durationMs / (2 * static_cast<unsigned>(count));
    Blinker::Start(window, parent, picture, period, 2 * count);
}

// The demonstration lays out the first board with its extra card first, as a pupil would find it.
constexpr int kDemoBoard = 128;
constexpr int kDemoCards[] = {133, 131, 130, 129, 132};
constexpr int kDemoBell = 134;
constexpr int kDemoBellPressed = 136;
constexpr int kBlinkCount = 3;
constexpr unsigned kBlinkDurationMs = 2000;
constexpr unsigned kSpaceBlinkMs = 500;

struct PromptPicture {
    const wchar_t* name;
    POINT position;
};
constexpr PromptPicture kPromptPictures[] = {
    {L"KEYBOARDPIC", {107, 347}}, {L"MOUSE", {500, 209}}, {L"KEYSPACE", {237, 502}}};
constexpr int kPromptLayer = 1000;

}  // namespace

// [SECTION] The overlay from the start screen

void IMAppBase::ShowInstructionOverlay() {
    if (!window_) return;
    instructionShown_ = true;
    IMDialog* overlay = &window_->Add<IMDialog>(nullptr, 0);
    instructionOverlay_ = overlay;
    // The window's slots watch the overlay through a handle; the overlay's own slots go with it.
    escapeConnection_ = window_->OnKeyDown.connect([this, watched = ControlRef(overlay)](const IMKeyboardEvent& e) {
        if (e.wParam == VK_ESCAPE) CloseInstructionOverlay(watched.Get());
        return 0L;
    });
    overlay->OnClose.connect([this, overlay](const IMEvent&) {
        if (instructionOverlay_ == overlay) {
            instructionOverlay_.Reset();
            instructionShown_ = false;
            escapeConnection_.disconnect();
        }
        return 0L;
    });
    overlay->OnClose.connect([this](const IMEvent&) {
        NextScreen();
        return 0L;
    });
    ShowInstruction(overlay);
}

void IMAppBase::CloseInstructionOverlay(IMDialog* overlay) {
    if (!overlay || overlay != instructionOverlay_.Get() || overlay->IsDisposed()) return;
    instructionShown_ = false;
    overlay->Close();
}

// [SECTION] The framework's plain help page

void IMAppBase::ShowInstruction(IMDialog* overlay) {
    IMPicture* background = CreatePicture(overlay, 0, 0, L"DefaultBackGround", 0, 0xFFFFFFFF);
    background->SetRect(overlay->GetRect());
    const int width = overlay->GetWidth();
    screen_text::MakeCentred(overlay, width, 20, L"зедкарный ресурс", 18, false);
    screen_text::MakeCentred(overlay, width, 100, L"Справка", 24, false);
    if (!window_) return;
    const unsigned timer = window_->AddTimer(5000);
    IMWindow* window = window_.get();
    window->ConnectTimer(timer, [window, timer, watched = ControlRef(overlay)](const IMEvent&) {
        window->RemoveTimer(timer);
        if (IMDialog* o = watched.Get()) o->Close();
        return 0L;
    });
    overlay->OnClose.connect([window, timer](const IMEvent&) {
        window->RemoveTimer(timer);
        return 0L;
    });
}

// [SECTION] The demonstration

void App::ShowInstruction(IMDialog* overlay) {
    promptShown_ = false;
    instructionDialog_ = overlay;
    // The sound's and the window's slots below watch the overlay through a handle.
    const ControlRef<IMDialog> watched = overlay;
    HideCursor();
    overlay->OnClose.connect([this, overlay](const IMEvent&) {
        if (instructionDialog_ == overlay) {
            speechEnded_.disconnect();
            speechLabel_.disconnect();
            spaceKey_.disconnect();
        }
        return 0L;
    });

    CreatePicture(overlay, 0, 0, ResourceName(kDemoBoard), 0, 0xFFFFFFFF);
    CreatePicture(overlay, exercise::BellPosition.x, exercise::BellPosition.y, ResourceName(kDemoBell), 0, 0xFFFFFFFF);
    for (std::size_t i = 0; i < std::size(kDemoCards); ++i) {
        const POINT at = exercise::StartPositions[i];
        CreatePicture(overlay, at.x, at.y, ResourceName(kDemoCards[i]), 0, 0xFFFFFFFF);
    }

    IMResourceManager* engine = GetResourceManager();
    std::optional<DWORD> speech;
    if (engine) {
        if (auto created = engine->CreateSound(ResourceName(exercise::kInstructionSound))) speech = *created;
    }
    if (speech) {
        speechEnded_ = engine->ConnectEnded(*speech, [this, watched](DWORD) {
            EndOfInstruction(watched.Get(), false);
            return 0L;
        });
        speechLabel_ = engine->ConnectLabel(*speech, [this, watched](DWORD, DWORD) {
            IMDialog* o = watched.Get();
            if (o && window_) Blink(window_.get(), ResourceName(kDemoBellPressed), kBlinkCount, kBlinkDurationMs, o);
            return 0L;
        });
        // Without a sound card the speech still runs its course silently; only a speech that
        // cannot be read at all leaves the prompt to the overlay's closing.
        engine->Play(*speech);
    }
    overlay->OnClose.connect([speech](const IMEvent&) {
        if (IMResourceManager* e = GetResourceManager(); e && speech) e->Stop(*speech);
        return 0L;
    });
    overlay->OnClose.connect([this, overlay](const IMEvent&) {
        EndOfInstruction(overlay, true);
        return 0L;
    });
}

void App::EndOfInstruction(IMDialog* overlay, bool closing) {
    if (promptShown_ || !overlay || overlay != instructionDialog_.Get()) return;
    promptShown_ = true;
    speechEnded_.disconnect();
    speechLabel_.disconnect();
    // The prompt asks for a key; an overlay already on its way out is past asking.
    if (!closing) ShowEndPrompt(overlay);
    ShowCursor();
}

void App::ShowEndPrompt(IMDialog* overlay) {
    const platform::ResourceModule& program = platform::ResourceModule::Program();
    IMResourceManager* engine = GetResourceManager();
    if (engine) {
        if (auto words = program.FindName(L"ENDHELPSOUND")) {
            if (auto created =
                    engine->CreateSoundFromMemory(L"ENDHELPSOUND", words->data(), static_cast<DWORD>(words->size()))) {
                const DWORD id = *created;
                overlay->OnClose.connect([id](const IMEvent&) {
                    if (IMResourceManager* e = GetResourceManager()) e->Stop(id);
                    return 0L;
                });
                engine->Play(id);
            }
        }
    }

    IMPicture* space = nullptr;
    for (const PromptPicture& p : kPromptPictures) {
        auto block = program.FindName(p.name);
        if (!block || !engine) continue;  // a missing picture leaves its place empty
        const DWORD slot = engine->RegisterTexture(p.name, *block);
        IMPicture* picture = CreatePicture(overlay, p.position.x, p.position.y, p.name, kPromptLayer, 0xFFFFFFFF);
        engine->ReleaseTexture(slot);
        if (std::wstring(p.name) == L"KEYSPACE") space = picture;
    }
    if (space && window_) Blinker::Start(window_.get(), overlay, space, kSpaceBlinkMs, -1);

    // From the start screen Space ends the instruction; after F1 any key does already.
    if (overlay == instructionOverlay_.Get() && window_) {
        spaceKey_ = window_->OnKeyDown.connect([this, watched = ControlRef(overlay)](const IMKeyboardEvent& e) {
            if (e.wParam == VK_SPACE) CloseInstructionOverlay(watched.Get());
            return 0L;
        });
    }
}
