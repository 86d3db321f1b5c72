// Resources compiled into the program and into its companion module.
//
// The resource compiler (tools/rescomp.py) turns the data folder into an assembly file whose
// table lists every block by resource number or by name. The program's own table is linked
// into the executable; the companion module "Animations.so" is a shared object holding only
// such a table, opened with dlopen next to the executable or else in the current directory.
//
// A looked-up block stays valid while its module is open (for the program: always).
// Any thread may read an open module.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "platform/result.h"

namespace platform {

// The layout the resource compiler emits; keep the two in step.
struct ResourceRecord {
    std::int64_t number;       // resource number, or -1 for a named block
    const char* name;          // UTF-8 block name, or null for a numbered resource
    const std::uint8_t* data;  // the file's bytes
    std::uint64_t size;
};
struct ResourceTable {
    std::uint64_t magic;  // kResourceTableMagic
    std::uint64_t count;
    const ResourceRecord* records;
};
inline constexpr std::uint64_t kResourceTableMagic = 0x5652455330303031ull;  // "VRES0001"

using ResourceBytes = std::span<const std::uint8_t>;

class ResourceModule {
   public:
    // The executable's own resources; empty when none were linked in.
    static const ResourceModule& Program();
    // Opens the companion module `fileName` from the executable's folder, else from the
    // current directory. ErrorKind::Missing when there is none; a file there that is not a
    // resource module is passed over with a line on stderr.
    static Result<std::unique_ptr<ResourceModule>> OpenCompanion(std::string_view fileName = "Animations.so");
    // A module over a table in memory (tests).
    explicit ResourceModule(const ResourceTable* table) : table_(table) {}
    ~ResourceModule();
    ResourceModule(const ResourceModule&) = delete;
    ResourceModule& operator=(const ResourceModule&) = delete;

    // The resource with this number (compared on its low 16 bits, as resource ids are).
    std::optional<ResourceBytes> FindNumber(int number) const;
    // The named block, names compared exactly.
    std::optional<ResourceBytes> FindName(std::string_view utf8Name) const;
    std::optional<ResourceBytes> FindName(std::wstring_view name) const;
    std::size_t Count() const;
    // Where the module was opened from (empty for the program).
    const std::string& Path() const { return path_; }

   private:
    const ResourceTable* table_ = nullptr;
    void* handle_ = nullptr;
    std::string path_;
};

}  // namespace platform
