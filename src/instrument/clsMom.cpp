// SPDX-License-Identifier: MIT
#include "instrument/clsMom.h"

#include <string_view>
#include <vector>

#include "instrument/clsVisa.h"
#include "instrument/conventions.h"

namespace quillon::instrument {
namespace {

std::vector<std::string_view> splitAtCommas(std::string_view text) {
    std::vector<std::string_view> fields;
    std::size_t start = 0;
    for (;;) {
        const std::size_t comma = text.find(',', start);
        fields.push_back(text.substr(start, comma - start));
        if (comma == std::string_view::npos) {
            break;
        }
        start = comma + 1;
    }
    return fields;
}

// A test set always gives full replies; a short one leaves the field empty rather than fail.
std::string trimmed(std::string_view text, std::size_t front, std::size_t back) {
    if (text.size() < front + back) {
        return {};
    }
    return std::string(text.substr(front, text.size() - front - back));
}

const char* interfaceName(ViUInt16 kind) {
    switch (kind) {
        case kViIntfGpib:
            return "GPIB";
        case kViIntfVxi:
            return "VXI";
        case kViIntfGpibVxi:
            return "GPIB-VXI";
        case kViIntfAsrl:
            return "Serial";
        default:
            return nullptr;
    }
}

}  // namespace

void clsMom::yield() const {
    if (visa_.hooks().yield) {
        visa_.hooks().yield();
    }
}

bool clsMom::makeMom(ViSession defrm, const std::string& momText) {
    VisaApi& api = *visa_.api();
    const std::string name(beforeLineFeed(momText));
    api.open(defrm, name.c_str(), kViNull, 0, &vi_);

    ViUInt16 address = 0;
    ViUInt16 board = 0;
    ViUInt16 kind = 0;
    api.getAttribute(vi_, kViAttrGpibPrimaryAddr, &address);
    api.getAttribute(vi_, kViAttrIntfNum, &board);
    api.getAttribute(vi_, kViAttrIntfType, &kind);

    visa_.sendInstrument(vi_, "*cls");
    yield();
    std::string identity;
    const bool timedOut = visa_.queryInstrument(vi_, "*idn?", identity);
    if (timedOut || identity.empty()) {
        yield();
        api.close(vi_);
        return false;
    }
    yield();

    const std::vector<std::string_view> fields = splitAtCommas(identity);
    const bool isTestSet =
        fields.size() > 1 && fields[1].size() > 4 && fields[1].substr(0, 4) == "4750";
    if (!isTestSet) {
        return false;
    }

    address_ = static_cast<std::int16_t>(address);
    if (const char* kindName = interfaceName(kind)) {
        interface_ = kindName + std::to_string(board);
    }
    std::string reply;
    visa_.queryInstrument(vi_, "syst:appl:curr:rev?", reply);
    firmwareVersion_ = trimmed(reply, 1, 1);
    visa_.queryInstrument(vi_, "syst:curr:ta:mod?", reply);
    testApplication_ = trimmed(reply, 1, 2);
    visa_.queryInstrument(vi_, "*idn?", reply);
    const std::vector<std::string_view> again = splitAtCommas(reply);
    serialNumber_ = again.size() > 2 ? std::string(again[2]) : std::string();
    manufacturer_ = std::string(again.empty() ? std::string_view() : again[0]);
    model_ = again.size() > 1 ? std::string(again[1]) : std::string();
    instrumentFirmware_ = again.size() > 3 ? std::string(again[3]) : std::string();
    resource_ = name;
    visa_.sendInstrument(vi_, "*cls");
    return true;
}

}  // namespace quillon::instrument
