#include "app/levels_page.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLocale>
#include <QPushButton>
#include <QVBoxLayout>

#include <algorithm>
#include <cmath>

#include "app/control_style.h"
#include "core/comparison/coverage_stats.h"
#include "core/export/level_csv.h"
#include "ui/histogram_plot.h"
#include "ui/interval_plot.h"

namespace quorvex::app {
namespace {

// The level histograms: 2 dB bins from kLowestDbfs to 0 dBFS (below -30 dBFS the byte's
// steps are a dB or more apart: narrower bins would be empty between them).
constexpr double kLowestDbfs = -48.0;
constexpr double kLevelBinDb = 2.0;

QString Text(const std::string& text) {
    return QString::fromStdString(text);
}

QString Count(std::uint64_t value) {
    return QLocale().toString(static_cast<qulonglong>(value));
}

QString Percent(const std::optional<double>& percent) {
    return percent ? QLocale().toString(*percent, 'f', 1) + QStringLiteral(" %")
                   : QStringLiteral("–");
}

QLabel* Label(const QString& name, QWidget* parent) {
    auto* label = new QLabel(parent);
    label->setObjectName(name);
    label->setWordWrap(true);
    return label;
}

}  // namespace

LevelsPage::LevelsPage(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("levelsPage"));
    sentence_ = Label(QStringLiteral("levelsSentenceLabel"), this);
    QFont large = sentence_->font();
    large.setPointSizeF(large.pointSizeF() * 1.3);
    large.setBold(true);
    sentence_->setFont(large);
    missing_ = Label(QStringLiteral("levelsMissingLabel"), this);
    missing_->setStyleSheet(QStringLiteral("color: #b00000;"));
    gainChanges_ = Label(QStringLiteral("levelsGainChangeLabel"), this);
    gainChanges_->setStyleSheet(QStringLiteral("color: #b00000;"));
    counts_ = Label(QStringLiteral("levelsCountsLabel"), this);

    deltaPlot_ = new ui::HistogramPlot(this);
    deltaPlot_->setObjectName(QStringLiteral("levelsDeltaPlot"));
    deltaPlot_->SetTexts(QStringLiteral("Level difference of the same frame (2 − 1)"),
                         QStringLiteral("dB"), QStringLiteral("frames"));
    ringPlot_ = new ui::IntervalPlot(this);
    ringPlot_->setObjectName(QStringLiteral("levelsRingPlot"));
    ringPlot_->SetTexts(QStringLiteral("Median difference per ring"), QStringLiteral("range NM"),
                        QStringLiteral("dB"));
    levelPlot_ = new ui::HistogramPlot(this);
    levelPlot_->setObjectName(QStringLiteral("levelsLevelPlot"));
    SetUpLevelPlot(*levelPlot_);
    export_ = new QPushButton(QStringLiteral("&Export CSV"), this);
    export_->setObjectName(QStringLiteral("levelsExportButton"));

    auto* plots = new QGridLayout;
    plots->addWidget(deltaPlot_, 0, 0);
    plots->addWidget(ringPlot_, 0, 1);
    plots->addWidget(levelPlot_, 1, 0, 1, 2);
    plots->setColumnStretch(0, 3);
    plots->setColumnStretch(1, 2);
    auto* bottom = new QHBoxLayout;
    bottom->addWidget(counts_, 1);
    bottom->addWidget(export_, 0, Qt::AlignBottom);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(4, 4, 4, 4);
    layout->addWidget(sentence_);
    layout->addWidget(missing_);
    layout->addWidget(gainChanges_);
    layout->addLayout(plots, 1);
    layout->addLayout(bottom);
    connect(export_, &QPushButton::clicked, this, [this] {
        if (OnExportClicked) OnExportClicked();
    });
}

void LevelsPage::Refresh(const LevelComparison& levels, double maxRangeNm) {
    sentence_->setText(Text(LevelSentence(levels)));
    const auto missing = MissingLevelsText(levels);
    missing_->setText(missing ? Text(*missing) : QString());
    missing_->setVisible(missing.has_value());
    const std::string changes = GainChangeText(levels);
    gainChanges_->setText(Text(changes));
    gainChanges_->setVisible(!changes.empty());

    const LevelGroup& all = levels.All();
    counts_->setText(
        QStringLiteral("Frames both heard: %1, compared %2; left out: no level %3, strong "
                       "(−3 dBFS or more) %4, weak (−38.5 dBFS or less) %5. Strong frames: "
                       "receiver 1 %6, receiver 2 %7.")
            .arg(Count(all.twins), Count(all.deltas.compared()), Count(all.excludedNoLevel),
                 Count(all.excludedStrong), Count(all.excludedWeak),
                 Percent(all.StrongPercent(SourceId::Receiver1)),
                 Percent(all.StrongPercent(SourceId::Receiver2))));
    ShowDeltas(levels);
    ShowRings(levels, maxRangeNm);
    ShowLevels(*levelPlot_, levels);
}

void LevelsPage::SetUpLevelPlot(ui::HistogramPlot& plot) {
    plot.SetTexts(QStringLiteral("Levels of each receiver's frames"), QStringLiteral("dBFS"),
                  QStringLiteral("frames"));
    plot.SetBins(kLowestDbfs, kLevelBinDb);
    plot.SetMarkers({{kStrongLevelDbfs, QColor(160, 0, 160), QStringLiteral("−3")}});
}

void LevelsPage::ShowDeltas(const LevelComparison& levels) {
    const DeltaSummary summary = levels.All().deltas.Summarize();
    if (!summary.medianDb) {
        deltaPlot_->SetSeries({});
        deltaPlot_->SetMarkers({});
        deltaPlot_->SetBand(std::nullopt);
        deltaPlot_->SetMessage(QStringLiteral("No frame both receivers heard with a level yet"));
        return;
    }
    // Bins around the median; the deltas beyond them in the outermost bins.
    const double first = std::floor((*summary.medianDb - kDeltaSpanDb) / kDeltaBinDb) * kDeltaBinDb;
    const auto bins = static_cast<std::size_t>(2 * kDeltaSpanDb / kDeltaBinDb) + 1;
    std::vector<double> counts(bins, 0.0);
    levels.All().deltas.ForEachDelta([&](double delta, std::uint64_t count) {
        const double bin = std::floor((delta - first) / kDeltaBinDb);
        counts[static_cast<std::size_t>(std::clamp(bin, 0.0, static_cast<double>(bins - 1)))] +=
            static_cast<double>(count);
    });
    deltaPlot_->SetBins(first, kDeltaBinDb);
    deltaPlot_->SetSeries({{QColor(70, 110, 200), QStringLiteral("2 − 1"), std::move(counts)}});
    deltaPlot_->SetMarkers(
        {{*summary.medianDb, Qt::black,
          QStringLiteral("median %1 dB").arg(QLocale().toString(*summary.medianDb, 'f', 1))}});
    deltaPlot_->SetBand(summary.intervalDb);
    deltaPlot_->SetMessage({});
}

void LevelsPage::ShowRings(const LevelComparison& levels, double maxRangeNm) {
    std::vector<ui::IntervalPoint> points;
    for (int ring = 0; ring < levels.RingCount(); ++ring) {
        const DeltaSummary summary = levels.Ring(ring).deltas.Summarize();
        if (!summary.medianDb) continue;
        ui::IntervalPoint point{(ring + 0.5) * kRingNm, *summary.medianDb, {}, {}};
        if (summary.intervalDb) {
            point.low = summary.intervalDb->first;
            point.high = summary.intervalDb->second;
        }
        points.push_back(point);
    }
    ringPlot_->SetXRange(0, std::max(maxRangeNm, kRingNm));
    ringPlot_->SetMessage(points.empty() ? QStringLiteral("No twin placed from the station yet")
                                         : QString());
    ringPlot_->SetPoints(std::move(points), QColor(70, 110, 200));
}

bool LevelsPage::ShowLevels(ui::HistogramPlot& plot, const LevelComparison& levels) {
    const auto bins = static_cast<std::size_t>(-kLowestDbfs / kLevelBinDb);
    std::vector<ui::HistogramSeries> series;
    bool any = false;
    for (const SourceId receiver : kReceivers) {
        std::vector<double> counts(bins, 0.0);
        const auto& steps = levels.LevelSteps()[SourceIndex(receiver)];
        for (int step = 1; step < 256; ++step) {
            const double bin =
                std::floor((StepDbfs(static_cast<std::uint8_t>(step)) - kLowestDbfs) / kLevelBinDb);
            counts[static_cast<std::size_t>(std::clamp(bin, 0.0, static_cast<double>(bins - 1)))] +=
                static_cast<double>(steps[static_cast<std::size_t>(step)]);
            any = any || steps[static_cast<std::size_t>(step)] != 0;
        }
        const bool first = receiver == SourceId::Receiver1;
        series.push_back({first ? kReceiver1Colour : kReceiver2OnWhite,
                          first ? QStringLiteral("Receiver 1") : QStringLiteral("Receiver 2"),
                          std::move(counts)});
    }
    plot.SetSeries(std::move(series));
    plot.SetMessage(any ? QString() : QStringLiteral("No frame with a level yet"));
    return any;
}

}  // namespace quorvex::app
