#include "views/theora_view.h"

#include <algorithm>
#include <cstring>
#include <utility>

#include "engine/image_decoder.h"
#include "engine/resource_manager.h"
#include "views/yuv_to_rgb.h"

namespace {

// The lowest number under which no film's textures are registered in `engine`: films that play
// at once never share a texture name.
int FreeFilmNumber(const IMResourceManager* engine) {
    int k = 0;
    while (engine && engine->FindTexture(L"IMTheoraView1" + std::to_wstring(k)) != engine->SlotCount()) ++k;
    return k;
}

}  // namespace

int IMTheoraView::FilmCount() { return FreeFilmNumber(GetResourceManager()); }

IMTheoraView::IMTheoraView() {
    ogg_sync_init(&sync_);
    theora_comment_init(&comment_);
    theora_info_init(&info_);
}

IMTheoraView::~IMTheoraView() {
    if (texturesMade_) {
        if (IMResourceManager* engine = GetResourceManager()) {
            engine->ReleaseTexture(frontTexture_);
            engine->ReleaseTexture(backTexture_);
        }
    }
    ReleaseDecoder();
}

void IMTheoraView::ReleaseDecoder() {
    ogg_stream_clear(&videoStream_);
    theora_clear(&decoder_);
    theora_comment_clear(&comment_);
    theora_info_clear(&info_);
    ogg_sync_clear(&sync_);
    videoStreamReady_ = false;
    decoderReady_ = false;
    hasPicture_ = false;
}

platform::Error IMTheoraView::Fail(const char* message) {
    broken_ = true;
    return platform::Error::Of(platform::ErrorKind::Damaged, message);
}

int IMTheoraView::Feed() {
    const int n = std::min(dataSize_ - readPos_, kFeedBytes);
    if (n <= 0) return 0;
    char* buffer = ogg_sync_buffer(&sync_, n);
    if (!buffer) return 0;
    std::memcpy(buffer, data_ + readPos_, static_cast<std::size_t>(n));
    readPos_ += n;
    ogg_sync_wrote(&sync_, n);
    return n;
}

platform::Result<void> IMTheoraView::ReadHeaders() {
    int headers = 0;
    // The video stream: the stream-opening pages come first; the first Theora one is ours.
    for (bool searching = true; searching;) {
        if (Feed() == 0) return Fail("eof searched, terminate...");
        while (ogg_sync_pageout(&sync_, &page_) > 0) {
            if (!ogg_page_bos(&page_)) {
                ogg_stream_pagein(&videoStream_, &page_);
                searching = false;
                break;
            }
            ogg_stream_state test{};
            if (ogg_stream_init(&test, ogg_page_serialno(&page_)) != 0) return Fail("error during ogg_stream_init");
            if (ogg_stream_pagein(&test, &page_) != 0) {
                ogg_stream_clear(&test);
                return Fail("error during ogg_stream_pagein");
            }
            const int taken = ogg_stream_packetout(&test, &packet_);
            if (taken == -1) {
                ogg_stream_clear(&test);
                return Fail("error during ogg_stream_packetout");
            }
            // Only a packet just taken is offered to the decoder; an older one may point into
            // a stream already cleared.
            if (headers == 0 && taken > 0 && theora_decode_header(&info_, &comment_, &packet_) >= 0) {
                std::memcpy(&videoStream_, &test, sizeof test);
                videoStreamReady_ = true;
                headers = 1;
            } else {
                ogg_stream_clear(&test);
            }
        }
    }
    // A file without a Theora stream has no headers to read on.
    if (headers == 0) return Fail("error during theora_decode_header (corrupt stream)");

    // The other two headers. Once they are read nothing more is taken in: the pages of the
    // frames stay in sync_ for NextPacket.
    while (headers < 3) {
        const int r = ogg_stream_packetout(&videoStream_, &packet_);
        if (r < 0) return Fail("error during ogg_stream_packetout");
        if (r > 0) {
            if (theora_decode_header(&info_, &comment_, &packet_) < 0)
                return Fail("error during theora_decode_header (corrupt stream)");
            ++headers;
        }
        if (r > 0) continue;
        // No packet yet: a page already read, else more of the film. The film has run out only
        // when no page and no byte is left.
        if (ogg_sync_pageout(&sync_, &page_) > 0)
            ogg_stream_pagein(&videoStream_, &page_);
        else if (Feed() == 0)
            return Fail("eof searched. terminate...");
    }
    // A frame size the engine cannot hold would only make the decoder allocate for nothing.
    if (info_.width == 0 || info_.height == 0 || info_.frame_width == 0 || info_.frame_height == 0 ||
        info_.width > static_cast<unsigned>(kMaxPictureSide) || info_.height > static_cast<unsigned>(kMaxPictureSide))
        return Fail("error during theora_decode_header (corrupt stream)");
    return {};
}

platform::Result<void> IMTheoraView::LoadFromMemory(const std::uint8_t* data, int size) {
    data_ = data;
    dataSize_ = data ? std::max(size, 0) : 0;
    VORLEN_TRY(ReadHeaders());
    if (theora_decode_init(&decoder_, &info_) != 0) return Fail("error during theora_decode_init");
    decoderReady_ = true;

    IMResourceManager* engine = GetResourceManager();
    const int k = FreeFilmNumber(engine);
    const int width = static_cast<int>(info_.frame_width);
    const int height = static_cast<int>(info_.frame_height);
    if (engine) {
        frontTexture_ = engine->CreateBlankTexture(L"IMTheoraView1" + std::to_wstring(k), width, height,
                                                   platform::PixelFormat::X8R8G8B8);
        backTexture_ = engine->CreateBlankTexture(L"IMTheoraView2" + std::to_wstring(k), width, height,
                                                  platform::PixelFormat::X8R8G8B8);
        texturesMade_ = true;
    }
    if (texturesMade_) SetTextureSlot(frontTexture_);
    SetSourceRect(RECT{0, 0, width, height});

    if (!NextPacket()) {
        currentFrame_ = 0;
        lastFrame_ = decodedFrame_;
        return {};
    }
    VORLEN_TRY(DecodePacket());
    ConvertInto(backTexture_);
    return {};
}

bool IMTheoraView::NextPacket() {
    // Pages already read come before more of the film: a small film is read whole by the
    // header reader, and its frames then wait in sync_ with nothing left to feed.
    while (ogg_stream_packetout(&videoStream_, &packet_) <= 0) {
        if (ogg_sync_pageout(&sync_, &page_) > 0)
            ogg_stream_pagein(&videoStream_, &page_);
        else if (Feed() == 0)
            return false;
    }
    return true;
}

platform::Result<void> IMTheoraView::DecodePacket() {
    if (theora_decode_packetin(&decoder_, &packet_) == OC_BADPACKET)
        return Fail("error during theora_decode_packetin...");
    if (theora_decode_YUVout(&decoder_, &picture_) != 0) return Fail("error during theora_decode_YUVout...");
    hasPicture_ = true;
    return {};
}

platform::Result<void> IMTheoraView::SetFrame(int frame) {
    currentFrame_ = frame;
    targetFrame_ = frame;
    if (broken_ || !decoderReady_) return {};
    if (texturesMade_) SetTextureSlot(backTexture_);
    targetFrame_ = frame + 1;
    std::swap(frontTexture_, backTexture_);
    return DecodeToTarget();
}

platform::Result<void> IMTheoraView::Rewind() {
    readPos_ = 0;
    ReleaseDecoder();
    videoStream_ = {};
    sync_ = {};
    page_ = {};
    packet_ = {};
    comment_ = {};
    info_ = {};
    decoder_ = {};
    picture_ = {};
    ogg_sync_init(&sync_);
    theora_comment_init(&comment_);
    theora_info_init(&info_);
    VORLEN_TRY(ReadHeaders());
    if (theora_decode_init(&decoder_, &info_) != 0) return Fail("error during theora_decode_init");
    decoderReady_ = true;
    decodedFrame_ = -1;
    return {};
}

platform::Result<void> IMTheoraView::DecodeToTarget() {
    if (decodedFrame_ > targetFrame_) VORLEN_TRY(Rewind());
    while (decodedFrame_ < targetFrame_ && targetFrame_ <= lastFrame_) {
        if (!NextPacket()) {
            lastFrame_ = decodedFrame_;
            break;
        }
        VORLEN_TRY(DecodePacket());
        ++decodedFrame_;
    }
    IMResourceManager* engine = GetResourceManager();
    if (decodedFrame_ == targetFrame_ && engine && !engine->IsDeviceLost()) ConvertInto(backTexture_);
    return {};
}

void IMTheoraView::ConvertInto(unsigned slot) {
    IMResourceManager* engine = GetResourceManager();
    if (!engine || !texturesMade_ || !hasPicture_) return;
    const IMTextureEntry* entry = engine->GetTextureEntry(slot);
    if (!entry) return;
    // The picture is written at its coded size from the texture's corner, never past the
    // texture: a header may claim a picture smaller than the coded frame.
    const int textureWidth = entry->textureWidth;
    const int textureHeight = entry->textureHeight;
    const yuv_buffer picture = picture_;
    engine->FillTexture(slot, [&](BYTE* bits, int pitch, int) {
        const int width = std::min({picture.y_width, textureWidth, pitch / 4});
        const int height = std::min(picture.y_height, textureHeight);
        if (width <= 0 || height <= 0) return;
        yuv::Planes planes{picture.y, picture.u, picture.v, picture.y_stride, picture.uv_stride};
        yuv::Convert(planes, width, height, bits, pitch);
    });
}
