// Films for the film view's tests, made at test time with libtheora's own encoder (not our
// decoding code) and wrapped in Ogg pages: the usual layout, the first header alone on the
// first page and the other two on the second.
//
// Each frame is a known picture: a grey ramp across, a red square whose left edge moves with
// the frame number (so a frame shows which one it is), and a flat blue band at the bottom.
#pragma once

#include <ogg/ogg.h>
#include <theora/theoraenc.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

namespace testfilm {

constexpr int kWidth = 320;
constexpr int kHeight = 240;
constexpr int kSquareSide = 32;
constexpr int kSquareTop = 64;
constexpr int kSquareStep = 8;

inline int SquareLeft(int frame) { return 16 + kSquareStep * frame; }

struct Frame {
    std::vector<std::uint8_t> y, cb, cr;  // 4:2:0 planes, tightly packed
};

inline Frame MakeFrame(int frame, int width = kWidth, int height = kHeight) {
    Frame f;
    f.y.resize(width * height);
    f.cb.assign(width * height / 4, 128);
    f.cr.assign(width * height / 4, 128);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) f.y[y * width + x] = static_cast<std::uint8_t>(40 + x * 160 / width);
    // Clipped to the picture, so that small films still get what fits of both.
    auto block = [&](int left, int top, int w, int h, int luma, int cb, int cr) {
        for (int y = top; y < std::min(top + h, height); ++y)
            for (int x = left; x < std::min(left + w, width); ++x) {
                f.y[y * width + x] = static_cast<std::uint8_t>(luma);
                f.cb[(y / 2) * (width / 2) + x / 2] = static_cast<std::uint8_t>(cb);
                f.cr[(y / 2) * (width / 2) + x / 2] = static_cast<std::uint8_t>(cr);
            }
    };
    block(SquareLeft(frame), kSquareTop, kSquareSide, kSquareSide, 81, 90, 240);  // red
    block(0, height * 4 / 5, width, height / 5, 41, 240, 110);                    // blue
    return f;
}

inline void TakePages(ogg_stream_state* os, std::vector<std::uint8_t>* out, bool flush) {
    ogg_page page;
    while (flush ? ogg_stream_flush(os, &page) > 0 : ogg_stream_pageout(os, &page) > 0) {
        out->insert(out->end(), page.header, page.header + page.header_len);
        out->insert(out->end(), page.body, page.body + page.body_len);
    }
}

// The picture's size, a comment header made long enough to span several pages, and pages.
struct Shape {
    int width = kWidth;
    int height = kHeight;
    std::size_t commentBytes = 0;
    bool pagePerFrame = false;  // as muxers that flush each frame write it
};

// `frames` frames at 12 frames a second. The packet of frame `badFrame` is marked as a header
// packet, which a decoder must reject where a frame is due. `pagePerHeader` puts each header on a
// page of its own.
inline std::vector<std::uint8_t> Make(int frames, int badFrame = -1, bool pagePerHeader = false,
                                      const Shape& shape = {}) {
    // Sides that are multiples of 16: the coded frame is the picture.
    const int width = shape.width;
    const int height = shape.height;
    th_info info;
    th_info_init(&info);
    info.frame_width = width;
    info.frame_height = height;
    info.pic_width = width;
    info.pic_height = height;
    info.pic_x = 0;
    info.pic_y = 0;
    info.colorspace = TH_CS_ITU_REC_470BG;
    info.pixel_fmt = TH_PF_420;
    info.fps_numerator = 12;
    info.fps_denominator = 1;
    info.aspect_numerator = 1;
    info.aspect_denominator = 1;
    info.quality = 63;
    info.target_bitrate = 0;
    th_enc_ctx* encoder = th_encode_alloc(&info);
    th_info_clear(&info);

    ogg_stream_state os;
    ogg_stream_init(&os, 0x5eed);
    std::vector<std::uint8_t> film;
    th_comment comment;
    th_comment_init(&comment);
    std::string tag = "NOTE";
    std::string note(shape.commentBytes, 'x');
    if (!note.empty()) th_comment_add_tag(&comment, tag.data(), note.data());
    ogg_packet packet;
    bool first = true;
    while (th_encode_flushheader(encoder, &comment, &packet) > 0) {
        ogg_stream_packetin(&os, &packet);
        if (first || pagePerHeader)
            TakePages(&os, &film, true);
        else if (shape.commentBytes > 0)
            TakePages(&os, &film, false);  // a long comment on pages of about 4 KB
        first = false;
    }
    TakePages(&os, &film, true);
    th_comment_clear(&comment);

    for (int i = 0; i < frames; ++i) {
        Frame f = MakeFrame(i, width, height);
        th_ycbcr_buffer planes;
        planes[0] = {width, height, width, f.y.data()};
        planes[1] = {width / 2, height / 2, width / 2, f.cb.data()};
        planes[2] = {width / 2, height / 2, width / 2, f.cr.data()};
        th_encode_ycbcr_in(encoder, planes);
        while (th_encode_packetout(encoder, i == frames - 1, &packet) > 0) {
            std::vector<std::uint8_t> bytes(packet.packet, packet.packet + packet.bytes);
            if (i == badFrame && !bytes.empty()) bytes[0] |= 0x80;
            packet.packet = bytes.data();
            ogg_stream_packetin(&os, &packet);
        }
        TakePages(&os, &film, shape.pagePerFrame);
    }
    TakePages(&os, &film, true);
    ogg_stream_clear(&os);
    th_encode_free(encoder);
    return film;
}

}  // namespace testfilm
