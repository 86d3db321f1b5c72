// One texture slot of the engine's registry: the device texture (which may come and go with
// device loss and eviction), the picture's size, the allocated texture size, the registry
// name, the reference count and what the texture is made again from when it is gone: the
// system-memory backup, or the encoded picture in the program's own data.
#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "platform/graphics_device.h"
#include "platform/win_types.h"

struct IMTextureEntry {
    std::unique_ptr<platform::Texture> texture;  // null while dropped
    RECT image{};                                // always (0, 0, image width, image height)
    int textureWidth = 0;                        // allocated sides, powers of two
    int textureHeight = 0;
    std::wstring name;
    int refs = 1;
    // textureHeight rows of backupPitch bytes, laid out like the locked texture; empty when
    // the texture could not be read back.
    std::vector<BYTE> backup;
    int backupPitch = 0;
    // A picture registered from the program's embedded data keeps no backup: its texture is
    // decoded from these bytes (which live as long as the process) when its pixels are first
    // needed and again after it was dropped. Empty for every other picture, and once the
    // bytes turned out not to decode.
    std::span<const std::uint8_t> encoded;
    // The format the texture was made in; a restored texture gets the same one.
    platform::PixelFormat format = platform::PixelFormat::A8R8G8B8;
};
