// The praise overlay: the cloud, the film and the word of praise.
#include "app/praise.h"

#include <cstdlib>
#include <memory>
#include <string>

#include "app/im_app.h"
#include "engine/resource_manager.h"
#include "gui/creation.h"
#include "gui/picture.h"
#include "gui/window.h"
#include "platform/debug.h"
#include "platform/resource_module.h"
#include "platform/text.h"
#include "views/animation.h"
#include "views/theora_view.h"

using PraiseFilm = IMAnimationBase<IMTheoraView>;

void IMAppBase::ShowPraise() {
    ShowPraiseAt(praise::kCloudCorner.x, praise::kCloudCorner.y);
    IMDialog* overlay = praiseOverlay_.Get();
    if (!overlay) return;
    IMPicture* exit = CreatePicture(overlay, 770, 10, L"ExitButton", 901, 0xFFFFFFFF);
    exit->SetRect(RECT{740, 10, 780, 50});
    exit->OnClick.connect(boost::bind(&IMControl::Close, overlay));
}

void IMAppBase::ShowPraiseAt(int x, int y) {
    if (!window_) return;
    const platform::ResourceModule& program = platform::ResourceModule::Program();
    IMResourceManager* engine = GetResourceManager();

    IMDialog* overlay = &window_->Add<IMDialog>(nullptr, 0);
    praiseOverlay_ = overlay;
    overlay->OnClose.connect([this, overlay](const IMEvent&) {
        if (praiseOverlay_ == overlay) praiseOverlay_.Reset();
        return 0L;
    });

    // The cloud first: within a layer later controls cover earlier ones, and the film plays
    // on top of the cloud.
    if (auto cloud = program.FindName(L"oblako_png"); cloud && engine) {
        const DWORD slot = engine->RegisterTexture(L"oblako_png", *cloud);
        CreatePicture(overlay, x, y, L"oblako_png", 0, 0xFFFFFFFF);
        engine->ReleaseTexture(slot);
    }
    PraiseFilm* film = &overlay->Add<PraiseFilm>();

    const praise::Pair& pair = praise::kPairs[praise::PairIndex(std::rand())];
    if (auto word = program.FindName(pair.sound); word && engine) {
        if (auto id = engine->CreateSoundFromMemory(pair.sound, word->data(), static_cast<DWORD>(word->size())))
            engine->Play(*id);
    }

    // A film that cannot be shown leaves the cloud empty for the film's length: the pupil
    // still gets the praise word and then the results.
    auto bytes = program.FindName(pair.film);
    platform::Result<void> loaded = bytes ? film->LoadFromMemory(bytes->data(), static_cast<int>(bytes->size()))
                                          : platform::Error::Of(platform::ErrorKind::Missing, "the film is missing");
    if (!loaded) {
        platform::Debug::Print("praise film " + platform::text::ToUtf8(pair.film) + ": " + loaded.why());
        film->Hide();
    }
    film->SetPosition(x + praise::kFilmOffset.x, y + praise::kFilmOffset.y);
    film->frameTime = praise::kFrameTime;
    film->SetSize(praise::kFilmWidth, praise::kFilmHeight);
    film->SetLastFrame(praise::kFilmFrames - 1);

    // The screen under the praise may have closed already by the time the film ends (Retry in
    // the exit menu): it is closed once, and never after it is gone.
    film->OnStop.connect(boost::bind(&IMControl::Close, overlay));
    film->OnStop.connect([screen = currentScreen_](const IMEvent&) {
        if (IMDialog* s = screen.Get(); s && !s->IsDisposed()) s->Close();
        return 0L;
    });
    film->Play();
}
