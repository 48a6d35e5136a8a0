// SPDX-License-Identifier: MIT
#include "measurements/measurement_common.h"

#include <cmath>

#include "instrument/clsVisa.h"
#include "instrument/conventions.h"

namespace quillon::measurements {
namespace {

void yieldToUserInterface(const MeasurementContext& context) {
    const auto& yield = context.visa.hooks().yield;
    if (yield) {
        yield();
    }
}

bool containsMnemonic(const ReplyBuffer& reply, std::string_view mnemonic) {
    return std::string_view(reply.data()).find(mnemonic) != std::string_view::npos;
}

}  // namespace

bool sendChecked(const MeasurementContext& context, instrument::ViSession vi, bool errorOccurred,
                 const std::string& command) {
    return context.visa.sendWithStatusCheck(vi, errorOccurred, command);
}

bool sendChain(const MeasurementContext& context, instrument::ViSession vi, bool errorOccurred,
               const std::vector<std::string>& commands) {
    for (const std::string& command : commands) {
        errorOccurred = sendChecked(context, vi, errorOccurred, command);
    }
    return errorOccurred;
}

bool queryFailed(const MeasurementContext& context, instrument::ViSession vi,
                 const std::string& query, ReplyBuffer& reply) {
    return !context.visa.query(vi, query, reply).ok();
}

bool waitForCompletion(const MeasurementContext& context, instrument::ViSession vi,
                       bool errorOccurred, std::string_view mnemonic, std::size_t maxPolls) {
    ReplyBuffer reply{};
    std::size_t polls = 0;
    while (!containsMnemonic(reply, mnemonic)) {
        if (errorOccurred) {
            break;
        }
        // Each poll is bounded by the VISA time-out and Exit acts at every yield, so the bound
        // only guards against a test set that never reports the measurement done.
        if (polls == maxPolls) {
            return true;
        }
        ++polls;
        yieldToUserInterface(context);
        if (queryFailed(context, vi, "INIT:DONE?", reply)) {
            errorOccurred = true;
        }
    }
    return errorOccurred;
}

bool fetchNumber(const MeasurementContext& context, instrument::ViSession vi, bool errorOccurred,
                 const std::string& query, double& entry) {
    if (errorOccurred) {
        return true;
    }
    ReplyBuffer reply{};
    if (queryFailed(context, vi, query, reply)) {
        return true;
    }
    entry = instrument::readLeadingNumber(reply.data());
    return false;
}

bool fetchIntegrity(const MeasurementContext& context, instrument::ViSession vi, bool errorOccurred,
                    const std::string& query, std::int16_t& entry) {
    double value = 0.0;
    if (fetchNumber(context, vi, errorOccurred, query, value)) {
        return true;
    }
    entry = instrument::roundToInt16(value);
    return false;
}

std::string countCommand(std::string_view prefix, std::int16_t count) {
    return std::string(prefix) + instrument::countText(count);
}

double worstSigned(const std::vector<double>& table, std::int16_t numConfigs) {
    return worstOf(table, numConfigs, [](double entry, double current) {
        return std::abs(entry) > std::abs(current);
    });
}

double largestEntry(const std::vector<double>& table, std::int16_t numConfigs) {
    return worstOf(table, numConfigs, [](double entry, double current) { return entry > current; });
}

double smallestEntry(const std::vector<double>& table, std::int16_t numConfigs) {
    return worstOf(table, numConfigs, [](double entry, double current) { return entry < current; });
}

std::int16_t worstIntegrityOf(const std::vector<std::int16_t>& table, std::int16_t numConfigs) {
    return worstOf(table, numConfigs, [](std::int16_t entry, std::int16_t current) {
        return entry != 0 && entry < current;
    });
}

std::vector<ConfigEntry> configEntries(const std::vector<double>& values,
                                       const std::vector<std::int16_t>& integrity,
                                       std::int16_t numConfigs) {
    std::vector<ConfigEntry> entries;
    for (std::int16_t config = 0; config < numConfigs; ++config) {
        const auto i = static_cast<std::size_t>(config);
        if (i >= values.size() || i >= integrity.size()) {
            break;
        }
        entries.push_back({config, values[i], integrity[i]});
    }
    return entries;
}

std::string integrityFailText(std::int16_t integrity) {
    return "Fail (" + instrument::countText(integrity) + ")";
}

std::string limitsText(double value, Limits limits) {
    return limits.low <= value && value <= limits.high ? "Pass" : "Fail";
}

std::string passFailText(std::int16_t worstIntegrity, double value, Limits limits) {
    if (worstIntegrity != 0) {
        return integrityFailText(worstIntegrity);
    }
    return limitsText(value, limits);
}

}  // namespace quillon::measurements
