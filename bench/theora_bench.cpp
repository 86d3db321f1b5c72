// The film view's hot path, per 320 x 240 frame of the program's own praise film: decoding
// alone, the colour conversion alone and both together, each with the scalar formula and the
// vectorised conversion side by side; and the view itself (decode, convert into its texture)
// on the headless engine.
#include <benchmark/benchmark.h>
#include <ogg/ogg.h>
#include <theora/theora.h>

#include <cstdlib>
#include <cstring>
#include <stdexcept>
#include <vector>

#include "engine/resource_manager.h"
#include "platform/resource_module.h"
#include "views/theora_view.h"
#include "views/yuv_to_rgb.h"

namespace {

std::vector<std::uint8_t> Film() {
    auto block = platform::ResourceModule::Program().FindName(L"bravo_film");
    if (!block) throw std::runtime_error("no film");
    return std::vector<std::uint8_t>(block->begin(), block->end());
}

// Every frame packet of the film, decoded again and again in a loop.
class Decoder {
   public:
    explicit Decoder(const std::vector<std::uint8_t>& film) {
        ogg_sync_state sync;
        ogg_sync_init(&sync);
        char* buffer = ogg_sync_buffer(&sync, static_cast<long>(film.size()));
        std::memcpy(buffer, film.data(), film.size());
        ogg_sync_wrote(&sync, static_cast<long>(film.size()));
        ogg_stream_state stream{};
        bool started = false;
        ogg_page page;
        ogg_packet packet;
        theora_info_init(&info_);
        theora_comment_init(&comment_);
        int headers = 0;
        while (ogg_sync_pageout(&sync, &page) > 0) {
            if (!started) {
                ogg_stream_init(&stream, ogg_page_serialno(&page));
                started = true;
            }
            ogg_stream_pagein(&stream, &page);
            while (ogg_stream_packetout(&stream, &packet) > 0) {
                if (headers < 3) {
                    theora_decode_header(&info_, &comment_, &packet);
                    ++headers;
                } else {
                    packets_.emplace_back(packet.packet, packet.packet + packet.bytes);
                }
            }
        }
        ogg_stream_clear(&stream);
        ogg_sync_clear(&sync);
        Restart();
    }
    ~Decoder() {
        theora_clear(&state_);
        theora_comment_clear(&comment_);
        theora_info_clear(&info_);
    }
    void Restart() {
        theora_clear(&state_);
        state_ = {};
        theora_decode_init(&state_, &info_);
        next_ = 0;
    }
    const yuv_buffer& Next() {
        if (next_ == packets_.size()) Restart();
        std::vector<std::uint8_t>& bytes = packets_[next_];
        ogg_packet packet{};
        packet.packet = bytes.data();
        packet.bytes = static_cast<long>(bytes.size());
        packet.packetno = static_cast<ogg_int64_t>(3 + next_);
        ++next_;
        theora_decode_packetin(&state_, &packet);
        theora_decode_YUVout(&state_, &picture_);
        return picture_;
    }
    std::size_t Frames() const { return packets_.size(); }

   private:
    theora_info info_{};
    theora_comment comment_{};
    theora_state state_{};
    yuv_buffer picture_{};
    std::vector<std::vector<std::uint8_t>> packets_;
    std::size_t next_ = 0;
};

void Convert(const yuv_buffer& p, std::vector<std::uint8_t>* out, yuv::Kind kind) {
    const yuv::Planes planes{p.y, p.u, p.v, p.y_stride, p.uv_stride};
    yuv::Convert(planes, p.y_width, p.y_height, out->data(), p.y_width * 4, kind);
}

void BM_Decode(benchmark::State& state) {
    Decoder decoder(Film());
    for (auto _ : state) benchmark::DoNotOptimize(decoder.Next().y);
}
BENCHMARK(BM_Decode)->Unit(benchmark::kMicrosecond);

void BM_Convert(benchmark::State& state) {
    Decoder decoder(Film());
    const yuv_buffer picture = decoder.Next();
    std::vector<std::uint8_t> out(static_cast<std::size_t>(picture.y_width) * picture.y_height * 4);
    const auto kind = static_cast<yuv::Kind>(state.range(0));
    for (auto _ : state) {
        Convert(picture, &out, kind);
        benchmark::DoNotOptimize(out.data());
    }
    state.SetLabel(kind == yuv::Kind::Scalar ? "scalar" : "vectorised");
}
BENCHMARK(BM_Convert)
    ->Arg(static_cast<int>(yuv::Kind::Scalar))
    ->Arg(static_cast<int>(yuv::Kind::Vectorised))
    ->Unit(benchmark::kMicrosecond);

void BM_DecodeAndConvert(benchmark::State& state) {
    Decoder decoder(Film());
    std::vector<std::uint8_t> out(320 * 240 * 4);
    const auto kind = static_cast<yuv::Kind>(state.range(0));
    for (auto _ : state) {
        Convert(decoder.Next(), &out, kind);
        benchmark::DoNotOptimize(out.data());
    }
    state.SetLabel(kind == yuv::Kind::Scalar ? "scalar" : "vectorised");
}
BENCHMARK(BM_DecodeAndConvert)
    ->Arg(static_cast<int>(yuv::Kind::Scalar))
    ->Arg(static_cast<int>(yuv::Kind::Vectorised))
    ->Unit(benchmark::kMicrosecond);

// The view as the program runs it: each step shows a frame and prepares the next one in its
// texture; at the end the film starts again from the top (a rewind).
void BM_ViewFrame(benchmark::State& state) {
    setenv("SDL_VIDEODRIVER", "offscreen", 0);
    (void)InitEngine(true);
    const std::vector<std::uint8_t> film = Film();
    {
        IMTheoraView view;
        if (!view.LoadFromMemory(film.data(), static_cast<int>(film.size()))) {
            state.SkipWithError("the film does not load");
            return;
        }
        int frame = 1;
        for (auto _ : state) {
            (void)view.SetFrame(frame);
            frame = frame >= 24 ? 1 : frame + 1;
        }
    }
    ShutdownEngine();
}
BENCHMARK(BM_ViewFrame)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
