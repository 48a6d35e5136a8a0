// SPDX-License-Identifier: MIT
#include "ui/qt/results_model.h"

#include <QColor>
#include <QFontDatabase>
#include <QFontMetrics>
#include <QHeaderView>
#include <QScrollBar>
#include <QStyle>
#include <QTableView>
#include <algorithm>

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

void ResultsGridModel::setGrid(const testrun::ResultsGrid& grid) {
    beginResetModel();
    grid_ = grid;
    endResetModel();
}

void ResultsGridModel::applyChanges(const testrun::GridChanges& changes) {
    // A new start, or changes that do not follow on from what is shown: take them as a whole.
    if (changes.newColumns || grid_.rows() == 0 || changes.firstNewRow != grid_.rows()) {
        beginResetModel();
        grid_.apply(changes);
        endResetModel();
        return;
    }
    const int oldRows = rowCount();
    const int added = static_cast<int>(changes.newRows.size());
    if (added > 0) beginInsertRows({}, oldRows, oldRows + added - 1);
    grid_.apply(changes);
    if (added > 0) endInsertRows();
    for (const auto& changed : changes.cells) {
        if (changed.row == 0) {
            emit headerDataChanged(Qt::Horizontal, changed.col, changed.col);
        } else {
            const QModelIndex at = index(changed.row - 1, changed.col);
            emit dataChanged(at, at);
        }
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
        case Qt::ForegroundRole:
            if (grid_.failure(row, index.column())) return QColor(Qt::red);
            return {};
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

namespace {

int textPadding(const QTableView& view) {
    return 2 * view.style()->pixelMetric(QStyle::PM_HeaderMargin) + 4;
}

// Wide enough for every column beside a vertical scroll bar.
void fitViewToColumns(QTableView& view) {
    int total = 0;
    for (int c = 0; c < view.model()->columnCount(); ++c) total += view.columnWidth(c);
    view.setMinimumWidth(total + 2 * view.frameWidth() +
                         view.verticalScrollBar()->sizeHint().width());
}

}  // namespace

void fitResultsColumns(QTableView& view) {
    const auto* model = view.model();
    if (!model) return;
    const QFontMetrics metrics(view.horizontalHeader()->font());
    for (int c = 0; c < model->columnCount(); ++c) {
        const QString header = model->headerData(c, Qt::Horizontal, Qt::DisplayRole).toString();
        view.setColumnWidth(c, metrics.horizontalAdvance(header) + textPadding(view));
    }
    fitViewToColumns(view);
}

void widenResultsColumns(QTableView& view, int first, int last) {
    const auto* model = view.model();
    if (!model) return;
    const int padding = textPadding(view);
    bool widened = false;
    for (int r = std::max(first, 0); r <= last && r < model->rowCount(); ++r) {
        for (int c = 0; c < model->columnCount(); ++c) {
            const QModelIndex at = model->index(r, c);
            const QString text = model->data(at, Qt::DisplayRole).toString();
            const QVariant font = model->data(at, Qt::FontRole);
            const QFontMetrics metrics(font.isValid() ? font.value<QFont>() : view.font());
            // Measuring a text costs far more than this bound, which settles nearly every cell.
            if (text.size() * metrics.maxWidth() + padding <= view.columnWidth(c)) continue;
            const int needed = metrics.horizontalAdvance(text) + padding;
            if (needed > view.columnWidth(c)) {
                view.setColumnWidth(c, needed);
                widened = true;
            }
        }
    }
    if (widened) fitViewToColumns(view);
}

}  // namespace quillon::ui
