#include "app/graph_page.h"

#include <QComboBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QSignalBlocker>
#include <QVBoxLayout>

#include "app/control_style.h"
#include "app/rate_chart_setup.h"
#include "ui/chart.h"

namespace quorvex::app {

GraphPage::GraphPage(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("graphPage"));
    chart_ = new ui::TChart(this);
    chart_->setObjectName(QStringLiteral("rateChart"));
    ConfigureRateChart(*chart_);
    // The wheel neither scrolls nor zooms the chart.
    chart_->OnMouseWheel = [](ui::TChart&, Qt::KeyboardModifiers, int, QPoint, bool& handled) {
        handled = true;
    };
    auto* page = new QVBoxLayout(this);
    page->setContentsMargins(0, 0, 0, 0);
    page->addWidget(chart_);

    left_ = new QLabel(chart_);
    left_->setObjectName(QStringLiteral("leftProfileLabel"));
    PaintLabel(left_, Qt::white, kReceiver1Colour);
    right_ = new QLabel(chart_);
    right_->setObjectName(QStringLiteral("rightProfileLabel"));
    PaintLabel(right_, Qt::black, kReceiver2Colour);

    window_ = new QComboBox(this);
    window_->setObjectName(QStringLiteral("chartWindowList"));
    window_->addItems({QStringLiteral("30 sec"), QStringLiteral("60 sec"), QStringLiteral("5 min"),
                       QStringLiteral("30 min"), QStringLiteral("60 min")});
    window_->setCurrentIndex(0);
    copy_ = new QPushButton(QStringLiteral("Copy"), this);
    copy_->setObjectName(QStringLiteral("copyButton"));
    clear_ = new QPushButton(QStringLiteral("Clear"), this);
    clear_->setObjectName(QStringLiteral("clearButton"));
    hold_ = new QPushButton(QStringLiteral("Hold"), this);
    hold_->setObjectName(QStringLiteral("holdButton"));
    hold_->setCheckable(true);
    export_ = new QPushButton(QStringLiteral("&Export CSV"), this);
    export_->setObjectName(QStringLiteral("historyExportButton"));

    stamp_ = new QLabel(this);
    stamp_->setObjectName(QStringLiteral("copyStampLabel"));
    stamp_->setAlignment(Qt::AlignCenter);
    stamp_->hide();

    // The profile names sit in the chart's top corners, beside its title; the bottom row
    // runs below the chart, so it hides none of the axis.
    auto* top = new QHBoxLayout;
    top->addWidget(left_);
    top->addStretch(1);
    top->addWidget(right_);
    auto* overlay = new QVBoxLayout(chart_);
    overlay->setContentsMargins(4, 4, 4, 4);
    overlay->addLayout(top);
    overlay->addStretch(1);

    auto* bottom = new QHBoxLayout;
    bottom->setContentsMargins(4, 2, 4, 2);
    bottom->addWidget(window_);
    bottom->addWidget(copy_);
    bottom->addWidget(clear_);
    bottom->addWidget(hold_);
    bottom->addStretch(1);
    bottom->addWidget(stamp_);
    bottom->addStretch(1);
    bottom->addWidget(export_);
    page->addLayout(bottom);

    connect(window_, &QComboBox::activated, this, [this](int index) {
        if (OnChartWindowChosen) OnChartWindowChosen(index);
    });
    connect(copy_, &QPushButton::clicked, this, [this] {
        if (OnCopyClicked) OnCopyClicked();
    });
    connect(clear_, &QPushButton::clicked, this, [this] {
        if (OnClearClicked) OnClearClicked();
    });
    connect(hold_, &QPushButton::clicked, this, [this](bool down) {
        if (OnHoldClicked) OnHoldClicked(down);
    });
    connect(export_, &QPushButton::clicked, this, [this] {
        if (OnExportClicked) OnExportClicked();
    });
}

void GraphPage::ShowSeries(const std::array<std::vector<ChartPoint>, kChartSeriesCount>& series) {
    for (int i = 0; i < chart_->SeriesCount(); ++i) chart_->SeriesAt(i).ClearPoints();
    for (int i = 0; i < chart_->SeriesCount() && i < static_cast<int>(series.size()); ++i) {
        ui::TLineSeries& line = chart_->SeriesAt(i);
        const auto& points = series[static_cast<std::size_t>(i)];
        line.Reserve(points.size());
        for (const ChartPoint& point : points) line.AddPoint(point.X, point.Y);
    }
}

void GraphPage::ShowTitle(const QString& title) {
    chart_->Title().Text().SetLines({title});
}

void GraphPage::ShowProfileNames(const QString& left, const QString& right) {
    left_->setText(left);
    left_->setVisible(!left.isEmpty());
    right_->setText(right);
    right_->setVisible(!right.isEmpty());
}

void GraphPage::ShowHold(bool down) {
    const QSignalBlocker blocker(hold_);
    hold_->setChecked(down);
}

}  // namespace quorvex::app
