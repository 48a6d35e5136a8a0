// SPDX-License-Identifier: MIT
#pragma once

#include <QByteArray>
#include <string>

#include "records/record_sink.h"

namespace quillon::records {

// The run as a PDF a customer can be handed: title block, results table, and per band a
// margin chart. Needs a QGuiApplication for fonts; PdfReportSink makes an offscreen one when
// the program has no application object (the console front-end).
QByteArray renderPdfReport(const RunDocument& document);

// --report FILE.pdf, written complete or not at all.
class PdfReportSink : public RecordSink {
  public:
    explicit PdfReportSink(std::string path) : path_(std::move(path)) {}
    Delivery deliver(const RunDocument& document) override;

  private:
    std::string path_;
};

}  // namespace quillon::records
