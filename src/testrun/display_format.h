// SPDX-License-Identifier: MIT
#pragma once

// How the results grid shows numbers and the run's start: in the PC's regional formats. The
// formats of commands sent to the test set are elsewhere (instrument/conventions.h) and never
// follow these.

#include <QDateTime>
#include <QLocale>
#include <string>

namespace quillon::testrun {

// "##0.000": optional minus sign, at least one integer digit, no digit grouping, exactly three
// decimals, rounded; the decimal separator is the locale's.
std::string displayNumberText(double value, const QLocale& locale);

// The locale's short time format, one blank, its long date format. Line breaks are removed, so
// the text always fits one grid cell.
std::string dateTimeText(const QDateTime& when, const QLocale& locale);

}  // namespace quillon::testrun
