// SPDX-License-Identifier: MIT
#include "records/database_sink.h"

#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <QStandardPaths>

#include "records/run_record_json.h"

namespace quillon::records {

std::string Outbox::defaultFolder() {
    const QString data = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
    return QDir(data).filePath("quillon/outbox").toStdString();
}

// "<start>_<run id>.json": the names sort by the run's start.
bool Outbox::put(const RunDocument& document, std::string& error) const {
    const QDir dir(QString::fromStdString(folder_));
    if (!dir.mkpath(".")) {
        error = "cannot create " + folder_;
        return false;
    }
    QString stamp = QString::fromStdString(utcText(document.record.start));
    stamp.replace(':', '-');
    const QString name = stamp + "_" + QString::fromStdString(document.runId) + ".json";
    return writeWholeFile(dir.filePath(name).toStdString(),
                          QJsonDocument(toJson(document)).toJson(QJsonDocument::Compact), error);
}

std::vector<std::string> Outbox::waitingFiles() const {
    const QDir dir(QString::fromStdString(folder_));
    std::vector<std::string> files;
    for (const QString& name : dir.entryList({"*.json"}, QDir::Files, QDir::Name)) {
        files.push_back(dir.filePath(name).toStdString());
    }
    return files;
}

int DatabaseSink::sendWaiting(ResultsDatabase& database, std::string& problem) {
    int sent = 0;
    for (const std::string& path : outbox_.waitingFiles()) {
        QFile file(QString::fromStdString(path));
        std::string error;
        std::optional<RunDocument> document;
        if (file.open(QIODevice::ReadOnly)) {
            document = fromJson(QJsonDocument::fromJson(file.readAll()).object(), error);
        } else {
            error = file.errorString().toStdString();
        }
        // A file that cannot be read or stored stays for a later try, and is named.
        if (!document || !database.store(*document, error)) {
            if (problem.empty()) problem = path + ": " + error;
            continue;
        }
        file.close();
        QFile::remove(QString::fromStdString(path));
        ++sent;
    }
    return sent;
}

Delivery DatabaseSink::defer(const RunDocument& document, const std::string& reason) {
    std::string error;
    if (!outbox_.put(document, error)) {
        return {Delivery::Status::Failed, "results database not reached (" + reason +
                                              ") and the outbox " + outbox_.folder() +
                                              " cannot keep the run: " + error};
    }
    return {Delivery::Status::Deferred, "results database not reached (" + reason +
                                            "); the run waits in " + outbox_.folder() + " (" +
                                            std::to_string(outbox_.waitingFiles().size()) +
                                            " waiting) for the next run that reaches it"};
}

Delivery DatabaseSink::deliver(const RunDocument& document) {
    std::string error;
    const std::unique_ptr<ResultsDatabase> database = ResultsDatabase::open(url_, error);
    if (!database) return defer(document, error);
    std::string problem;
    const int sent = sendWaiting(*database, problem);
    if (!database->store(document, error)) return defer(document, error);
    Delivery delivery;
    if (sent > 0) {
        delivery.message = "results database: run stored, with " + std::to_string(sent) +
                           " earlier " + (sent == 1 ? "run" : "runs") + " from the outbox";
    }
    if (!problem.empty()) {
        delivery.message += (delivery.message.empty() ? "results database: run stored; " : "; ") +
                            std::string("still waiting in the outbox: ") + problem;
    }
    return delivery;
}

}  // namespace quillon::records
