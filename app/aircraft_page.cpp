#include "app/aircraft_page.h"

#include <QEvent>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLocale>
#include <QPushButton>
#include <QSortFilterProxyModel>
#include <QTableView>
#include <QVBoxLayout>

#include "app/aircraft_model.h"

namespace quorvex::app {

AircraftPage::AircraftPage(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("aircraftPage"));
    summary_ = new QLabel(this);
    summary_->setObjectName(QStringLiteral("aircraftSummaryLabel"));
    summary_->setWordWrap(true);
    dropped_ = new QLabel(this);
    dropped_->setObjectName(QStringLiteral("aircraftDroppedLabel"));
    dropped_->setWordWrap(true);
    dropped_->setStyleSheet(QStringLiteral("color: #b00000;"));
    dropped_->hide();
    model_ = new AircraftModel(this);
    sorted_ = new QSortFilterProxyModel(this);
    sorted_->setSourceModel(model_);
    sorted_->setSortRole(AircraftModel::kSortRole);
    table_ = new QTableView(this);
    table_->setObjectName(QStringLiteral("aircraftTable"));
    table_->setModel(sorted_);
    table_->setSortingEnabled(true);
    table_->sortByColumn(AircraftModel::PerMinute1, Qt::DescendingOrder);
    table_->setSelectionBehavior(QAbstractItemView::SelectRows);
    table_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    table_->verticalHeader()->hide();
    table_->verticalHeader()->setDefaultSectionSize(table_->fontMetrics().height() + 4);
    // Tab leaves the table; the arrow keys move within it.
    table_->setTabKeyNavigation(false);
    QHeaderView* header = table_->horizontalHeader();
    header->setSectionResizeMode(QHeaderView::Interactive);
    header->setStretchLastSection(false);
    connect(header, &QHeaderView::sectionResized, this, [this] {
        if (!sharing_) widthsSet_ = true;
    });
    table_->viewport()->installEventFilter(this);
    export_ = new QPushButton(QStringLiteral("&Export CSV"), this);
    export_->setObjectName(QStringLiteral("aircraftExportButton"));

    auto* bottom = new QHBoxLayout;
    bottom->addWidget(export_);
    bottom->addStretch(1);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(4, 4, 4, 4);
    layout->addWidget(summary_);
    layout->addWidget(dropped_);
    layout->addWidget(table_, 1);
    layout->addLayout(bottom);

    connect(export_, &QPushButton::clicked, this, [this] {
        if (OnExportClicked) OnExportClicked();
    });
    Refresh(AircraftTally(1), 0);
}

void AircraftPage::Refresh(const AircraftTally& tally, std::int64_t nowSecond) {
    FillAircraftTable(tally, nowSecond, rows_);
    model_->Update(rows_);
    const std::string decimal = QLocale().decimalPoint().toStdString();
    summary_->setText(QString::fromStdString(SummaryText(Summarize(rows_), decimal)));
    const std::string dropped = DroppedText(tally);
    dropped_->setText(QString::fromStdString(dropped));
    dropped_->setVisible(!dropped.empty());
}

bool AircraftPage::eventFilter(QObject* watched, QEvent* event) {
    if (watched == table_->viewport() && event->type() == QEvent::Resize && !widthsSet_) {
        ShareWidth();
    }
    return QWidget::eventFilter(watched, event);
}

void AircraftPage::ShareWidth() {
    const int columns = model_->columnCount();
    const int width = table_->viewport()->width();
    sharing_ = true;
    for (int column = 0; column < columns; ++column) {
        // The pixels that do not divide evenly go one each to the first columns.
        table_->horizontalHeader()->resizeSection(
            column, width / columns + (column < width % columns ? 1 : 0));
    }
    sharing_ = false;
}

std::vector<int> AircraftPage::ColumnWidths() const {
    std::vector<int> widths;
    if (!widthsSet_) return widths;
    for (int column = 0; column < model_->columnCount(); ++column) {
        widths.push_back(table_->horizontalHeader()->sectionSize(column));
    }
    return widths;
}

void AircraftPage::ShowColumnWidths(const std::vector<int>& widths) {
    if (widths.size() != static_cast<std::size_t>(model_->columnCount())) return;
    for (std::size_t column = 0; column < widths.size(); ++column) {
        table_->horizontalHeader()->resizeSection(static_cast<int>(column), widths[column]);
    }
    widthsSet_ = true;
}

TableSort AircraftPage::Sort() const {
    const QHeaderView* header = table_->horizontalHeader();
    return {header->sortIndicatorSection(), header->sortIndicatorOrder() == Qt::DescendingOrder};
}

void AircraftPage::ShowSort(const TableSort& sort) {
    table_->sortByColumn(sort.Column, sort.Descending ? Qt::DescendingOrder : Qt::AscendingOrder);
}

std::string AircraftPage::TableCsv() const {
    std::vector<AircraftTableRow> shown;
    shown.reserve(static_cast<std::size_t>(sorted_->rowCount()));
    for (int row = 0; row < sorted_->rowCount(); ++row) {
        shown.push_back(model_->RowAt(sorted_->mapToSource(sorted_->index(row, 0)).row()));
    }
    return AircraftTableCsv(shown);
}

}  // namespace quorvex::app
