// SPDX-License-Identifier: MIT
#include "app/records_output.h"

#include <QJsonDocument>
#include <iostream>
#include <memory>
#include <vector>

#include "app/program_info.h"
#include "records/database_sink.h"
#include "records/history.h"
#include "records/pdf_report.h"
#include "records/run_record_json.h"
#include "testrun/operator_interface.h"

namespace quillon::app {

bool deliverRequestedRecords(const RecordRequests& requests, const testrun::RunRecord& record,
                             const std::function<void(const std::string&)>& notice) {
    std::vector<std::unique_ptr<records::RecordSink>> sinks;
    if (!requests.jsonFile.empty()) {
        sinks.push_back(std::make_unique<records::JsonFileSink>(requests.jsonFile));
    }
    if (!requests.resultsDatabase.empty()) {
        const auto url = records::parseDatabaseUrl(requests.resultsDatabase);
        if (const auto* parsed = std::get_if<records::DatabaseUrl>(&url)) {
            sinks.push_back(std::make_unique<records::DatabaseSink>(
                *parsed,
                records::Outbox(requests.outboxFolder.empty() ? records::Outbox::defaultFolder()
                                                              : requests.outboxFolder)));
        }
    }
    if (!requests.reportFile.empty()) {
        sinks.push_back(std::make_unique<records::PdfReportSink>(requests.reportFile));
    }
    if (sinks.empty()) return true;

    const records::RunDocument document{records::newRunId(), {"quillon", versionNumber()}, record};
    bool allKept = true;
    for (const auto& sink : sinks) {
        const records::Delivery delivery = sink->deliver(document);
        if (delivery.status == records::Delivery::Status::Failed) allKept = false;
        if (!delivery.message.empty() && notice) notice(delivery.message);
    }
    return allKept;
}

int showHistory(const std::string& serialNumber, const std::string& databaseUrl,
                const std::string& jsonFile) {
    const auto url = records::parseDatabaseUrl(databaseUrl);
    std::string error;
    std::unique_ptr<records::ResultsDatabase> database;
    std::optional<std::vector<records::HistoryRun>> runs;
    if (const auto* parsed = std::get_if<records::DatabaseUrl>(&url)) {
        database = records::ResultsDatabase::open(*parsed, error);
        if (database) runs = database->history(serialNumber, error);
    } else {
        error = std::get<std::string>(url);
    }
    if (!runs) {
        std::cerr << "quillon: history not read from the results database: " << error << "\n";
        return testrun::kExitStartupRefused;
    }
    const records::HistoryReport report = records::buildHistory(serialNumber, std::move(*runs));
    if (jsonFile.empty()) {
        std::cout << records::historyTable(report) << std::flush;
        return testrun::kExitPass;
    }
    if (!records::writeWholeFile(
            jsonFile, QJsonDocument(records::historyJson(report)).toJson(QJsonDocument::Indented),
            error)) {
        std::cerr << "quillon: history not saved to " << jsonFile << ": " << error << "\n";
        return testrun::kExitResultsNotSaved;
    }
    return testrun::kExitPass;
}

}  // namespace quillon::app
