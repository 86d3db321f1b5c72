#include "app/vorlen_dlg.h"

#include <boost/bind/bind.hpp>
#include <cstdlib>
#include <utility>

#include "engine/resource_manager.h"
#include "gui/creation.h"
#include "platform/clock.h"

using boost::placeholders::_1;
using namespace exercise;

// Contents: the board | building the exercise | the episode chain

namespace {

constexpr DWORD kOpaque = 0xFFFFFFFF;

// The sounds of the chain, so closing the exercise can silence them.
constexpr int kChainSounds[] = {146, 147, 148, 139, 140, 141, 142, kSecondEpisodeOpening, kFailureSound};

}  // namespace

// [SECTION] The board

VorlenDlg::VorlenDlg(IMParent parent, const RECT& rect)
    : IMDialog(parent, &rect, 0),
      slots_{SlotPositions[0], SlotPositions[1], SlotPositions[2], SlotPositions[3]},
      dropArea_(rect) {
    OnMouseMove.connect(boost::bind(&VorlenDlg::OnBoardMouseMove, this, _1));
}

VorlenDlg::~VorlenDlg() {
    for (IMConnection& c : cardConnections_) c.disconnect();
    bellConnection_.disconnect();
    if (chain_) chain_->Forget(this);
}

IMPicture* VorlenDlg::AddBackground(const std::wstring& name) {
    return CreatePicture(this, 0, 0, name, baseLayer_, kOpaque);
}

IMButton* VorlenDlg::AddBell(const std::wstring& normal, const std::wstring& disabled, const std::wstring& hover,
                             const std::wstring& pressed) {
    if (bell_) return bell_;
    bell_ = CreateButton(this, BellPosition.x, BellPosition.y, normal, disabled, hover, pressed, 1);
    bellConnection_ = bell_->OnClick.connect(boost::bind(&VorlenDlg::OnBell, this, _1));
    return bell_;
}

IMPicture* VorlenDlg::AddCard(int x, int y, const std::wstring& name, int cardNumber) {
    if (chain_)
        chain_->SeedForDeal();
    else
        std::srand(static_cast<unsigned>(platform::Clock::Real().Milliseconds()) + static_cast<unsigned>(cardCount_));
    ++cardCount_;
    IMPicture* picture = CreatePicture(this, 0, 0, name, baseLayer_ + 2, kOpaque);
    MoveTo(picture, x, y);
    cardConnections_.push_back(
        picture->OnMouseButton.connect(boost::bind(&VorlenDlg::OnCardMouse, this, _1, cardNumber)));
    cards_.insert(cards_.begin(), MakeCard(picture, cardNumber));
    cardNumbers_.insert(cardNumbers_.begin(), cardNumber);
    return picture;
}

IMControl* VorlenDlg::CardPicture(int cardNumber) const {
    for (std::size_t i = 0; i < cards_.size(); ++i)
        if (cardNumbers_[i] == cardNumber) return cards_[i].picture;
    return nullptr;
}

long VorlenDlg::OnCardMouse(const IMMouseEvent& e, int cardNumber) {
    switch (static_cast<UINT>(e.id)) {
        // A quick second grab of the same card arrives as a double click; it is a press all the
        // same.
        case WM_LBUTTONDOWN:
        case WM_LBUTTONDBLCLK: {
            dragged_ = e.sender;
            const RECT r = dragged_->GetRect();
            grab_ = POINT{e.x - r.left, e.y - r.top};
            SetLayer(dragged_, baseLayer_ + 3);
            break;
        }
        case WM_LBUTTONUP: {
            if (!dragged_) break;
            IMControl* card = dragged_;
            SetLayer(card, baseLayer_ + 2);
            dragged_ = nullptr;
            ExerciseCounters unused;
            DropCard(cards_, card, cardNumber, POINT{e.x, e.y}, grab_, dropArea_, counters_ ? *counters_ : unused);
            break;
        }
        default:
            break;
    }
    return 0;
}

long VorlenDlg::OnBoardMouseMove(const IMMouseEvent& e) {
    if (dragged_) MoveTo(dragged_, e.x - grab_.x, e.y - grab_.y);
    return 0;
}

long VorlenDlg::OnBell(const IMMouseEvent& e) {
    ExerciseCounters unused;
    const Judgement judgement = JudgeBoard(cards_, counters_ ? *counters_ : unused);
    IMControl* bell = e.sender ? e.sender : bell_;
    if (judgement != Judgement::Solved) {
        IMResourceManager* engine = GetResourceManager();
        // Without the failure sound there is no end to wait for: the bell stays usable.
        if (!engine) return 0;
        const auto sound = engine->CreateSound(ResourceName(kFailureSound));
        if (!sound) return 0;
        const DWORD failure = *sound;
        bell->Disable();
        engine->ConnectEnded(failure, boost::bind(&IMControl::Enable, bell));
        if (!engine->Play(failure)) bell->Enable();
        return 0;
    }
    for (IMConnection& c : cardConnections_) c.disconnect();
    bellConnection_.disconnect();
    dragged_ = nullptr;
    bell->Disable();
    if (chain_) chain_->Praise();
    return 0;
}

// [SECTION] Building the exercise

void BuildBoards(IMDialog* dialog, ExerciseCounters* counters, EpisodeChain* chain) {
    chain->Stop();
    chain->Reset();
    chain->SeedForDeal();
    RandomFreeIndex positions;
    // Built in this order so that the first episode's board, built last, lies on top.
    constexpr int kBuildOrder[] = {1, 2, 3, 0};
    std::array<VorlenDlg*, 4> boards{};
    for (int episode : kBuildOrder) {
        const int b = kEpisodes[episode].base;
        VorlenDlg* board = &dialog->Add<VorlenDlg>(BoardRect);
        board->SetCounters(counters);
        board->SetChain(chain);
        IMPicture* background = board->AddBackground(ResourceName(BoardPicture(b)));
        background->OnClick.connect([counters](const IMMouseEvent&) {
            if (counters) ++counters->grabMiss;
            return 0L;
        });
        board->AddBell(ResourceName(BellPicture(b)), ResourceName(BellPicture(b)), ResourceName(BellHoverPicture(b)),
                       ResourceName(BellPressedPicture(b)));
        board->SetDropArea(DropArea);
        // The extra card takes the first start position drawn, the stage cards 1..4 the others.
        for (int cardNumber : {kExtraCardNumber, 1, 2, 3, 4}) {
            const POINT start = StartPositions[positions.Next(kCardCount)];
            board->AddCard(start.x, start.y, ResourceName(CardPicture(b, cardNumber)), cardNumber);
        }
        if (episode != 0) board->Hide();
        positions.Clear();
        boards[episode] = board;
    }
    chain->Begin(boards);
    // The chain must not keep its boards, however the exercise ends.
    dialog->OnClose.connect([chain](const IMEvent&) {
        chain->Stop();
        return 0L;
    });
}

// [SECTION] The episode chain

EpisodeChain::EpisodeChain(std::function<void()> finished) : finished_(std::move(finished)) {}

EpisodeChain::~EpisodeChain() { Stop(); }

void EpisodeChain::SeedForDeal() {
    std::srand(static_cast<unsigned>(platform::Clock::Real().Milliseconds()) + seedings_++);
}

// Plays a sound of the chain and runs `next` at its end. A sound that cannot be played does
// not stop the exercise: `next` runs at once.
template <class Next>
void EpisodeChain::PlayThen(int sound, Next next) {
    IMResourceManager* engine = GetResourceManager();
    if (!engine) return next();
    if (const auto created = engine->CreateSound(exercise::ResourceName(sound))) {
        const DWORD id = *created;
        connections_.push_back(engine->ConnectEnded(id, [next](DWORD) {
            next();
            return 0L;
        }));
        if (engine->Play(id)) return;
        connections_.back().disconnect();
    }
    next();
}

void EpisodeChain::Narrate() {
    if (index_ < 0 || index_ >= kEpisodeCount) return;
    PlayThen(kEpisodes[index_].narration, [this] { Advance(); });
}

void EpisodeChain::Advance() {
    if (index_ < 0 || index_ >= kEpisodeCount || !boards_[index_]) return;  // the exercise has closed
    if (index_ == kEpisodeCount - 1) {
        boards_[index_]->Disable();
        if (finished_) finished_();
    } else {
        boards_[index_]->Hide();
        if (boards_[index_ + 1]) boards_[index_ + 1]->Show();
        ++index_;
    }
    if (index_ == 1) {
        IMResourceManager* engine = GetResourceManager();
        if (engine) {
            if (auto id = engine->CreateSound(exercise::ResourceName(kSecondEpisodeOpening))) engine->Play(*id);
        }
    }
}

VorlenDlg* EpisodeChain::Board(int episode) const {
    return episode >= 0 && episode < kEpisodeCount ? boards_[episode] : nullptr;
}

void EpisodeChain::Forget(VorlenDlg* board) {
    for (VorlenDlg*& b : boards_)
        if (b == board) b = nullptr;
}

void EpisodeChain::Praise() {
    if (index_ >= kEpisodeCount) return;
    PlayThen(kEpisodes[index_].praiseSound, [this] { Narrate(); });
}

void EpisodeChain::Stop() {
    for (IMConnection& c : connections_) c.disconnect();
    connections_.clear();
    if (boards_ != std::array<VorlenDlg*, 4>{}) {
        if (IMResourceManager* engine = GetResourceManager()) {
            for (int sound : kChainSounds) {
                // Only sounds that exist: stopping must not load anything.
                const std::wstring name = exercise::ResourceName(sound);
                if (std::optional<DWORD> id = engine->FindSound(name)) engine->Stop(*id);
            }
        }
    }
    boards_ = {};
}
