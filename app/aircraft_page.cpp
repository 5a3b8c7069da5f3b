#include "app/aircraft_page.h"

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
    table_->horizontalHeader()->setSectionResizeMode(QHeaderView::Stretch);
    export_ = new QPushButton(QStringLiteral("Export CSV"), this);
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

std::string AircraftPage::TableCsv() const {
    std::vector<AircraftTableRow> shown;
    shown.reserve(static_cast<std::size_t>(sorted_->rowCount()));
    for (int row = 0; row < sorted_->rowCount(); ++row) {
        shown.push_back(model_->RowAt(sorted_->mapToSource(sorted_->index(row, 0)).row()));
    }
    return AircraftTableCsv(shown);
}

}  // namespace quorvex::app
