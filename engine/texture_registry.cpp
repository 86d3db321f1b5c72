// The registry half of the engine: named, reference-counted texture slots, name resolution
// (registered name, resource number, file path), eviction under video-memory exhaustion and
// the built-in skin.
#include <charconv>
#include <optional>

#include "engine/image_decoder.h"
#include "engine/resource_manager.h"
#include "engine/skin.h"
#include "platform/debug.h"
#include "platform/resource_module.h"
#include "platform/text.h"

namespace {

// The whole name as a decimal integer (optional sign, nothing else, within int's range), as
// resource numbers are written.
std::optional<int> ResourceNumber(const std::wstring& name) {
    std::string digits;
    for (wchar_t c : name) {
        if (c < L'0' && c != L'+' && c != L'-') return std::nullopt;
        if (c > L'9') return std::nullopt;
        digits += static_cast<char>(c);
    }
    // from_chars takes a minus but no plus.
    std::string_view text = digits;
    const bool plus = !text.empty() && text[0] == '+';
    if (plus) text.remove_prefix(1);
    if (text.empty() || text[0] == '+' || (plus && text[0] == '-')) return std::nullopt;
    int number = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), number);
    if (error != std::errc() || end != text.data() + text.size()) return std::nullopt;
    return number;
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

platform::Result<IMResourceManager::Obtained> IMResourceManager::Obtain(const std::wstring& name,
                                                                        const Source& source) {
    for (;;) {
        platform::Result<Obtained> got = source();
        if (got) return got;
        if (!got.Is(platform::ErrorKind::OutOfMemory)) {
            // Only the device's memory is worth making room in: a file that cannot be read or
            // bytes that do not decode concern this picture alone.
            platform::Debug::Print(L"no picture for \"" + name + L"\"");
            return got;
        }
        // Make room by dropping another picture (it can be made again) and try again; with
        // nothing left to drop the picture cannot be made.
        if (!EvictOne(name)) {
            platform::Debug::Print(L"out of texture memory: cannot make \"" + name + L"\"");
            return got;
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

    platform::Result<Obtained> obtained = Obtain(name, source);
    if (!obtained) return kNoTexture;
    Obtained& got = *obtained;
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

platform::Result<IMResourceManager::Obtained> IMResourceManager::Decode(std::span<const std::uint8_t> bytes) {
    auto allocate = [this](int w, int h) { return AllocateTexture(w, h, platform::PixelFormat::A8R8G8B8); };
    platform::Result<DecodedImage> image = DecodePng(bytes, allocate);
    // Bytes that are no PNG may be a JPEG; a full device memory is no reason to try.
    if (!image && !image.Is(platform::ErrorKind::OutOfMemory)) image = DecodeJpeg(bytes, allocate);
    VORLEN_TRY(image);
    return Obtained{std::move(image->texture), image->width, image->height, platform::PixelFormat::A8R8G8B8};
}

DWORD IMResourceManager::RegisterTexture(const std::wstring& name, std::span<const std::uint8_t> encoded) {
    return CreateSlot(name, [&] { return Decode(encoded); });
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
    platform::Result<Obtained> got = Obtain(entry->name, [&] { return Decode(entry->encoded); });
    // Out of room, the bytes are kept for the next use, when other pictures may be gone; bytes
    // that do not decode never will, so they are not tried (and reported) again every frame.
    if (got.Is(platform::ErrorKind::OutOfMemory)) return;
    if (got && (got->width != entry->image.right || got->height != entry->image.bottom)) {
        platform::Debug::Print(L"picture \"" + entry->name + L"\" decodes to another size than its header states");
        got = platform::Error::Of(platform::ErrorKind::Damaged, "another size than its header states");
    }
    if (!got) {
        entry->encoded = {};
        return;
    }
    entry->texture = std::move(got->texture);
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
    return CreateSlot(name, [&]() -> platform::Result<Obtained> {
        if (number) {
            // Only numbers the program lacks are looked for in the companion module, which
            // stays open just while its bytes are decoded.
            VORLEN_TRY_ASSIGN(companion, platform::ResourceModule::OpenCompanion());
            auto bytes = companion->FindNumber(*number);
            if (!bytes) return platform::Error::Of(platform::ErrorKind::Missing, "no such resource");
            return Decode(*bytes);
        }
        platform::Result<std::vector<std::uint8_t>> file = ReadWholeFile(platform::text::ToUtf8(name));
        if (!file) {
            platform::Debug::Print(file.why());
            return std::move(file).error();
        }
        return Decode(*file);
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
    return CreateSlot(name, [&]() -> platform::Result<Obtained> {
        if (!CheckPictureSize(name, width, height)) return platform::Error::Failed("a size no picture may have");
        VORLEN_TRY_ASSIGN(texture, AllocateTexture(width, height, format));
        // A fresh texture is already all zero (transparent black).
        return Obtained{std::move(texture), width, height, format};
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
