// Glyph pictures: one texture slot per styled character, rendered by the program from the
// character's outline straight into the locked texture.
#include <algorithm>

#include "engine/glyph_outline.h"
#include "engine/glyph_rasterizer.h"
#include "engine/resource_manager.h"

DWORD IMResourceManager::CreateGlyphTexture(const std::wstring& name, wchar_t c, const RECT* rect, DWORD fg, int height,
                                            const std::wstring& face, bool italic, bool bold, bool underline,
                                            DWORD bg) {
    return CreateSlot(name, [&](Obtained* out) {
        GlyphOutline path;
        path.face = face;
        path.height = height;
        path.bold = bold;
        path.italic = italic;
        path.underline = underline;
        // A character without an outline is rendered empty (background only) at its size.
        DecomposeGlyph(fonts_, &path, static_cast<char16_t>(c));
        int width = rect ? rect->right - rect->left : static_cast<int>(path.advance);
        int rows = rect ? rect->bottom - rect->top : path.cellHeight;
        width = std::max(1, width);
        rows = std::max(1, rows);
        out->texture = AllocateTexture(width, rows, platform::PixelFormat::A8R8G8B8);
        if (!out->texture) return false;
        out->width = width;
        out->height = rows;
        out->format = platform::PixelFormat::A8R8G8B8;
        BYTE* bits = nullptr;
        int pitch = 0;
        // A texture that will not lock is registered with whatever it holds.
        if (out->texture->Lock(&bits, &pitch)) {
            RasterizeGlyph(path, bits, pitch, width, rows, fg, bg);
            out->texture->Unlock();
        }
        return true;
    });
}
