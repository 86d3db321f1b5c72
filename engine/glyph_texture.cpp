// Glyph pictures: one texture slot per styled character, rendered by the program from the
// character's outline straight into the locked texture.
#include "engine/glyph_outline.h"
#include "engine/glyph_rasterizer.h"
#include "engine/resource_manager.h"

DWORD IMResourceManager::CreateGlyphTexture(const std::wstring& name, wchar_t c, const RECT* rect, DWORD fg, int height,
                                            const std::wstring& face, bool italic, bool bold, bool underline,
                                            DWORD bg) {
    return CreateSlot(name, [&]() -> platform::Result<Obtained> {
        GlyphOutline path;
        path.face = face;
        path.height = height;
        path.bold = bold;
        path.italic = italic;
        path.underline = underline;
        // A character without an outline is rendered empty (background only) at its size.
        DecomposeGlyph(fonts_, &path, static_cast<char16_t>(c));
        // In 64 bits: a caller's rectangle may span more than an int can hold.
        long long wide = rect ? static_cast<long long>(rect->right) - rect->left : path.advance;
        long long tall = rect ? static_cast<long long>(rect->bottom) - rect->top : path.cellHeight;
        if (wide == 0) wide = 1;
        if (tall == 0) tall = 1;
        if (!CheckPictureSize(name, wide, tall)) return platform::Error::Failed("a size no picture may have");
        const int width = static_cast<int>(wide);
        const int rows = static_cast<int>(tall);
        VORLEN_TRY_ASSIGN(texture, AllocateTexture(width, rows, platform::PixelFormat::A8R8G8B8));
        BYTE* bits = nullptr;
        int pitch = 0;
        // A texture that will not lock is registered with whatever it holds.
        if (texture->Lock(&bits, &pitch)) {
            RasterizeGlyph(path, bits, pitch, width, rows, fg, bg);
            texture->Unlock();
        }
        return Obtained{std::move(texture), width, rows, platform::PixelFormat::A8R8G8B8};
    });
}
