// The registry half of the engine: named, reference-counted texture slots, name resolution
// (registered name, resource number, file path), eviction under video-memory exhaustion and
// the built-in skin.
#include <boost/lexical_cast.hpp>
#include <new>
#include <optional>

#include "engine/image_decoder.h"
#include "engine/resource_manager.h"
#include "engine/skin.h"
#include "platform/debug.h"
#include "platform/resource_module.h"
#include "platform/text.h"

namespace {

// The whole name as a decimal integer (optional sign, nothing else), as resource numbers are
// written.
std::optional<int> ResourceNumber(const std::wstring& name) {
    try {
        return boost::lexical_cast<int>(name);
    } catch (const boost::bad_lexical_cast&) {
        return std::nullopt;
    }
}

}  // namespace

IMTextureEntry* IMResourceManager::Entry(DWORD slot) const { return slot < slotCount_ ? slots_[slot].get() : nullptr; }

const IMTextureEntry* IMResourceManager::GetTextureEntry(DWORD slot) const { return Entry(slot); }

DWORD IMResourceManager::FindTexture(const std::wstring& name) const {
    auto it = names_.find(name);
    return it == names_.end() ? slotCount_ : it->second;
}

DWORD IMResourceManager::AddTextureRef(DWORD slot) {
    IMTextureEntry* entry = Entry(slot);
    if (!entry) return slotCount_;
    ++entry->refs;
    return slot;
}

bool IMResourceManager::EvictOne(const std::wstring& keep) {
    for (DWORD slot = 0; slot < slotCount_; ++slot) {
        IMTextureEntry* entry = slots_[slot].get();
        if (entry && entry->texture && entry->name != keep) {
            DropTexture(slot);
            return true;
        }
    }
    return false;
}

IMResourceManager::ObtainResult IMResourceManager::Obtain(const std::wstring& name, const Source& source,
                                                          Obtained* got) {
    for (;;) {
        *got = Obtained{};
        try {
            if (!source(got) || !got->texture) {
                got->texture.reset();
                platform::Debug::Print(L"no picture for \"" + name + L"\"");
                return ObtainResult::Failed;
            }
            return ObtainResult::Made;
        } catch (const VideoMemoryExhausted&) {
            got->texture.reset();
            // Make room by dropping another picture (it can be made again) and try again;
            // with nothing left to drop the picture cannot be made.
            if (!EvictOne(name)) {
                platform::Debug::Print(L"out of texture memory: cannot make \"" + name + L"\"");
                return ObtainResult::NoRoom;
            }
        } catch (const std::bad_alloc&) {
            // The process, not the device, ran out while reading or decoding this picture;
            // the pictures on the device are not in the way, so they stay.
            got->texture.reset();
            platform::Debug::Print(L"not enough memory to read or decode \"" + name + L"\"");
            return ObtainResult::Failed;
        }
    }
}

DWORD IMResourceManager::AddSlot(std::unique_ptr<IMTextureEntry> entry) {
    DWORD slot;
    if (!freeSlots_.empty()) {
        slot = freeSlots_.back();
        freeSlots_.pop_back();
    } else {
        slot = slotCount_;
        slots_.emplace_back();
        ++slotCount_;
    }
    names_[entry->name] = slot;
    slots_[slot] = std::move(entry);
    return slot;
}

DWORD IMResourceManager::CreateSlot(const std::wstring& name, const Source& source) {
    DWORD existing = FindTexture(name);
    if (existing != slotCount_) return AddTextureRef(existing);

    Obtained got;
    if (Obtain(name, source, &got) != ObtainResult::Made) return kNoTexture;
    auto entry = std::make_unique<IMTextureEntry>();
    entry->textureWidth = got.texture->Width();
    entry->textureHeight = got.texture->Height();
    entry->texture = std::move(got.texture);
    entry->image = RECT{0, 0, got.width, got.height};
    entry->name = name;
    entry->refs = 1;
    entry->format = got.format;
    DWORD slot = AddSlot(std::move(entry));
    BackupTexture(slot);
    return slot;
}

bool IMResourceManager::DecodeInto(std::span<const std::uint8_t> bytes, Obtained* out) {
    auto allocate = [this](int w, int h) { return AllocateTexture(w, h, platform::PixelFormat::A8R8G8B8); };
    DecodedImage image;
    if (!DecodePng(bytes, allocate, &image) && !DecodeJpeg(bytes, allocate, &image)) return false;
    out->texture = std::move(image.texture);
    out->width = image.width;
    out->height = image.height;
    out->format = platform::PixelFormat::A8R8G8B8;
    return true;
}

DWORD IMResourceManager::RegisterTexture(const std::wstring& name, std::span<const std::uint8_t> encoded) {
    return CreateSlot(name, [&](Obtained* out) { return DecodeInto(encoded, out); });
}

DWORD IMResourceManager::RegisterEmbeddedTexture(const std::wstring& name, std::span<const std::uint8_t> encoded) {
    DWORD existing = FindTexture(name);
    if (existing != slotCount_) return AddTextureRef(existing);
    int width = 0, height = 0;
    if (!ReadPngSize(encoded, &width, &height)) return RegisterTexture(name, encoded);
    // Callers lay controls out by a picture's size long before they draw it, so the size is
    // known now; the pixels wait until someone needs them.
    auto entry = std::make_unique<IMTextureEntry>();
    entry->image = RECT{0, 0, width, height};
    entry->textureWidth = TextureSide(width);
    entry->textureHeight = TextureSide(height);
    entry->name = name;
    entry->refs = 1;
    entry->format = platform::PixelFormat::A8R8G8B8;
    entry->encoded = encoded;
    return AddSlot(std::move(entry));
}

void IMResourceManager::DecodeEmbedded(IMTextureEntry* entry) {
    Obtained got;
    ObtainResult result = Obtain(
        entry->name, [&](Obtained* out) { return DecodeInto(entry->encoded, out); }, &got);
    // Out of room, the bytes are kept for the next use, when other pictures may be gone; bytes
    // that do not decode never will, so they are not tried (and reported) again every frame.
    if (result == ObtainResult::NoRoom) return;
    if (result == ObtainResult::Made && (got.width != entry->image.right || got.height != entry->image.bottom)) {
        platform::Debug::Print(L"picture \"" + entry->name + L"\" decodes to another size than its header states");
        result = ObtainResult::Failed;
    }
    if (result != ObtainResult::Made) {
        entry->encoded = {};
        return;
    }
    entry->texture = std::move(got.texture);
}

DWORD IMResourceManager::LoadTexture(const std::wstring& name) {
    DWORD existing = FindTexture(name);
    if (existing != slotCount_) return AddTextureRef(existing);
    const std::optional<int> number = ResourceNumber(name);
    // The program's own pictures stay in its data for good, so, like the skin, they are decoded
    // when first drawn and need no backup.
    if (number)
        if (auto bytes = platform::ResourceModule::Program().FindNumber(*number))
            return RegisterEmbeddedTexture(name, *bytes);
    return CreateSlot(name, [&](Obtained* out) {
        if (number) {
            // Only numbers the program lacks are looked for in the companion module, which
            // stays open just while its bytes are decoded.
            std::unique_ptr<platform::ResourceModule> companion = platform::ResourceModule::OpenCompanion();
            if (!companion) return false;
            auto bytes = companion->FindNumber(*number);
            return bytes && DecodeInto(*bytes, out);
        }
        std::vector<std::uint8_t> file;
        if (!ReadWholeFile(platform::text::ToUtf8(name), &file)) return false;
        return DecodeInto(file, out);
    });
}

bool IMResourceManager::IsPictureSize(long long width, long long height) {
    return width >= 1 && height >= 1 && width <= kMaxPictureSide && height <= kMaxPictureSide;
}

bool IMResourceManager::CheckPictureSize(const std::wstring& name, long long width, long long height) {
    if (IsPictureSize(width, height)) return true;
    platform::Debug::Print(L"picture \"" + name + L"\" of " + std::to_wstring(width) + L" x " +
                           std::to_wstring(height) + L" is refused: each side must be 1 to " +
                           std::to_wstring(kMaxPictureSide));
    return false;
}

DWORD IMResourceManager::CreateBlankTexture(const std::wstring& name, int width, int height,
                                            platform::PixelFormat format) {
    return CreateSlot(name, [&](Obtained* out) {
        if (!CheckPictureSize(name, width, height)) return false;
        out->texture = AllocateTexture(width, height, format);
        if (!out->texture) return false;
        // A fresh texture is already all zero (transparent black).
        out->width = width;
        out->height = height;
        out->format = format;
        return true;
    });
}

void IMResourceManager::ReleaseTexture(DWORD slot) {
    IMTextureEntry* entry = Entry(slot);
    if (!entry) return;
    if (--entry->refs > 0) return;
    names_.erase(entry->name);
    slots_[slot].reset();
    freeSlots_.push_back(slot);
}

void IMResourceManager::RegisterSkin() {
    const platform::ResourceModule& program = platform::ResourceModule::Program();
    for (const wchar_t* name : kSkinNames) {
        auto bytes = program.FindName(std::wstring_view(name));
        if (!bytes) {
            platform::Debug::Print(L"skin picture " + std::wstring(name) + L" is missing");
            continue;
        }
        if (RegisterEmbeddedTexture(name, *bytes) == kNoTexture)
            platform::Debug::Print(L"skin picture " + std::wstring(name) + L" cannot be decoded");
    }
}
