// IMTheoraView: a texture view that plays an Ogg Theora film held in memory.
//
// The film is read in place, at most 8 KB at a time, decoded with libtheora's decoding
// interface and converted into one of two textures of the view's own ("IMTheoraView1<k>" and
// "IMTheoraView2<k>", k counting the films loaded in the process). Showing a frame is a switch
// of texture: SetFrame(v) shows the frame prepared by the previous call and at once prepares
// v + 1 in the other texture, so frames requested one by one show frame v at SetFrame(v).
//
//   constructed --LoadFromMemory--> loaded (black shown, frame 0 waiting)
//   loaded --SetFrame--> advancing --film runs out--> end known (GetLastFrame = final frame)
//   a step back (v + 1 < decoded frame) rewinds to the start of the film and decodes again
//
// Malformed films fail LoadFromMemory and SetFrame with ErrorKind::Damaged and a message naming
// the step that failed. After a failure the view is broken: it draws what it last showed and
// SetFrame only records the frame number, so a caller that carries on is safe.
//
// GUI thread only. The film's bytes are not copied and must outlive the view.
#pragma once

#include <ogg/ogg.h>
#include <theora/theora.h>

#include <cstdint>
#include <string>

#include "gui/texture_view.h"
#include "platform/result.h"

// The frame interface of animated views.
class IMAnimationView {
   public:
    virtual ~IMAnimationView() = default;
    virtual platform::Result<void> SetFrame(int frame) = 0;
    virtual int GetFrame() = 0;
    virtual int GetFirstFrame() = 0;
    virtual int GetLastFrame() = 0;
    virtual void SetFirstFrame(int frame) = 0;
    virtual void SetLastFrame(int frame) = 0;
};

class IMTheoraView : public IMTextureView, public IMAnimationView {
   public:
    static constexpr int kFeedBytes = 8192;
    static constexpr int kEndNotKnown = 0x7FFFFFFF;

    IMTheoraView();
    ~IMTheoraView() override;

    // Reads the headers, makes both textures (black), shows the front one and prepares frame 0
    // in the back one. Called once, before anything else.
    platform::Result<void> LoadFromMemory(const std::uint8_t* data, int size);

    // Shows the prepared frame and prepares v + 1.
    platform::Result<void> SetFrame(int frame) override;
    int GetFrame() override { return currentFrame_; }
    int GetFirstFrame() override { return firstFrame_; }
    int GetLastFrame() override { return lastFrame_; }
    void SetFirstFrame(int frame) override { firstFrame_ = frame; }
    void SetLastFrame(int frame) override { lastFrame_ = frame; }

    // The frame whose picture was decoded last (-1 right after a rewind), and the textures.
    int DecodedFrame() const { return decodedFrame_; }
    unsigned FrontTexture() const { return frontTexture_; }
    unsigned BackTexture() const { return backTexture_; }
    bool IsBroken() const { return broken_; }
    // The suffix of the next film's texture names: the lowest number no living film's textures
    // are registered under.
    static int FilmCount();

   private:
    int Feed();
    platform::Result<void> ReadHeaders();
    platform::Result<void> Rewind();
    // Takes the next packet into packet_; false when the film ran out.
    bool NextPacket();
    platform::Result<void> DecodePacket();
    platform::Result<void> DecodeToTarget();
    void ConvertInto(unsigned slot);
    void ReleaseDecoder();
    // Marks the view broken and gives the error that says why.
    platform::Error Fail(const char* message);

    ogg_stream_state videoStream_{};
    ogg_sync_state sync_{};
    ogg_page page_{};
    ogg_packet packet_{};
    theora_comment comment_{};
    theora_info info_{};
    theora_state decoder_{};
    yuv_buffer picture_{};
    const std::uint8_t* data_ = nullptr;
    int dataSize_ = 0;
    int readPos_ = 0;
    int currentFrame_ = 0;
    int lastFrame_ = kEndNotKnown;
    int firstFrame_ = 0;
    unsigned frontTexture_ = 0;
    unsigned backTexture_ = 0;
    int decodedFrame_ = 0;
    int targetFrame_ = 0;

    bool texturesMade_ = false;
    bool videoStreamReady_ = false;
    bool decoderReady_ = false;
    bool hasPicture_ = false;
    bool broken_ = false;
};
