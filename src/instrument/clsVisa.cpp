// SPDX-License-Identifier: MIT
#include "instrument/clsVisa.h"

#include <utility>

#include "instrument/clsMom.h"
#include "instrument/conventions.h"

namespace quillon::instrument {
namespace {

// The error-queue reply is "number,text"; only the number counts.
bool errorQueued(std::string_view reply) {
    const std::size_t comma = reply.find(',');
    return readLeadingNumber(reply.substr(0, comma)) != 0.0;
}

std::string withLineFeed(const std::string& text) {
    return text + "\n";
}

}  // namespace

clsVisa::clsVisa(VisaApi* api, std::optional<VisaLoadError> loadError, BusHooks hooks,
                 ProgramValues& program)
    : api_(api), loadError_(std::move(loadError)), hooks_(std::move(hooks)), program_(program) {}

clsVisa::~clsVisa() = default;

void clsVisa::yield() const {
    if (hooks_.yield) {
        hooks_.yield();
    }
}

void clsVisa::notify(const std::string& title, const std::string& text) const {
    if (hooks_.notify) {
        hooks_.notify(title, text);
    }
}

void clsVisa::reportLoadFailure() {
    const VisaLoadError error =
        loadError_.value_or(VisaLoadError{VisaLoadError::Kind::NotFound, {}});
    if (error.kind == VisaLoadError::Kind::NotFound) {
        notify("Notification",
               "No software for GPIB seems to be installed. "
               "Specifically, the correct Visa32.dll is not installed.");
    } else {
        notify("Notification", "The following GPIB error occurred:  " + error.description);
    }
    program_.visaInitFailed = true;
}

void clsVisa::seek4750s() {
    yield();
    if (api_ == nullptr) {
        reportLoadFailure();
        return;
    }
    const ViStatus rmStatus = api_->openDefaultRM(&rmSession_);
    yield();
    if (rmStatus < 0) {
        std::array<char, kDescriptorBufferSize> desc{};
        api_->statusDesc(rmSession_, rmStatus, desc.data());
        desc.back() = '\0';
        notify(kProgramTitle,
               std::string("The following VISA initialization error has occurred: ") + desc.data());
        program_.visaInitFailed = true;
        return;
    }

    yield();
    std::array<char, kDescriptorBufferSize> descriptor{};
    ViFindList list = 0;
    ViUInt32 matches = 0;
    ViStatus status =
        api_->findRsrc(rmSession_, kSearchExpression, &list, &matches, descriptor.data());
    yield();

    // Places 0..count-1 hold test sets, place count the spare record being tried. When the
    // table is full the search goes on with the last place as its spare, so it never fails.
    std::int16_t count = 0;
    moms_[0] = std::make_shared<clsMom>(*this);
    while (status != kViErrorRsrcNotFound && matches != 0) {
        yield();
        descriptor.back() = '\0';
        if (moms_[static_cast<std::size_t>(count)]->makeMom(rmSession_, descriptor.data()) &&
            static_cast<std::size_t>(count) + 1 < kMaxRecords) {
            ++count;
            moms_[static_cast<std::size_t>(count)] = std::make_shared<clsMom>(*this);
        }
        status = api_->findNext(list, descriptor.data());
        // Any other failure of the list would repeat forever on a broken library; stop there too.
        if (status < 0 && status != kViErrorRsrcNotFound) {
            break;
        }
    }
    num4750s_ = count;
}

BusStatus clsVisa::send(ViSession vi, const std::string& text) {
    // Without a loaded library there is no bus to talk to: a failure, never a crash.
    if (api_ == nullptr) {
        return statusOf(text, kViErrorSystemError);
    }
    return statusOf(text, api_->printf(vi, withLineFeed(text).c_str()));
}

BusStatus clsVisa::sendChecked(ViSession vi, const std::string& command) {
    BusStatus written = send(vi, command);
    if (!written.ok()) {
        return written;
    }
    static const std::string kErrorQuery = "SYSTEM:ERR?";
    std::array<char, kReplyBufferSize> reply{};
    BusStatus checked = query(vi, kErrorQuery, reply);
    if (checked.ok() && errorQueued(reply.data())) {
        checked.kind = BusStatus::Kind::InstrumentError;
        checked.errorQueue = std::string(beforeLineFeed(reply.data()));
    }
    // The failure belongs to the command, even when the error query is what failed.
    if (!checked.ok()) {
        checked.command = command;
    }
    return checked;
}

BusStatus clsVisa::query(ViSession vi, const std::string& text, std::span<char> reply) {
    reply.front() = '\0';
    if (api_ == nullptr) {
        return statusOf(text, kViErrorSystemError);
    }
    return statusOf(text, api_->query(vi, withLineFeed(text).c_str(), reply));
}

bool clsVisa::queryInstrument(ViSession vi, const std::string& text, std::string& result) {
    result.clear();
    if (api_ == nullptr) {
        return false;
    }
    std::array<char, kReplyBufferSize> reply{};
    const BusStatus status = query(vi, text, reply);
    if (status.kind == BusStatus::Kind::Timeout) {
        return true;
    }
    // A failed exchange leaves the reply empty; a warning still brings its reply.
    result = std::string(beforeLineFeed(reply.data()));
    return false;
}

bool clsVisa::sendWithStatusCheck(ViSession vi, bool errorOccurred, const std::string& command) {
    return errorOccurred || !sendChecked(vi, command).ok();
}

bool clsVisa::sendInstrument(ViSession vi, const std::string& text) {
    send(vi, text);
    return false;
}

std::shared_ptr<clsMom> clsVisa::get4750(std::int16_t index) const {
    if (index < 0 || static_cast<std::size_t>(index) >= kMaxRecords) {
        return nullptr;
    }
    return moms_[static_cast<std::size_t>(index)];
}

}  // namespace quillon::instrument
