// SPDX-License-Identifier: MIT
#include "instrument/visa_library.h"

#include <filesystem>
#include <system_error>
#include <utility>
#include <vector>

#ifdef _WIN32
#include <windows.h>
#else
#include <dlfcn.h>
#endif

namespace quillon::instrument {
namespace {

#ifdef _WIN32
void* openLibrary(const std::string& path, bool systemOnly, VisaLoadError& error) {
    const DWORD flags = systemOnly ? LOAD_LIBRARY_SEARCH_SYSTEM32 : 0;
    HMODULE module = LoadLibraryExA(path.c_str(), nullptr, flags);
    if (module == nullptr) {
        const DWORD code = GetLastError();
        error.kind = (code == ERROR_MOD_NOT_FOUND || code == ERROR_FILE_NOT_FOUND ||
                      code == ERROR_PATH_NOT_FOUND)
                         ? VisaLoadError::Kind::NotFound
                         : VisaLoadError::Kind::Unusable;
        error.description = std::system_category().message(static_cast<int>(code));
    }
    return reinterpret_cast<void*>(module);
}

void* symbol(void* handle, const char* name) {
    return reinterpret_cast<void*>(GetProcAddress(static_cast<HMODULE>(handle), name));
}

std::vector<std::string> defaultNames() {
#ifdef _WIN64
    return {"visa64.dll"};
#else
    return {"visa32.dll"};
#endif
}
#else
void* openLibrary(const std::string& path, bool /*systemOnly*/, VisaLoadError& error) {
    void* handle = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (handle == nullptr) {
        const char* text = dlerror();
        error.description = text != nullptr ? text : "unknown loader error";
        // dlopen does not say why in a code; a file that is present but refused is "unusable".
        const bool hasDirectory = path.find('/') != std::string::npos;
        std::error_code ec;
        const bool present = hasDirectory && std::filesystem::exists(path, ec);
        const bool notFoundText = error.description.find("No such file") != std::string::npos;
        error.kind = (present || (!hasDirectory && !notFoundText)) ? VisaLoadError::Kind::Unusable
                                                                   : VisaLoadError::Kind::NotFound;
    }
    return handle;
}

void* symbol(void* handle, const char* name) {
    return dlsym(handle, name);
}

std::vector<std::string> defaultNames() {
    return {"libvisa.so", "libvisa.so.7", "libvisa.so.5", "libvisa.so.1", "libvisa.so.0"};
}
#endif

template <typename Fn>
bool bind(void* handle, const char* name, Fn& slot, VisaLoadError& error) {
    slot = reinterpret_cast<Fn>(symbol(handle, name));
    if (slot == nullptr) {
        error.kind = VisaLoadError::Kind::Unusable;
        error.description = std::string("the library has no entry point ") + name;
        return false;
    }
    return true;
}

}  // namespace

void VisaLibrary::HandleCloser::operator()(void* handle) const {
#ifdef _WIN32
    FreeLibrary(static_cast<HMODULE>(handle));
#else
    dlclose(handle);
#endif
}

VisaLibrary::VisaLibrary(Handle handle, const Entries& entries, std::string path)
    : handle_(std::move(handle)), entries_(entries), path_(std::move(path)) {}

VisaLibrary::~VisaLibrary() = default;

std::variant<std::unique_ptr<VisaLibrary>, VisaLoadError> VisaLibrary::load(
    const std::string& path) {
    VisaLoadError error;
    void* raw = nullptr;
    std::string loadedFrom = path;
    if (!path.empty()) {
        raw = openLibrary(path, false, error);
    } else {
        // Try every known name; report "not found" only when none of them exists.
        VisaLoadError firstUnusable;
        bool sawUnusable = false;
        for (const std::string& name : defaultNames()) {
            VisaLoadError attempt;
            raw = openLibrary(name, true, attempt);
            if (raw != nullptr) {
                loadedFrom = name;
                break;
            }
            if (attempt.kind == VisaLoadError::Kind::Unusable && !sawUnusable) {
                firstUnusable = attempt;
                sawUnusable = true;
            } else if (!sawUnusable) {
                error = attempt;
            }
        }
        if (raw == nullptr && sawUnusable) {
            error = firstUnusable;
        }
    }
    if (raw == nullptr) {
        return error;
    }

    Handle handle(raw);
    Entries entries;
    if (!bind(raw, "viOpenDefaultRM", entries.openDefaultRM, error) ||
        !bind(raw, "viStatusDesc", entries.statusDesc, error) ||
        !bind(raw, "viFindRsrc", entries.findRsrc, error) ||
        !bind(raw, "viFindNext", entries.findNext, error) ||
        !bind(raw, "viOpen", entries.open, error) ||
        !bind(raw, "viGetAttribute", entries.getAttribute, error) ||
        !bind(raw, "viClose", entries.close, error) ||
        !bind(raw, "viVPrintf", entries.vPrintf, error) ||
        !bind(raw, "viRead", entries.read, error)) {
        return error;
    }
    return std::unique_ptr<VisaLibrary>(new VisaLibrary(std::move(handle), entries, loadedFrom));
}

ViStatus VisaLibrary::openDefaultRM(ViSession* rm) {
    return entries_.openDefaultRM(rm);
}
ViStatus VisaLibrary::statusDesc(ViSession vi, ViStatus status, char* desc) {
    return entries_.statusDesc(vi, status, desc);
}
ViStatus VisaLibrary::findRsrc(ViSession rm, const char* expr, ViFindList* list, ViUInt32* count,
                               char* desc) {
    return entries_.findRsrc(rm, expr, list, count, desc);
}
ViStatus VisaLibrary::findNext(ViFindList list, char* desc) {
    return entries_.findNext(list, desc);
}
ViStatus VisaLibrary::open(ViSession rm, const char* name, ViUInt32 mode, ViUInt32 timeout,
                           ViSession* vi) {
    return entries_.open(rm, name, mode, timeout, vi);
}
ViStatus VisaLibrary::getAttribute(ViSession vi, ViAttr attr, void* value) {
    return entries_.getAttribute(vi, attr, value);
}
ViStatus VisaLibrary::close(ViSession vi) {
    return entries_.close(vi);
}
ViStatus VisaLibrary::vPrintf(ViSession vi, const char* writeFmt, va_list args) {
    return entries_.vPrintf(vi, writeFmt, args);
}
ViStatus VisaLibrary::read(ViSession vi, unsigned char* buffer, ViUInt32 count,
                           ViUInt32* retCount) {
    return entries_.read(vi, buffer, count, retCount);
}

}  // namespace quillon::instrument
