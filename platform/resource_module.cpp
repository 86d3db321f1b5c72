#include "platform/resource_module.h"

#include <dlfcn.h>
#include <unistd.h>

#include <climits>
#include <cstring>

#include "platform/debug.h"
#include "platform/text.h"

// Defined by the generated resource file when the executable links one; tests and tools that
// link none see a null address.
extern "C" __attribute__((weak)) const platform::ResourceTable vorlen_program_resources;

namespace platform {
namespace {

constexpr const char* kModuleSymbol = "vorlen_module_resources";

bool Valid(const ResourceTable* t) { return t && t->magic == kResourceTableMagic; }

std::string ExecutableFolder() {
    char buffer[PATH_MAX];
    ssize_t n = readlink("/proc/self/exe", buffer, sizeof buffer - 1);
    if (n <= 0) return {};
    std::string path(buffer, static_cast<std::size_t>(n));
    auto slash = path.rfind('/');
    return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

}  // namespace

const ResourceModule& ResourceModule::Program() {
    static ResourceModule program(&vorlen_program_resources);
    return program;
}

Result<std::unique_ptr<ResourceModule>> ResourceModule::OpenCompanion(std::string_view fileName) {
    std::string name(fileName);
    for (const std::string& path : {ExecutableFolder() + name, "./" + name}) {
        if (access(path.c_str(), R_OK) != 0) continue;
        void* handle = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
        if (!handle) {
            const char* why = dlerror();
            Debug::Print("cannot open " + path + ": " + (why ? why : "unknown error"));
            continue;
        }
        auto* table = static_cast<const ResourceTable*>(dlsym(handle, kModuleSymbol));
        if (!Valid(table)) {
            Debug::Print(path + " is not a resource module");
            dlclose(handle);
            continue;
        }
        auto module = std::make_unique<ResourceModule>(table);
        module->handle_ = handle;
        module->path_ = path;
        return module;
    }
    return Error::Of(ErrorKind::Missing, "no resource module " + name);
}

ResourceModule::~ResourceModule() {
    if (handle_) dlclose(handle_);
}

std::size_t ResourceModule::Count() const { return Valid(table_) ? table_->count : 0; }

std::optional<ResourceBytes> ResourceModule::FindNumber(int number) const {
    if (!Valid(table_)) return std::nullopt;
    const std::int64_t id = number & 0xFFFF;
    for (std::uint64_t i = 0; i < table_->count; ++i) {
        const ResourceRecord& r = table_->records[i];
        if (!r.name && (r.number & 0xFFFF) == id) return ResourceBytes(r.data, r.size);
    }
    return std::nullopt;
}

std::optional<ResourceBytes> ResourceModule::FindName(std::string_view utf8Name) const {
    if (!Valid(table_)) return std::nullopt;
    for (std::uint64_t i = 0; i < table_->count; ++i) {
        const ResourceRecord& r = table_->records[i];
        if (r.name && utf8Name == r.name) return ResourceBytes(r.data, r.size);
    }
    return std::nullopt;
}

std::optional<ResourceBytes> ResourceModule::FindName(std::wstring_view name) const {
    return FindName(std::string_view(text::ToUtf8(name)));
}

}  // namespace platform
