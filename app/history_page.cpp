#include "app/history_page.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QLocale>
#include <QPushButton>
#include <QVBoxLayout>

#include <algorithm>

#include "app/control_style.h"
#include "core/base/csv.h"
#include "ui/line_plot.h"

namespace quorvex::app {

HistoryPage::HistoryPage(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("historyPage"));
    summary_ = new QLabel(this);
    summary_->setObjectName(QStringLiteral("historySummaryLabel"));
    summary_->setWordWrap(true);
    range_ = new ui::LinePlot(this);
    range_->setObjectName(QStringLiteral("historyRangePlot"));
    SetUpRangePlot(*range_);
    share_ = new ui::LinePlot(this);
    share_->setObjectName(QStringLiteral("historySharePlot"));
    share_->SetTexts(QStringLiteral("Position frames heard by both, of those either heard"),
                     QStringLiteral("hours since the start"), QStringLiteral("%"));
    report_ = new QPushButton(QStringLiteral("&Report…"), this);
    report_->setObjectName(QStringLiteral("historyReportButton"));
    report_->setToolTip(QStringLiteral("The session on one page: PDF, PNG or HTML"));
    auto* bottom = new QHBoxLayout;
    bottom->addStretch(1);
    bottom->addWidget(report_);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(4, 4, 4, 4);
    layout->addWidget(summary_);
    layout->addWidget(range_, 3);
    layout->addWidget(share_, 2);
    layout->addLayout(bottom);
    connect(report_, &QPushButton::clicked, this, [this] {
        if (OnReportClicked) OnReportClicked();
    });
}

void HistoryPage::SetUpRangePlot(ui::LinePlot& plot) {
    plot.SetTexts(QStringLiteral("Range per period"), QStringLiteral("hours since the start"),
                  QStringLiteral("NM"));
}

void HistoryPage::ShowRanges(ui::LinePlot& plot, const std::vector<HistoryRow>& rows,
                             int periodMinutes) {
    std::vector<std::optional<double>> max1, max2, p95a, p95b;
    for (const HistoryRow& row : rows) {
        max1.push_back(row.maxNm[0]);
        max2.push_back(row.maxNm[1]);
        p95a.push_back(row.p95Nm[0]);
        p95b.push_back(row.p95Nm[1]);
    }
    const bool placed = std::any_of(rows.begin(), rows.end(), [](const HistoryRow& row) {
        return row.maxNm[0].has_value() || row.maxNm[1].has_value();
    });
    plot.SetX(0, periodMinutes / 60.0);
    plot.SetSeries({{kReceiver1Colour, QStringLiteral("Receiver 1 farthest"), false, max1},
                    {kReceiver2OnWhite, QStringLiteral("Receiver 2 farthest"), false, max2},
                    {kReceiver1Colour, QStringLiteral("Receiver 1, 95 %"), true, p95a},
                    {kReceiver2OnWhite, QStringLiteral("Receiver 2, 95 %"), true, p95b}});
    plot.SetMessage(placed ? QString() : QStringLiteral("No position placed from the station yet"));
}

void HistoryPage::Refresh(const std::vector<HistoryRow>& rows, int periodMinutes,
                          const std::vector<Run::Gap>& gaps) {
    std::int64_t measured = 0;
    std::vector<std::optional<double>> both;
    for (const HistoryRow& row : rows) {
        measured += row.measuredSeconds;
        const TwinCounts& twins = row.positionTwins;
        const std::uint64_t either = twins.both + twins.only1 + twins.only2;
        both.push_back(either == 0 ? std::nullopt
                                   : std::optional(100.0 * static_cast<double>(twins.both) /
                                                   static_cast<double>(either)));
    }
    const QString start =
        rows.empty() ? QString() : QString::fromStdString(Iso8601Utc(rows.front().startUnix));
    QString text = QStringLiteral("Periods of %1 min from %2: %3 h %4 min measured")
                       .arg(periodMinutes)
                       .arg(start)
                       .arg(measured / 3600)
                       .arg(measured / 60 % 60);
    // The time a restart lost (from each last checkpoint to the run that went on) and the
    // seconds a stall left unmeasured.
    std::int64_t lost = 0;
    for (const Run::Gap& gap : gaps) lost += gap.seconds;
    if (!gaps.empty()) {
        text += QStringLiteral(
                    "; %1 gap%2 of %3 h %4 min %5 s not measured (the program was "
                    "down or stalled)")
                    .arg(gaps.size())
                    .arg(gaps.size() == 1 ? "" : "s")
                    .arg(lost / 3600)
                    .arg(lost / 60 % 60)
                    .arg(lost % 60);
    }
    summary_->setText(text);
    ShowRanges(*range_, rows, periodMinutes);
    share_->SetX(0, periodMinutes / 60.0);
    share_->SetSeries({{QColor(70, 110, 200), QStringLiteral("Heard by both"), false, both}});
}

}  // namespace quorvex::app
