// IMResourceManager: the one engine object. It owns the graphics device, the named texture
// registry with the built-in skin, the frame counter and the drawing origin; everything the
// program shows is a textured quad drawn through DrawTexture.
//
// The engine is created by InitEngine and destroyed by ShutdownEngine, and reached in between
// through GetResourceManager(). All operations run on the GUI thread.
//
// Texture slots are unsigned numbers into the registry. A slot has a unique name and a
// reference count; whoever obtains a slot (LoadTexture, RegisterTexture, CreateBlankTexture,
// AddTextureRef) owns one reference and releases it exactly once with ReleaseTexture.
// A name that resolves to nothing gives kNoTexture, which draws nothing and is released
// harmlessly.
//
// Names: a registered name; else a resource number (the whole name is a decimal integer,
// optional sign, no spaces: "101", "0101" and "+101" are the same resource but different
// names), looked up in the program's own resources and then in the companion module
// "Animations.so"; else a file path (UTF-8 on disk).
//
// Device loss: IsDeviceLost latches a loss; ResetDevice drops every device texture and makes
// the device anew. Pictures come back the next time they are used: from their backups, or
// decoded again when they came from the program's embedded data (RegisterEmbeddedTexture, and
// LoadTexture of a number the program holds).
// Video memory exhaustion while making or restoring a texture drops the device texture of the
// lowest-numbered other slot and tries again; when nothing is left to drop the operation fails.
// Any other failure (a file that cannot be read, bytes that do not decode, the process out of
// memory while decoding) fails that picture alone: it is reported and gives kNoTexture.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "engine/font_table.h"
#include "engine/texture_entry.h"
#include "platform/graphics_device.h"
#include "platform/result.h"
#include "platform/win_types.h"
#include "sound/sound_system.h"

namespace platform {
class Window;
}

class IMResourceManager : public CSoundSystem {
   public:
    static constexpr DWORD kNoTexture = 0xFFFFFFFFu;
    static constexpr int kRefreshRate = 75;

    // The constructor makes no device; CreateDevice does. InitEngine is the usual way in.
    // Sounds and the frame count run on `clock`, which must outlive the engine.
    explicit IMResourceManager(platform::Clock& clock = platform::Clock::Real());
    ~IMResourceManager();
    IMResourceManager(const IMResourceManager&) = delete;
    IMResourceManager& operator=(const IMResourceManager&) = delete;

    // ---- Device -------------------------------------------------------------------------------
    // Makes the device for `nativeWindow` (platform::Window::NativeHandle(); null: a hidden
    // window of the device's own). Fails with "Can't init Direct3D" when video cannot start,
    // "Can't init DisplayMode" when no display mode can be read (each after a line on standard
    // error with SDL's reason) and "Не могу создать устройство Direct3D" when the device cannot
    // be made. The back buffer is always 800 x 600: the window shows it scaled.
    platform::Result<void> CreateDevice(void* nativeWindow, bool windowed, int width, int height, int refresh);
    // Latched: once lost, the device stays lost until a successful ResetDevice.
    bool IsDeviceLost();
    // Drops every device texture; when the device is lost, makes it anew. True when usable.
    bool ResetDevice();

    // ---- Frame --------------------------------------------------------------------------------
    // Clears the back buffer to opaque black.
    void BeginFrame();
    // Counts the frame and shows the back buffer.
    void EndFrame();
    // Counts a frame the window chose not to draw.
    void CountFrame() { ++frames_; }
    DWORD FrameCount() const { return frames_; }

    // ---- Clip and origin ----------------------------------------------------------------------
    // The clip is in back-buffer pixels (kept inside the back buffer); nothing is drawn
    // outside it. The origin is added to every quad's corners.
    RECT GetClip() const;
    void SetClip(const RECT& clip);
    POINT GetOrigin() const { return POINT{originX_, originY_}; }
    void SetOrigin(int x, int y) {
        originX_ = x;
        originY_ = y;
    }

    // ---- Drawing ------------------------------------------------------------------------------
    // Draws slot's picture: `src` (picture pixels; null = the whole picture) into `dst`
    // (origin coordinates), modulated by `colour` (ARGB; 0xFFFFFFFF = unchanged), rotated
    // clockwise by `angle` radians about the centre of dst. An upright w x h picture drawn
    // into a w x h rectangle lands texel for pixel. A rotated quad shows src's size from the
    // texture's top-left corner. Empty dst, free slots and kNoTexture draw nothing.
    void DrawTexture(DWORD slot, const RECT& dst, const RECT* src, DWORD colour, float angle);

    // ---- Low-level texture operations ---------------------------------------------------------
    // A texture with power-of-two sides at least width x height. ErrorKind::OutOfMemory when the
    // device's memory is exhausted (dropping another picture makes room); Failed for any other
    // failure, which is said on standard error here.
    platform::Result<std::unique_ptr<platform::Texture>> AllocateTexture(int width, int height,
                                                                         platform::PixelFormat format);
    // Copies the slot's texture into its backup (a slot without texture keeps none).
    void BackupTexture(DWORD slot);
    // Re-creates a dropped texture from its backup, in the slot's own format.
    void RestoreTexture(DWORD slot);
    // Releases the device texture; the backup stays.
    void DropTexture(DWORD slot);
    // Row pitch in bytes of the slot's texture; 0 when it has none.
    int GetTexturePitch(DWORD slot);
    // Calls fill(bits, pitch, image height) with the slot's texture locked. The backup is not
    // updated.
    using FillFunction = std::function<void(BYTE* bits, int pitch, int height)>;
    void FillTexture(DWORD slot, const FillFunction& fill);
    // The backup pixel (x, y) of a slot as ARGB, after restoring the texture; false outside
    // the texture or without backup. A picture from embedded data, which keeps no backup, is
    // read from its texture instead (decoded first when needed). The pixel-exact hit test
    // reads alpha this way.
    bool ReadBackupPixel(DWORD slot, int x, int y, DWORD* argb);

    // ---- Texture registry ---------------------------------------------------------------------
    // The slot of a registered name, or SlotCount() when there is none.
    DWORD FindTexture(const std::wstring& name) const;
    // One more reference; SlotCount() for a free or unknown slot.
    DWORD AddTextureRef(DWORD slot);
    // Registered name, resource number or file path (see above); kNoTexture when unresolved.
    // A number the program's own data holds is registered as RegisterEmbeddedTexture does:
    // decoded when first needed, without a backup.
    DWORD LoadTexture(const std::wstring& name);
    // A picture from one complete PNG or JPEG file in memory; the bytes are read only here.
    DWORD RegisterTexture(const std::wstring& name, std::span<const std::uint8_t> encoded);
    // A picture from PNG bytes that outlive the engine (the program's embedded data): the slot
    // is registered at once with the size the PNG header states, and the bytes are decoded
    // the first time the pixels are needed (drawing, filling, pitch, pixel reads), and again
    // whenever the texture was dropped, instead of keeping a backup. Bytes without a readable
    // PNG header are decoded here, as RegisterTexture does. A picture whose body then fails to
    // decode is reported once and draws nothing.
    DWORD RegisterEmbeddedTexture(const std::wstring& name, std::span<const std::uint8_t> encoded);
    // A picture whose pixels start transparent black, in the given format. Each side must be
    // 1 to kMaxPictureSide (engine/image_decoder.h); other sizes give kNoTexture and a message.
    DWORD CreateBlankTexture(const std::wstring& name, int width, int height, platform::PixelFormat format);
    // Drops one reference; the last one frees the slot for reuse (most recently freed first).
    // Unknown, free and kNoTexture slots are ignored.
    void ReleaseTexture(DWORD slot);
    void ReleaseTextureByName(const std::wstring& name) { ReleaseTexture(FindTexture(name)); }
    // The slot's entry, or null for a free or unknown slot.
    const IMTextureEntry* GetTextureEntry(DWORD slot) const;
    // Slots ever allocated (the "not found" value) and slots in use.
    DWORD SlotCount() const { return slotCount_; }
    std::size_t TextureCount() const { return names_.size(); }

    // ---- Fonts and glyphs (engine/font_table.h, engine/glyph_texture.cpp) -------------------
    // The font table: fonts by face, height, bold and italic, with their cached widths and
    // outlines. Fonts live as long as the engine.
    IMFontTable& Fonts() { return fonts_; }
    int FindOrCreateFont(const std::wstring& face, int height, bool bold, bool italic, bool underline) {
        return fonts_.FindOrCreateFont(face, height, bold, italic, underline);
    }
    // The slot named `name` holding code unit c rendered in fg over bg (ARGB) with the given
    // font and style; an existing name only gains a reference (nothing is rendered again).
    // The picture is `rect`'s size when given, else the character's advance x the font's cell
    // height. A zero side becomes 1; a negative side or one above kMaxPictureSide gives
    // kNoTexture and a message. The caller owns one reference.
    DWORD CreateGlyphTexture(const std::wstring& name, wchar_t c, const RECT* rect, DWORD fg, int height,
                             const std::wstring& face, bool italic, bool bold, bool underline, DWORD bg);

    // The device, for whoever must reach it directly (tests: read-back, loss, memory budget).
    platform::GraphicsDevice* Device() const { return device_.get(); }

    // Back-buffer size in pixels; screens centre things with these.
    int BackBufferWidth = platform::GraphicsDevice::kBackBufferWidth;
    int BackBufferHeight = platform::GraphicsDevice::kBackBufferHeight;

   private:
    friend platform::Result<void> InitEngine(bool windowed, platform::Clock& clock, platform::Window* window);
    friend void ShutdownEngine();

    struct Obtained {
        std::unique_ptr<platform::Texture> texture;
        int width = 0;
        int height = 0;
        platform::PixelFormat format = platform::PixelFormat::A8R8G8B8;
    };
    // Makes a picture's texture; whoever can say why it fails has said it on standard error,
    // except for an exhausted device memory (ErrorKind::OutOfMemory), which Obtain handles.
    using Source = std::function<platform::Result<Obtained>()>;
    // Runs `source`, dropping other pictures while video memory is exhausted. OutOfMemory when
    // nothing is left to drop; the source's error for any other failure. Both are reported.
    platform::Result<Obtained> Obtain(const std::wstring& name, const Source& source);
    // The allocated side for a picture side AllocateTexture accepts: the next power of two.
    static int TextureSide(int side);
    // Whether both sides lie in 1 .. kMaxPictureSide, wide enough for sizes computed from a
    // caller's rectangle without overflow.
    static bool IsPictureSize(long long width, long long height);
    // The same check for a named picture, with a message naming it when the size is refused.
    static bool CheckPictureSize(const std::wstring& name, long long width, long long height);
    // The common path of every slot-creating operation (reuse by name, obtain pixels,
    // eviction retry, slot numbering, backup).
    DWORD CreateSlot(const std::wstring& name, const Source& source);
    // Numbers a new entry (most recently freed slot first) and registers its name.
    DWORD AddSlot(std::unique_ptr<IMTextureEntry> entry);
    // Makes the texture of an embedded picture from its bytes.
    void DecodeEmbedded(IMTextureEntry* entry);
    // Drops the device texture of the lowest-numbered slot not named `keep`; false when none.
    bool EvictOne(const std::wstring& keep);
    platform::Result<Obtained> Decode(std::span<const std::uint8_t> bytes);
    IMTextureEntry* Entry(DWORD slot) const;
    void RegisterSkin();

    // Registry.
    std::vector<std::unique_ptr<IMTextureEntry>> slots_;
    std::map<std::wstring, DWORD> names_;
    std::vector<DWORD> freeSlots_;
    DWORD slotCount_ = 0;

    // Device.
    std::unique_ptr<platform::GraphicsDevice> device_;
    bool windowed_ = true;
    bool deviceLost_ = false;
    int refreshRate_ = 0;
    void* window_ = nullptr;

    // Fonts (after the device: nothing in them refers to it).
    IMFontTable fonts_;

    DWORD startTime_ = 0;
    DWORD frames_ = 0;
    int originX_ = 0;
    int originY_ = 0;
};

// The engine of the process, or null outside InitEngine .. ShutdownEngine.
IMResourceManager* GetResourceManager();

// Creates the engine for `window` (or a hidden window of its own when it is null), starts its
// device and registers the skin, whose pictures are decoded only when first used
// (RegisterEmbeddedTexture). Fails as CreateDevice does when the device cannot be made or video
// is missing; no engine is left behind then.
platform::Result<void> InitEngine(bool windowed, platform::Clock& clock = platform::Clock::Real(),
                                  platform::Window* window = nullptr);
// Releases the skin, prints the "FPS: " line and destroys the engine.
void ShutdownEngine();
