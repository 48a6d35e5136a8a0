// SPDX-License-Identifier: MIT
#include "ui/qt/results_model.h"

#include <QFontDatabase>
#include <QFontMetrics>
#include <QHeaderView>
#include <QScrollBar>
#include <QStyle>
#include <QTableView>

namespace quillon::ui {
namespace {

// Whether all characters of font are equally wide (what the grid's columns rely on).
bool isMonospaced(const QFont& font) {
    const QFontMetrics metrics(font);
    return metrics.horizontalAdvance(QLatin1Char('i')) ==
           metrics.horizontalAdvance(QLatin1Char('W'));
}

// The grid's font: "Courier New" 9 pt, or the system's fixed-width font where neither it nor a
// substitute of the same kind is installed.
QFont resultsFont() {
    QFont font(QStringLiteral("Courier New"), 9);
    font.setStyleHint(QFont::TypeWriter);
    if (!isMonospaced(font)) {
        font = QFontDatabase::systemFont(QFontDatabase::FixedFont);
        font.setPointSize(9);
    }
    return font;
}

}  // namespace

ResultsGridModel::ResultsGridModel(QObject* parent)
    : QAbstractTableModel(parent), font_(resultsFont()), boldFont_(font_) {
    boldFont_.setBold(true);
}

bool ResultsGridModel::sameColumns(const testrun::ResultsGrid& grid) const {
    if (grid.cols() != grid_.cols()) return false;
    for (int c = 0; c < grid.cols(); ++c) {
        const auto& mine = grid_.columns()[static_cast<std::size_t>(c)];
        const auto& theirs = grid.columns()[static_cast<std::size_t>(c)];
        if (mine.header != theirs.header || mine.align != theirs.align) return false;
    }
    return true;
}

void ResultsGridModel::setGrid(const testrun::ResultsGrid& grid) {
    if (!sameColumns(grid) || grid.rows() < grid_.rows()) {
        beginResetModel();
        grid_ = grid;
        endResetModel();
        return;
    }
    const int oldRows = rowCount();
    const int newRows = grid.rows() > 0 ? grid.rows() - 1 : 0;
    if (newRows > oldRows) beginInsertRows({}, oldRows, newRows - 1);
    grid_ = grid;
    if (newRows > oldRows) endInsertRows();
    if (oldRows > 0 && columnCount() > 0) {
        emit dataChanged(index(0, 0), index(oldRows - 1, columnCount() - 1));
    }
}

int ResultsGridModel::rowCount(const QModelIndex& parent) const {
    if (parent.isValid() || grid_.rows() == 0) return 0;
    return grid_.rows() - 1;
}

int ResultsGridModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : grid_.cols();
}

Qt::Alignment ResultsGridModel::alignment(int column) const {
    const auto align = grid_.columns()[static_cast<std::size_t>(column)].align;
    const Qt::Alignment horizontal =
        align == testrun::ResultsGrid::Align::Right ? Qt::AlignRight : Qt::AlignLeft;
    return horizontal | Qt::AlignVCenter;
}

QVariant ResultsGridModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= rowCount() || index.column() >= columnCount()) {
        return {};
    }
    const int row = index.row() + 1;
    switch (role) {
        case Qt::DisplayRole:
            return QString::fromStdString(grid_.cell(row, index.column()));
        case Qt::TextAlignmentRole:
            return QVariant::fromValue(alignment(index.column()));
        case Qt::FontRole:
            return grid_.emphasised(row, index.column()) ? boldFont_ : font_;
        case Qt::ToolTipRole:  // the whole text where a narrow column cuts it
            return QString::fromStdString(grid_.cell(row, index.column()));
        default:
            return {};
    }
}

QVariant ResultsGridModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || section < 0 || section >= columnCount()) return {};
    switch (role) {
        case Qt::DisplayRole:
            return QString::fromStdString(grid_.cell(0, section));
        case Qt::TextAlignmentRole:
            return QVariant::fromValue(alignment(section));
        case Qt::FontRole:
            return font_;
        default:
            return {};
    }
}

void setUpResultsView(QTableView& view) {
    const QFont font = resultsFont();
    view.setFont(font);
    view.horizontalHeader()->setFont(font);
    view.verticalHeader()->hide();
    view.verticalHeader()->setDefaultSectionSize(QFontMetrics(font).height() + 4);
    view.horizontalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    view.horizontalHeader()->setHighlightSections(false);
    view.setWordWrap(false);
    view.setTextElideMode(Qt::ElideNone);
    view.setEditTriggers(QAbstractItemView::NoEditTriggers);
}

void fitResultsColumns(QTableView& view) {
    const auto* model = view.model();
    if (!model) return;
    const QFontMetrics metrics(view.horizontalHeader()->font());
    const int padding = 2 * view.style()->pixelMetric(QStyle::PM_HeaderMargin) + 4;
    int total = 0;
    for (int c = 0; c < model->columnCount(); ++c) {
        const QString header = model->headerData(c, Qt::Horizontal, Qt::DisplayRole).toString();
        view.setColumnWidth(c, metrics.horizontalAdvance(header) + padding);
        total += view.columnWidth(c);
    }
    // Wide enough for every column beside a vertical scroll bar.
    view.setMinimumWidth(total + 2 * view.frameWidth() +
                         view.verticalScrollBar()->sizeHint().width());
}

}  // namespace quillon::ui
