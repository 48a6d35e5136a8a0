// SPDX-License-Identifier: MIT
#include "physics.h"

#include <algorithm>
#include <cmath>

#include "bands.h"

namespace quillon::sim {
namespace {

std::size_t currentBand(const Settings& settings) {
    return bandIndex(settings.choice(setting::kBand)).value_or(0);
}

bool sourceOn(const Settings& settings, int source) {
    return settings.choice(setting::kSourceRf, source) == "ON";
}

// Modulation of a burst: the manual format, or the one the coding scheme implies.
bool burstIsEpsk(const Settings& settings, int burst) {
    if (settings.number(setting::kModulationAuto) != 0.0) {
        const std::string scheme = settings.choice(setting::kCodingScheme);
        return scheme.size() > 3 && scheme[3] >= '5';
    }
    return settings.choice(setting::kModulation, burst) == "EPSK";
}

// The level of the measured burst of source 1: the cell level less the reduction of the
// power reduction level that the burst uses.
double source1BurstLevel(const Settings& settings, int burst) {
    const int level = settings.choice(setting::kBurstLevel, burst) == "PRL2" ? 2 : 1;
    return settings.number(setting::kCellAmplitude) - settings.number(setting::kReduction, level);
}

// Where the PDTCH bursts go, and where automatic tuning puts the analyzer.
double pdtchDownlinkHz(const Settings& settings) {
    return downlinkHz(currentBand(settings),
                      static_cast<int>(settings.number(setting::kPdtchArfcn)));
}

double analyzerFrequency(const Settings& settings) {
    if (settings.number(setting::kAnalyzerFrequencyAuto) == 0.0) {
        return settings.number(setting::kAnalyzerFrequency);
    }
    return pdtchDownlinkHz(settings);
}

Carrier carrierOf(const Settings& settings, int source) {
    const bool cw = settings.choice(setting::kMode) == "CW";
    const int burst = static_cast<int>(settings.number(setting::kMeasuredBurst));
    Carrier carrier;
    carrier.source = source;
    carrier.burst = !cw;
    carrier.epsk = !cw && burstIsEpsk(settings, burst);
    if (source == 2) {
        carrier.levelDbm = settings.number(setting::kSourceLevel, 2);
        carrier.frequencyHz = settings.number(setting::kSourceFrequency, 2);
    } else if (cw) {
        carrier.levelDbm = settings.number(setting::kCwAmplitude);
        carrier.frequencyHz = settings.number(setting::kGeneratorFrequency);
    } else {
        carrier.levelDbm = source1BurstLevel(settings, burst);
        carrier.frequencyHz = pdtchDownlinkHz(settings);
    }
    return carrier;
}

// A uniform number in [-1, 1) straight from the engine, the same on every platform.
double unitSpread(std::mt19937& random) {
    return static_cast<double>(random()) / 2147483648.0 - 1.0;
}

class Draw {
  public:
    Draw(const TestSetProfile& profile, std::size_t band, std::mt19937& random)
        : profile_(profile), band_(band), random_(random) {}

    double operator()(int source, Quantity quantity) {
        const QuantityModel& drawn = model(source, quantity);
        return drawn.nominal[band_] + drawn.spread * unitSpread(random_);
    }
    // A profile's integrity beyond the 16-bit field is answered as the field's nearest end
    // (and NaN as 0) rather than converted out of range.
    int integrityOf(int source, Quantity quantity) const {
        const double nominal = model(source, quantity).nominal[band_];
        if (std::isnan(nominal)) return 0;
        return static_cast<int>(std::lround(std::clamp(nominal, -32768.0, 32767.0)));
    }

  private:
    const QuantityModel& model(int source, Quantity quantity) const {
        return profile_
            .sources[static_cast<std::size_t>(source - 1)][static_cast<std::size_t>(quantity)];
    }

    const TestSetProfile& profile_;
    std::size_t band_;
    std::mt19937& random_;
};

double powerSum(const std::vector<double>& levelsDbm) {
    double milliwatts = 0.0;
    for (double level : levelsDbm) milliwatts += std::pow(10.0, level / 10.0);
    return 10.0 * std::log10(milliwatts);
}

// Over or under the range the analyzer was told to expect, when it does not range itself.
int rangeIntegrity(const Settings& settings, double powerDbm, double lowDbm, double highDbm,
                   double window) {
    if (settings.number(setting::kAnalyzerPowerAuto) != 0.0) return integrity::kNormal;
    if (powerDbm > highDbm + window) return integrity::kOverRange;
    if (powerDbm < lowDbm - window) return integrity::kUnderRange;
    return integrity::kNormal;
}

const Carrier& strongest(const std::vector<Carrier>& carriers) {
    return *std::max_element(
        carriers.begin(), carriers.end(),
        [](const Carrier& a, const Carrier& b) { return a.levelDbm < b.levelDbm; });
}

Quantity integrityQuantity(MeasKind kind) {
    switch (kind) {
        case MeasKind::Pfer:
            return Quantity::PferIntegrity;
        case MeasKind::Pvt:
            return Quantity::PvtIntegrity;
        case MeasKind::Emac:
            return Quantity::EmacIntegrity;
        case MeasKind::Etxp:
            return Quantity::EtxpIntegrity;
        case MeasKind::Txp:
            return Quantity::TxpIntegrity;
    }
    return Quantity::TxpIntegrity;
}

MeasResults measureCw(const Settings& settings, const TestSetProfile& profile,
                      const std::vector<Carrier>& carriers, Draw& draw) {
    std::vector<double> levels;
    for (const Carrier& carrier : carriers) {
        levels.push_back(carrier.levelDbm + kLoopbackGainDb +
                         draw(carrier.source, Quantity::CwPowerError));
    }
    const double power = levels.empty() ? kNoiseFloorDbm : powerSum(levels);
    const int source = carriers.empty() ? 1 : strongest(carriers).source;
    int integrityValue = draw.integrityOf(source, Quantity::TxpIntegrity);
    if (integrityValue == integrity::kNormal) {
        const double expected = settings.number(setting::kExpectedCwPower);
        integrityValue =
            rangeIntegrity(settings, power, expected, expected, profile.expectedPowerWindowDb);
    }
    return {{"POWer", power}, {"INTegrity", integrityValue}};
}

MeasResults noBurst(MeasKind kind) {
    MeasResults results;
    for (const FetchInfo& fetch : kFetches) {
        if (fetch.kind == kind) results[fetch.item] = kNotANumber;
    }
    results["INTegrity"] = integrity::kNoBurstFound;
    return results;
}

MeasResults measureBurst(MeasKind kind, const Settings& settings, const TestSetProfile& profile,
                         std::vector<Carrier> carriers, Draw& draw) {
    std::erase_if(carriers, [](const Carrier& carrier) { return !carrier.burst; });
    if (carriers.empty()) return noBurst(kind);
    std::vector<double> levels;
    for (const Carrier& carrier : carriers) {
        const Quantity error = carrier.epsk ? Quantity::EpskPowerError : Quantity::GmskPowerError;
        levels.push_back(carrier.levelDbm + kLoopbackGainDb + draw(carrier.source, error));
    }
    const double power = powerSum(levels);
    const int source = strongest(carriers).source;
    int integrityValue = draw.integrityOf(source, integrityQuantity(kind));
    if (integrityValue == integrity::kNormal) {
        const double first = settings.number(setting::kExpectedBurstPower, 1);
        const double second = settings.number(setting::kExpectedBurstPower, 2);
        integrityValue = rangeIntegrity(settings, power, std::min(first, second),
                                        std::max(first, second), profile.expectedPowerWindowDb);
    }
    MeasResults results{{"INTegrity", integrityValue}};
    switch (kind) {
        case MeasKind::Pfer:
            results["FERRor:WORSt"] = draw(source, Quantity::FreqError);
            results["RMS:MAXimum"] = std::fabs(draw(source, Quantity::RmsPhaseError));
            results["PEAK:MAXimum"] = draw(source, Quantity::PeakPhaseError);
            break;
        case MeasKind::Pvt:
            results["MASK:UPPer"] = draw(source, Quantity::PvtUpperMask);
            results["MASK:LOWer"] = draw(source, Quantity::PvtLowerMask);
            break;
        case MeasKind::Emac:
            results["FERRor:WORSt"] = draw(source, Quantity::EmacFreqError);
            results["EVM:RMS"] = std::fabs(draw(source, Quantity::EmacEvm));
            results["OOFFset"] = draw(source, Quantity::EmacOriginOffset);
            break;
        case MeasKind::Etxp:
            results["POWer"] = power;
            break;
        case MeasKind::Txp:
            break;
    }
    return results;
}

}  // namespace

std::vector<Carrier> carriersAtAnalyzer(const Settings& settings) {
    std::vector<Carrier> carriers;
    const bool loopback = settings.choice(setting::kDestination) == "S1S2LOOPBACK" &&
                          settings.number(setting::kLoopbackLatch) == 1.0;
    if (!loopback) return carriers;
    const double tuned = analyzerFrequency(settings);
    for (int source = 1; source <= 2; ++source) {
        if (!sourceOn(settings, source) || settings.number(setting::kPathLatch, source) != 1.0) {
            continue;
        }
        const Carrier carrier = carrierOf(settings, source);
        if (std::fabs(carrier.frequencyHz - tuned) <= kTuningToleranceHz) {
            carriers.push_back(carrier);
        }
    }
    return carriers;
}

int measuredSource(const Settings& settings) {
    return sourceOn(settings, 2) && !sourceOn(settings, 1) ? 2 : 1;
}

int attenuation(const Settings& settings, const TestSetProfile& profile, int source) {
    double level = 0.0;
    if (source == 2) {
        level = settings.number(setting::kSourceLevel, 2);
    } else if (settings.choice(setting::kMode) == "CW") {
        level = settings.number(setting::kCwAmplitude);
    } else {
        level = settings.number(setting::kCellAmplitude);
    }
    const std::size_t band = currentBand(settings);
    if (level <= profile.attenuation20Level[band]) return 20;
    if (level <= profile.attenuation10Level[band]) return 10;
    return 0;
}

MeasResults measure(MeasKind kind, const Settings& settings, const TestSetProfile& profile,
                    std::mt19937& random) {
    Draw draw(profile, currentBand(settings), random);
    const std::vector<Carrier> carriers = carriersAtAnalyzer(settings);
    if (kind == MeasKind::Txp) return measureCw(settings, profile, carriers, draw);
    return measureBurst(kind, settings, profile, carriers, draw);
}

}  // namespace quillon::sim
