// SPDX-License-Identifier: MIT
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <variant>

#include "instrument/visa_api.h"

namespace quillon::instrument {

// Why a VISA library could not be used: the file is missing, or it is there but will not load
// or lacks an entry point. The two lead to different operator messages.
struct VisaLoadError {
    enum class Kind { NotFound, Unusable };
    Kind kind = Kind::NotFound;
    std::string description;  // the platform's words, for the Unusable message
};

// A VISA shared library loaded at run time. Owns the library handle; unloads it on destruction.
class VisaLibrary final : public VisaApi {
  public:
    // Loads the platform's VISA library: on Linux libvisa.so and its versioned names, on
    // Windows visa32.dll (visa64.dll in a 64-bit build) from the system directories only, so a
    // file planted beside the program is never picked up. A non-empty path loads that file.
    static std::variant<std::unique_ptr<VisaLibrary>, VisaLoadError> load(
        const std::string& path = {});

    ~VisaLibrary() override;
    VisaLibrary(const VisaLibrary&) = delete;
    VisaLibrary& operator=(const VisaLibrary&) = delete;

    ViStatus openDefaultRM(ViSession* rm) override;
    ViStatus statusDesc(ViSession vi, ViStatus status, char* desc) override;
    ViStatus findRsrc(ViSession rm, const char* expr, ViFindList* list, ViUInt32* count,
                      char* desc) override;
    ViStatus findNext(ViFindList list, char* desc) override;
    ViStatus open(ViSession rm, const char* name, ViUInt32 mode, ViUInt32 timeout,
                  ViSession* vi) override;
    ViStatus getAttribute(ViSession vi, ViAttr attr, void* value) override;
    ViStatus close(ViSession vi) override;
    ViStatus vPrintf(ViSession vi, const char* writeFmt, va_list args) override;
    ViStatus read(ViSession vi, unsigned char* buffer, ViUInt32 count, ViUInt32* retCount) override;

    const std::string& path() const { return path_; }

  private:
    struct Entries {
        quillon_viOpenDefaultRM_t openDefaultRM = nullptr;
        quillon_viStatusDesc_t statusDesc = nullptr;
        quillon_viFindRsrc_t findRsrc = nullptr;
        quillon_viFindNext_t findNext = nullptr;
        quillon_viOpen_t open = nullptr;
        quillon_viGetAttribute_t getAttribute = nullptr;
        quillon_viClose_t close = nullptr;
        quillon_viVPrintf_t vPrintf = nullptr;
        quillon_viRead_t read = nullptr;
    };
    struct HandleCloser {
        void operator()(void* handle) const;
    };
    using Handle = std::unique_ptr<void, HandleCloser>;

    VisaLibrary(Handle handle, const Entries& entries, std::string path);

    Handle handle_;
    Entries entries_;
    std::string path_;
};

}  // namespace quillon::instrument
