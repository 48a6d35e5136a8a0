// SPDX-License-Identifier: MIT
#include "records_support.h"

#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

namespace quillon::testing {

namespace {

// Prints one line per file: "ok" or the first complaint.
constexpr const char* kValidator = R"(import json, sys, jsonschema
schema = json.load(open(sys.argv[1]))
jsonschema.Draft7Validator.check_schema(schema)
validator = jsonschema.Draft7Validator(schema)
for path in sys.argv[2:]:
    errors = list(validator.iter_errors(json.load(open(path))))
    print("ok" if not errors else "invalid: " + errors[0].message.replace("\n", " "))
)";

}  // namespace

std::vector<Validation> validateAgainstSchema(const std::vector<QByteArray>& jsons,
                                              const std::string& schemaFile) {
    QTemporaryDir dir;
    QStringList args{"-c", kValidator, QString::fromStdString(schemaFile)};
    for (std::size_t i = 0; i < jsons.size(); ++i) {
        QFile file(dir.filePath(QString::number(i) + ".json"));
        if (!file.open(QIODevice::WriteOnly)) return {};
        file.write(jsons[i]);
        args << file.fileName();
    }
    QProcess python;
    python.start("/usr/bin/python3", args);
    std::vector<Validation> results(jsons.size(), Validation{false, "python3 did not finish"});
    if (!python.waitForFinished(30000)) return results;
    const QList<QByteArray> lines = python.readAllStandardOutput().split('\n');
    const std::string err = python.readAllStandardError().toStdString();
    for (std::size_t i = 0; i < results.size(); ++i) {
        const QByteArray line = static_cast<qsizetype>(i) < lines.size()
                                    ? lines[static_cast<qsizetype>(i)]
                                    : QByteArray();
        results[i] = {line == "ok", line.isEmpty() ? err : line.toStdString()};
    }
    return results;
}

}  // namespace quillon::testing
