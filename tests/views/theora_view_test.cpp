// The film view: the colour conversion against its formula, films made by libtheora's own
// encoder decoded frame by frame, the frame timeline of the playing control, rewinding, the
// texture names, and malformed films, which must raise their message and never crash.
#include "views/theora_view.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <random>
#include <set>
#include <stdexcept>
#include <string>
#include <vector>

#include "engine/resource_manager.h"
#include "gui/dialog.h"
#include "tests/support/driven_clock.h"
#include "tests/views/test_film.h"
#include "views/animation.h"
#include "views/yuv_to_rgb.h"

namespace {

// ---- Colour conversion --------------------------------------------------------------------------

TEST(YuvToRgb, KnownColours) {
    auto same = [](yuv::Bgrx p, int r, int g, int b) { return p.red == r && p.green == g && p.blue == b; };
    EXPECT_TRUE(same(yuv::Pixel(16, 128, 128), 0, 0, 0));
    EXPECT_TRUE(same(yuv::Pixel(235, 128, 128), 253, 253, 253));
    EXPECT_TRUE(same(yuv::Pixel(255, 128, 128), 255, 255, 255));
    EXPECT_TRUE(same(yuv::Pixel(81, 90, 240), 253, 0, 0));
    // The shift floors: a negative sum just below zero is black, not rounded up.
    EXPECT_TRUE(same(yuv::Pixel(15, 128, 128), 0, 0, 0));
}

// Every Y, Cb and Cr together: one picture per Cr, Y across the row (reversed on odd rows) and
// Cb down the rows, converted both ways.
TEST(YuvToRgb, VectorisedEqualsTheFormulaForEveryInput) {
    constexpr int w = 256, h = 512;
    std::vector<std::uint8_t> y(w * h), u(w / 2 * h / 2), v(w / 2 * h / 2);
    for (int r = 0; r < h; ++r)
        for (int x = 0; x < w; ++x) y[r * w + x] = static_cast<std::uint8_t>(r % 2 ? 255 - x : x);
    for (int r = 0; r < h / 2; ++r) std::fill_n(u.begin() + r * (w / 2), w / 2, static_cast<std::uint8_t>(r));
    std::vector<std::uint8_t> scalar(w * h * 4), vectorised(w * h * 4);
    int mismatches = 0;
    for (int cr = 0; cr < 256; ++cr) {
        std::fill(v.begin(), v.end(), static_cast<std::uint8_t>(cr));
        const yuv::Planes p{y.data(), u.data(), v.data(), w, w / 2};
        yuv::Convert(p, w, h, scalar.data(), w * 4, yuv::Kind::Scalar);
        yuv::Convert(p, w, h, vectorised.data(), w * 4, yuv::Kind::Vectorised);
        mismatches += scalar != vectorised;
        // The scalar path is the formula itself, pixel for pixel.
        const yuv::Bgrx expect = yuv::Pixel(y[3 * w + 77], u[1 * (w / 2) + 38], cr);
        EXPECT_EQ(scalar[(3 * w + 77) * 4 + 2], expect.red);
    }
    EXPECT_EQ(mismatches, 0);
}

// Widths that are not a multiple of the vector step, odd heights, padded strides and an
// unaligned destination.
TEST(YuvToRgb, RaggedSizesAndStridesConvertAlike) {
    std::mt19937 random(7);
    for (int w : {1, 2, 15, 17, 33, 318}) {
        for (int h : {1, 3, 8}) {
            const int yStride = w + 5, uvStride = (w + 1) / 2 + 3, pitch = w * 4 + 12;
            std::vector<std::uint8_t> y(yStride * h), u(uvStride * ((h + 1) / 2)), v(u.size());
            for (auto* plane : {&y, &u, &v})
                for (auto& b : *plane) b = static_cast<std::uint8_t>(random());
            std::vector<std::uint8_t> a(pitch * h + 1, 0xAB), b(pitch * h + 1, 0xAB);
            const yuv::Planes p{y.data(), u.data(), v.data(), yStride, uvStride};
            yuv::Convert(p, w, h, a.data() + 1, pitch, yuv::Kind::Scalar);
            yuv::Convert(p, w, h, b.data() + 1, pitch, yuv::Kind::Vectorised);
            EXPECT_EQ(a, b) << w << " x " << h;
            EXPECT_EQ(a[1 + w * 4], 0xAB) << "wrote past the row";
        }
    }
}

// ---- Films --------------------------------------------------------------------------------------

class EngineEnvironment : public ::testing::Environment {
   public:
    void SetUp() override { ASSERT_TRUE(InitEngine(true).ok()); }
    void TearDown() override { ShutdownEngine(); }
};
const auto* const kEngine = ::testing::AddGlobalTestEnvironment(new EngineEnvironment);

const std::vector<std::uint8_t>& Film26() {
    static const std::vector<std::uint8_t> film = testfilm::Make(26);
    return film;
}

DWORD Texel(unsigned slot, int x, int y) {
    const IMTextureEntry* entry = GetResourceManager()->GetTextureEntry(slot);
    DWORD argb = 0;
    if (!entry || !entry->texture || !entry->texture->ReadTexel(x, y, &argb)) ADD_FAILURE() << "no texel";
    return argb & 0xFFFFFF;
}

bool IsRed(DWORD rgb) { return (rgb >> 16 & 0xFF) > 200 && (rgb >> 8 & 0xFF) < 60 && (rgb & 0xFF) < 60; }

// Which frame the slot shows: the red square's left edge, or -1.
int FrameShown(unsigned slot) {
    const int y = testfilm::kSquareTop + testfilm::kSquareSide / 2;
    for (int frame = 0; frame < 40; ++frame) {
        const int left = testfilm::SquareLeft(frame);
        if (left + 2 >= testfilm::kWidth) break;
        if (IsRed(Texel(slot, left + 2, y)) && !IsRed(Texel(slot, left - 3, y))) return frame;
    }
    return -1;
}

// Mean difference per channel between the slot's picture and the source frame's colours.
double MeanError(unsigned slot, int frame) {
    const testfilm::Frame f = testfilm::MakeFrame(frame);
    double sum = 0;
    for (int y = 0; y < testfilm::kHeight; y += 3)
        for (int x = 0; x < testfilm::kWidth; x += 3) {
            const int c = (y / 2) * (testfilm::kWidth / 2) + x / 2;
            const yuv::Bgrx want = yuv::Pixel(f.y[y * testfilm::kWidth + x], f.cb[c], f.cr[c]);
            const DWORD got = Texel(slot, x, y);
            sum += std::abs(static_cast<int>(got >> 16 & 0xFF) - want.red) +
                   std::abs(static_cast<int>(got >> 8 & 0xFF) - want.green) +
                   std::abs(static_cast<int>(got & 0xFF) - want.blue);
        }
    return sum / (3.0 * (testfilm::kHeight / 3 + 1) * (testfilm::kWidth / 3 + 1));
}

TEST(TheoraView, ShowsEachRequestedFrameCloseToItsSource) {
    IMTheoraView view;
    ASSERT_TRUE(view.LoadFromMemory(Film26().data(), static_cast<int>(Film26().size())).ok());
    EXPECT_EQ(view.GetLastFrame(), IMTheoraView::kEndNotKnown);
    EXPECT_EQ(view.Slot(), view.FrontTexture());
    EXPECT_EQ(Texel(view.Slot(), 100, 100), 0u) << "black until the first frame is due";
    EXPECT_EQ(FrameShown(view.BackTexture()), 0) << "frame 0 waits in the back texture";
    const RECT source = view.GetSourceRect();
    EXPECT_EQ(source.right, 320);
    EXPECT_EQ(source.bottom, 240);

    // SetFrame(1) shows frame 0 (frame 1 is passed on the way to 2); from then on frame k.
    ASSERT_TRUE(view.SetFrame(1).ok());
    EXPECT_EQ(FrameShown(view.Slot()), 0);
    for (int k = 2; k <= 25; ++k) {
        ASSERT_TRUE(view.SetFrame(k).ok());
        ASSERT_EQ(FrameShown(view.Slot()), k);
        EXPECT_LT(MeanError(view.Slot(), k), 4.0) << "frame " << k;
    }
    EXPECT_EQ(view.GetLastFrame(), 25) << "the film ran out preparing frame 26";
}

TEST(TheoraView, StepBackRewindsToTheStart) {
    IMTheoraView view;
    ASSERT_TRUE(view.LoadFromMemory(Film26().data(), static_cast<int>(Film26().size())).ok());
    for (int k = 1; k <= 10; ++k) ASSERT_TRUE(view.SetFrame(k).ok());
    EXPECT_EQ(view.DecodedFrame(), 11);
    ASSERT_TRUE(view.SetFrame(3).ok());  // shows frame 11, prepared last; frame 4 is decoded from the start
    EXPECT_EQ(view.DecodedFrame(), 4);
    ASSERT_TRUE(view.SetFrame(4).ok());
    EXPECT_EQ(FrameShown(view.Slot()), 4);
    // The next frame needs no rewind.
    ASSERT_TRUE(view.SetFrame(5).ok());
    EXPECT_EQ(FrameShown(view.Slot()), 5);
    EXPECT_EQ(view.DecodedFrame(), 6);
}

// Every frame of a valid film plays, and again after a rewind, whatever its size and however
// its headers lie on pages: small films are taken in whole by the first reads, and a long
// comment spreads the headers over several pages.
TEST(TheoraView, EveryFrameOfSmallAndLongHeaderedFilmsPlays) {
    struct Case {
        const char* name;
        int frames;
        testfilm::Shape shape;
    };
    for (const Case& c :
         {Case{"64x64, 10 frames", 10, {64, 64, 0, true}}, Case{"64x64, 5 frames", 5, {64, 64, 0, true}},
          Case{"a comment over several pages", 26, {320, 240, 20'000, true}}}) {
        SCOPED_TRACE(c.name);
        const std::vector<std::uint8_t> film = testfilm::Make(c.frames, -1, false, c.shape);
        const bool framesShowWhich = c.shape.width == testfilm::kWidth;
        IMTheoraView view;
        ASSERT_TRUE(view.LoadFromMemory(film.data(), static_cast<int>(film.size())).ok());
        for (int pass = 0; pass < 2; ++pass) {
            SCOPED_TRACE(pass == 0 ? "first pass" : "after a rewind");
            ASSERT_TRUE(view.SetFrame(0).ok());  // the second pass rewinds here
            for (int k = 1; k < c.frames; ++k) {
                ASSERT_TRUE(view.SetFrame(k).ok());
                ASSERT_EQ(view.DecodedFrame(), k + 1 < c.frames ? k + 1 : k) << "frame " << k;
                if (framesShowWhich) {
                    ASSERT_EQ(FrameShown(view.Slot()), k);
                }
            }
            EXPECT_EQ(view.GetLastFrame(), c.frames - 1);
        }
    }
}

TEST(TheoraView, TexturesAreNamedPerFilmAndReleasedWithTheView) {
    IMResourceManager* engine = GetResourceManager();
    const std::size_t before = engine->TextureCount();
    const int k = IMTheoraView::FilmCount();
    {
        IMTheoraView first, second;
        ASSERT_TRUE(first.LoadFromMemory(Film26().data(), static_cast<int>(Film26().size())).ok());
        ASSERT_TRUE(second.LoadFromMemory(Film26().data(), static_cast<int>(Film26().size())).ok());
        EXPECT_EQ(engine->FindTexture(L"IMTheoraView1" + std::to_wstring(k)), first.FrontTexture());
        EXPECT_EQ(engine->FindTexture(L"IMTheoraView2" + std::to_wstring(k)), first.BackTexture());
        EXPECT_EQ(engine->FindTexture(L"IMTheoraView1" + std::to_wstring(k + 1)), second.FrontTexture());
        EXPECT_EQ(engine->GetTextureEntry(first.FrontTexture())->format, platform::PixelFormat::X8R8G8B8);
        // Never hit by the pointer: clicks reach what lies below.
        first.SetRect(RECT{0, 0, 320, 200});
        EXPECT_FALSE(first.HitTest(POINT{100, 100}));
        EXPECT_EQ(engine->TextureCount(), before + 4);
    }
    EXPECT_EQ(engine->TextureCount(), before);
}

// ---- The playing control ------------------------------------------------------------------------

struct Played {
    std::vector<int> frames;  // the frame after each change
    std::int64_t stopMs = -1;
};

// Ticks the control as the main loop would while a film plays, once every clock millisecond,
// until it stops.
Played Play(IMAnimationBase<IMTheoraView>* film, std::int64_t limitMs = 10'000) {
    Played played;
    DrivenClock clock;
    const std::int64_t start = clock.Now();
    auto sinceStart = [&] { return (clock.Now() - start) / 1000; };
    film->OnStop.connect([&](const IMEvent&) {
        played.stopMs = sinceStart();
        return 0L;
    });
    film->PlayOn(clock);
    while (film->IsPlaying() && sinceStart() < limitMs) {
        const int before = film->GetFrame();
        film->Tick();
        if (film->GetFrame() != before) played.frames.push_back(film->GetFrame());
        clock.AdvanceMs(1);
    }
    return played;
}

TEST(TheoraAnimation, PlaysTheFilmAtTwelveFramesASecondAndStopsAfterTwentySixFrameTimes) {
    IMDialog root(nullptr, nullptr, 0);
    auto* film = &root.Add<IMAnimationBase<IMTheoraView>>();
    EXPECT_EQ(film->frameTime, 2400);
    ASSERT_TRUE(film->LoadFromMemory(Film26().data(), static_cast<int>(Film26().size())).ok());
    film->frameTime = 5000;
    int plays = 0;
    film->OnPlay.connect([&](const IMEvent&) { return static_cast<long>(++plays); });
    const Played played = Play(film);
    EXPECT_EQ(plays, 1);
    // 26 frame times of 83 1/3 ms: 2166 2/3 ms, so the pass at 2167 ms stops it.
    EXPECT_EQ(played.stopMs, 2167);
    EXPECT_EQ(played.frames.size(), 25u) << "every frame shown once, in order";
    ASSERT_FALSE(played.frames.empty());
    EXPECT_TRUE(std::is_sorted(played.frames.begin(), played.frames.end()));
    EXPECT_EQ(played.frames.back(), 25);
    EXPECT_EQ(film->GetLastFrame(), 25);
    EXPECT_FALSE(film->IsHidden());
}

// A film with its headers and no frame stops after one frame time instead of holding its
// screen for ever.
TEST(TheoraAnimation, FilmWithoutFramesStillStops) {
    IMDialog root(nullptr, nullptr, 0);
    auto* film = &root.Add<IMAnimationBase<IMTheoraView>>();
    const std::vector<std::uint8_t> headersOnly = testfilm::Make(0);
    ASSERT_TRUE(film->LoadFromMemory(headersOnly.data(), static_cast<int>(headersOnly.size())).ok());
    EXPECT_EQ(film->GetFrame(), 0);
    EXPECT_EQ(film->GetLastFrame(), 0);
    EXPECT_EQ(Texel(film->BackTexture(), 10, 10), 0u);
    film->frameTime = 5000;
    const Played played = Play(film);
    EXPECT_EQ(played.stopMs, 84);  // one frame time, 83 1/3 ms
}

// ---- Malformed films ----------------------------------------------------------------------------

const std::set<std::string> kMessages = {"eof searched, terminate...",
                                         "error during ogg_stream_init",
                                         "error during ogg_stream_pagein",
                                         "error during ogg_stream_packetout",
                                         "error during theora_decode_header (corrupt stream)",
                                         "eof searched. terminate...",
                                         "error during theora_decode_packetin...",
                                         "error during theora_decode_YUVout...",
                                         "error during theora_decode_init"};

// Loads and plays a film through; returns the message raised, or "" when none was.
std::string LoadAndPlay(const std::vector<std::uint8_t>& bytes) {
    IMTheoraView view;
    platform::Result<void> played = view.LoadFromMemory(bytes.data(), static_cast<int>(bytes.size()));
    for (int k = 1; played && k <= 30; ++k) played = view.SetFrame(k);
    if (played) played = view.SetFrame(2);  // and a rewind
    if (played) played = view.SetFrame(3);
    if (played) return "";
    EXPECT_TRUE(kMessages.count(played.why())) << played.why();
    EXPECT_TRUE(played.Is(platform::ErrorKind::Damaged));
    EXPECT_TRUE(view.IsBroken());
    // A broken view takes further requests quietly.
    EXPECT_TRUE(view.SetFrame(7).ok());
    return played.why();
}

TEST(TheoraView, EmptyAndTruncatedFilmsRaiseTheirMessages) {
    EXPECT_EQ(LoadAndPlay({}), "eof searched, terminate...");
    IMTheoraView nothing;
    EXPECT_FALSE(nothing.LoadFromMemory(nullptr, 100).ok());

    const std::vector<std::uint8_t>& film = Film26();
    std::set<std::string> seen;
    for (std::size_t cut = 1; cut < film.size(); cut += cut < 9000 ? 61 : 4999) {
        const std::string message = LoadAndPlay(std::vector<std::uint8_t>(film.begin(), film.begin() + cut));
        seen.insert(message);
    }
    // Cut before the first page after the stream's opening page: the search for the video ran out.
    const std::set<std::string> expected = {"eof searched, terminate...", ""};
    EXPECT_EQ(seen, expected) << "a cut among the frames just ends the film sooner";

    // Each header on a page of its own, cut inside the last one: the headers ran out.
    const std::vector<std::uint8_t> separate = testfilm::Make(3, -1, true);
    EXPECT_EQ(LoadAndPlay(std::vector<std::uint8_t>(separate.begin(), separate.begin() + 400)),
              "eof searched. terminate...");
}

// Pages whose bodies were damaged, given checksums that match the damage, so the bytes reach the
// decoder; and plain noise.
TEST(TheoraView, DamagedAndGarbageFilmsNeverCrash) {
    std::mt19937 random(2008);
    for (int round = 0; round < 40; ++round) {
        std::vector<std::uint8_t> film = Film26();
        for (std::size_t at = 0; at + 27 < film.size();) {
            if (std::memcmp(&film[at], "OggS", 4) != 0) {
                ++at;
                continue;
            }
            const int segments = film[at + 26];
            const std::size_t headerLen = 27 + segments;
            std::size_t bodyLen = 0;
            for (int s = 0; s < segments; ++s) bodyLen += film[at + 27 + s];
            if (at + headerLen + bodyLen > film.size()) break;
            if (bodyLen > 0 && random() % 3 == 0) {
                for (int hits = 0; hits < 4; ++hits) film[at + headerLen + random() % bodyLen] ^= 1 << (random() % 8);
                ogg_page page{&film[at], static_cast<long>(headerLen), &film[at + headerLen],
                              static_cast<long>(bodyLen)};
                ogg_page_checksum_set(&page);
            }
            at += headerLen + bodyLen;
        }
        LoadAndPlay(film);
    }
    for (int round = 0; round < 20; ++round) {
        std::vector<std::uint8_t> noise(1 + random() % 20000);
        for (auto& b : noise) b = static_cast<std::uint8_t>(random());
        if (round % 2) std::memcpy(noise.data(), "OggS", std::min<std::size_t>(4, noise.size()));
        EXPECT_NE(LoadAndPlay(noise), "");
    }
    // An Ogg stream that is not a film.
    std::vector<std::uint8_t> notFilm(Film26().begin(), Film26().begin() + 200);
    notFilm[28] ^= 0xFF;  // the first header's packet type
    const int segments = notFilm[26];
    ogg_page page{notFilm.data(), 27 + segments, notFilm.data() + 27 + segments, notFilm[27]};
    ogg_page_checksum_set(&page);
    EXPECT_NE(LoadAndPlay(notFilm), "");
}

// A control whose film breaks while it plays is hidden and still stops on time.
TEST(TheoraAnimation, FilmThatFailsWhilePlayingStillStops) {
    IMDialog root(nullptr, nullptr, 0);
    auto* film = &root.Add<IMAnimationBase<IMTheoraView>>();
    const std::vector<std::uint8_t> broken = testfilm::Make(26, 12);
    ASSERT_TRUE(film->LoadFromMemory(broken.data(), static_cast<int>(broken.size())).ok());
    film->SetLastFrame(25);
    film->frameTime = 5000;
    const Played played = Play(film);
    EXPECT_EQ(played.stopMs, 2167);
    EXPECT_TRUE(film->IsHidden());
    EXPECT_TRUE(film->IsBroken());

    // The same damage raises its message straight from SetFrame.
    IMTheoraView view;
    ASSERT_TRUE(view.LoadFromMemory(broken.data(), static_cast<int>(broken.size())).ok());
    std::string message;
    for (int k = 1; k <= 25 && message.empty(); ++k) message = view.SetFrame(k).why();
    EXPECT_EQ(message, "error during theora_decode_packetin...");
}

}  // namespace

namespace {

// A film that does not even load: with its length set, the control still keeps time and stops.
TEST(TheoraAnimation, FilmThatFailsToLoadKeepsItsLength) {
    IMDialog root(nullptr, nullptr, 0);
    auto* film = &root.Add<IMAnimationBase<IMTheoraView>>();
    const std::vector<std::uint8_t> noise(3000, 0x5A);
    EXPECT_FALSE(film->LoadFromMemory(noise.data(), static_cast<int>(noise.size())).ok());
    film->SetLastFrame(25);
    film->frameTime = 5000;
    const Played played = Play(film);
    EXPECT_EQ(played.stopMs, 2167);
    EXPECT_FALSE(film->HasTexture());
}

}  // namespace
