#include "app/coverage_page.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

#include <algorithm>
#include <array>

#include "app/control_style.h"
#include "core/export/coverage_csv.h"
#include "core/export/coverage_text.h"
#include "ui/fixed_slot.h"
#include "ui/polar_plot.h"

namespace quorvex::app {
namespace {

constexpr int kSlices = 360 / kOutlineSliceDeg;

QString Text(std::string_view text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

// Lime edges fade into white: receiver 2's outline is drawn a shade darker.
QColor OnWhite(const QColor& colour) {
    return colour == kReceiver2Colour ? QColor(0, 190, 0) : colour;
}

QPushButton* Button(const QString& text, const QString& name, QWidget* parent) {
    auto* button = new QPushButton(text, parent);
    button->setObjectName(name);
    return button;
}

QLineEdit* Field(const QString& name, QWidget* parent) {
    auto* edit = new QLineEdit(parent);
    edit->setObjectName(name);
    edit->setMaximumWidth(110);
    return edit;
}

}  // namespace

CoveragePage::CoveragePage(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("coveragePage"));
    plot_ = new ui::PolarPlot(this);
    plot_->setObjectName(QStringLiteral("coveragePlot"));

    band_ = new QComboBox(this);
    band_->setObjectName(QStringLiteral("coverageBandList"));
    band_->addItems({QStringLiteral("All altitudes"), QStringLiteral("Below 10,000 ft"),
                     QStringLiteral("10,000–20,000 ft"), QStringLiteral("20,000–30,000 ft"),
                     QStringLiteral("Above 30,000 ft")});
    dots_ = new QCheckBox(QStringLiteral("&Heard by one only"), this);
    dots_->setObjectName(QStringLiteral("coverageDotsBox"));

    auto* station = new QGroupBox(QStringLiteral("Station"), this);
    station->setObjectName(QStringLiteral("coverageStationGroup"));
    lat_ = Field(QStringLiteral("coverageLatitudeEdit"), station);
    lon_ = Field(QStringLiteral("coverageLongitudeEdit"), station);
    range_ = Field(QStringLiteral("coverageMaxRangeEdit"), station);
    apply_ = Button(QStringLiteral("&Apply"), QStringLiteral("coverageApplyButton"), station);
    stationError_ = new QLabel(station);
    stationError_->setObjectName(QStringLiteral("coverageStationErrorLabel"));
    stationError_->setWordWrap(true);
    stationError_->setStyleSheet(QStringLiteral("color: #b00000;"));
    stationError_->hide();
    auto* fields = new QFormLayout(station);
    fields->setContentsMargins(6, 4, 6, 4);
    fields->setVerticalSpacing(3);
    fields->addRow(QStringLiteral("Latitude °"), lat_);
    fields->addRow(QStringLiteral("Longitude °"), lon_);
    fields->addRow(QStringLiteral("Max range NM"), range_);
    fields->addRow(apply_);
    fields->addRow(stationError_);

    copy_ = Button(QStringLiteral("&Copy"), QStringLiteral("coverageCopyButton"), this);
    export_ = Button(QStringLiteral("&Export CSV"), QStringLiteral("coverageExportButton"), this);
    clear_ = Button(QStringLiteral("C&lear"), QStringLiteral("coverageClearButton"), this);

    noStation_ = new QLabel(Text(kNoStationText), this);
    noStation_->setObjectName(QStringLiteral("coverageNoStationLabel"));
    noStation_->setWordWrap(true);
    noStation_->setStyleSheet(QStringLiteral("color: #b00000;"));
    summary_ = new QLabel(this);
    summary_->setObjectName(QStringLiteral("coverageSummaryLabel"));

    rings_ = new QTableWidget(0, static_cast<int>(kRingColumns), this);
    rings_->setObjectName(QStringLiteral("coverageRingTable"));
    rings_->setHorizontalHeaderLabels({QStringLiteral("Ring"), QStringLiteral("by 1"),
                                       QStringLiteral("by 2"), QStringLiteral("both"),
                                       QStringLiteral("only 1"), QStringLiteral("only 2"),
                                       QStringLiteral("share 1"), QStringLiteral("share 2")});
    rings_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    rings_->setSelectionMode(QAbstractItemView::NoSelection);
    rings_->setFocusPolicy(Qt::NoFocus);
    rings_->verticalHeader()->hide();
    rings_->verticalHeader()->setDefaultSectionSize(rings_->fontMetrics().height() + 2);
    rings_->horizontalHeader()->setSectionResizeMode(QHeaderView::Stretch);
    for (const int wide : {0, 6, 7}) {
        rings_->horizontalHeader()->setSectionResizeMode(wide, QHeaderView::ResizeToContents);
    }

    auto* side = new QVBoxLayout;
    side->addWidget(new QLabel(QStringLiteral("Altitude"), this));
    side->addWidget(band_);
    side->addWidget(dots_);
    side->addWidget(station);
    side->addStretch(1);
    for (QPushButton* button : {copy_, export_, clear_}) side->addWidget(button);
    auto* top = new QHBoxLayout;
    top->addWidget(plot_, 1);
    top->addLayout(side);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(4, 4, 4, 4);
    layout->addLayout(top, 1);
    layout->addWidget(noStation_);
    // Its text changes every second: in a slot the change repaints the label alone. The slot
    // holds the summary's four lines whatever the label said when the layout ran.
    auto* summarySlot = new ui::FixedSlot(summary_, this);
    summarySlot->setMinimumHeight(4 * summary_->fontMetrics().lineSpacing() + 2);
    layout->addWidget(summarySlot);
    layout->addWidget(rings_);

    const auto viewChanged = [this] {
        plot_->SetDotsShown(dots_->isChecked());
        if (OnViewChanged) OnViewChanged();
    };
    connect(band_, &QComboBox::activated, this, viewChanged);
    connect(dots_, &QCheckBox::toggled, this, viewChanged);
    connect(apply_, &QPushButton::clicked, this, [this] { Apply(); });
    for (QLineEdit* edit : {lat_, lon_, range_}) {
        connect(edit, &QLineEdit::returnPressed, this, [this] { Apply(); });
    }
    connect(copy_, &QPushButton::clicked, this, [this] {
        if (OnCopyClicked) OnCopyClicked();
    });
    connect(export_, &QPushButton::clicked, this, [this] {
        if (OnExportClicked) OnExportClicked();
    });
    connect(clear_, &QPushButton::clicked, this, [this] {
        if (OnClearClicked) OnClearClicked();
    });
}

AltitudeBand CoveragePage::Band() const {
    return static_cast<AltitudeBand>(std::clamp(band_->currentIndex(), 0, 4));
}

void CoveragePage::ShowStation(const std::optional<LatLon>& station, double maxRangeNm) {
    lat_->setText(station ? QString::number(station->lat, 'g', 10) : QString());
    lon_->setText(station ? QString::number(station->lon, 'g', 10) : QString());
    range_->setText(QString::number(maxRangeNm, 'g', 10));
    stationError_->hide();
}

void CoveragePage::Apply() {
    const StationFields fields = ReadStationFields(
        lat_->text().toStdString(), lon_->text().toStdString(), range_->text().toStdString());
    stationError_->setText(Text(fields.error));
    stationError_->setVisible(!fields.error.empty());
    if (fields.station && OnStationApplied) OnStationApplied(*fields.station, fields.maxRangeNm);
}

void CoveragePage::ShowOutlines(ui::PolarPlot& plot, const Coverage& coverage, AltitudeBand band,
                                bool feed) {
    plot.SetMaxRange(coverage.maxRangeNm());
    plot.SetMessage(coverage.station() ? QString() : QStringLiteral("No station location set"));
    static constexpr struct {
        SourceId source;
        const char* name;
    } kTraces[] = {{SourceId::Receiver1, "Receiver 1"},
                   {SourceId::Receiver2, "Receiver 2"},
                   {SourceId::Feed, "Feed"}};
    std::array<float, kSlices> slices{};
    for (std::size_t i = 0; i < (feed ? std::size(kTraces) : 2); ++i) {
        const auto& outline = coverage.Outline(kTraces[i].source, band);
        for (int slice = 0; slice < kSlices; ++slice) {
            const auto first = outline.begin() + slice * kOutlineSliceDeg;
            slices[static_cast<std::size_t>(slice)] =
                *std::max_element(first, first + kOutlineSliceDeg);
        }
        const QColor colour = kTraces[i].source == SourceId::Feed        ? kFeedColour
                              : kTraces[i].source == SourceId::Receiver1 ? kReceiver1Colour
                                                                         : kReceiver2Colour;
        plot.SetOutline(i, OnWhite(colour), QString::fromLatin1(kTraces[i].name), slices);
    }
}

void CoveragePage::Refresh(const Coverage& coverage) {
    const AltitudeBand band = Band();
    noStation_->setVisible(!coverage.station().has_value());
    ShowOutlines(*plot_, coverage, band);
    if (dots_->isChecked()) {
        for (const SourceId receiver : kReceivers) {
            dotPoints_.clear();
            for (const OnlyPosition& only : coverage.RecentOnly(receiver)) {
                if (band == AltitudeBand::All || only.band == band) {
                    dotPoints_.emplace_back(only.bearingDeg, only.rangeNm);
                }
            }
            const bool first = receiver == SourceId::Receiver1;
            plot_->SetDots(SourceIndex(receiver),
                           first ? QColor(170, 0, 0, 150) : QColor(0, 120, 0, 170),
                           first ? QStringLiteral("only 1") : QStringLiteral("only 2"), dotPoints_);
        }
    }

    summary_->setText(Text(CoverageSummaryText(coverage, band)));
    const std::vector<RingRow> rows = coverage.RingTable(band);
    if (rings_->rowCount() != static_cast<int>(rows.size())) {
        rings_->setRowCount(static_cast<int>(rows.size()));
        // As tall as its rows: the plot takes the rest.
        rings_->setFixedHeight(rings_->horizontalHeader()->sizeHint().height() +
                               rings_->rowCount() * rings_->verticalHeader()->defaultSectionSize() +
                               2 * rings_->frameWidth());
        for (int row = 0; row < rings_->rowCount(); ++row) {
            for (int column = 0; column < rings_->columnCount(); ++column) {
                auto* item = new QTableWidgetItem;
                item->setTextAlignment(column == 0 ? Qt::AlignLeft | Qt::AlignVCenter
                                                   : Qt::AlignRight | Qt::AlignVCenter);
                rings_->setItem(row, column, item);
            }
        }
    }
    for (std::size_t row = 0; row < rows.size(); ++row) {
        const auto cells = RingCells(rows[row]);
        for (std::size_t column = 0; column < cells.size(); ++column) {
            rings_->item(static_cast<int>(row), static_cast<int>(column))
                ->setText(Text(cells[column]));
        }
    }
}

std::string CoveragePage::ExportText(const Coverage& coverage) {
    return CoverageCsvText(coverage) + "\r\n" + RingCsvText(coverage);
}

}  // namespace quorvex::app
