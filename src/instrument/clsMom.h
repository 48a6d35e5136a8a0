// SPDX-License-Identifier: MIT
#pragma once

#include <cstdint>
#include <string>

#include "instrument/visa_types.h"

namespace quillon::instrument {

class clsVisa;

// One 4750 test set found on the bus: its open session, where it sits, its serial number and
// the test application it runs.
class clsMom {
  public:
    explicit clsMom(clsVisa& visa) : visa_(visa) {}

    const std::string& MomInterface() const { return interface_; }
    std::int16_t MomAddr() const { return address_; }
    const std::string& MomFirmwareVersion() const { return firmwareVersion_; }
    const std::string& MomSerialNumber() const { return serialNumber_; }
    ViSession MomVI() const { return vi_; }
    const std::string& MomTA() const { return testApplication_; }
    // The rest of the identity, kept from the replies makeMom reads anyway, for records.
    const std::string& MomManufacturer() const { return manufacturer_; }
    const std::string& MomModel() const { return model_; }
    const std::string& MomInstrumentFirmware() const { return instrumentFirmware_; }
    const std::string& MomResource() const { return resource_; }

    // Opens the resource and fills the record when it is a 4750; false otherwise.
    bool makeMom(ViSession defrm, const std::string& momText);

  private:
    void yield() const;

    clsVisa& visa_;
    std::string interface_;
    std::int16_t address_ = 0;
    std::string firmwareVersion_;
    std::string serialNumber_;
    ViSession vi_ = 0;
    std::string testApplication_;
    std::string manufacturer_;
    std::string model_;
    std::string instrumentFirmware_;
    std::string resource_;
};

}  // namespace quillon::instrument
