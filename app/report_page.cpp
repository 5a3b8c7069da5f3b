#include "app/report_page.h"

#include <QFontMetricsF>
#include <QPainter>

#include <algorithm>
#include <numeric>

#include "app/control_style.h"
#include "app/coverage_page.h"
#include "app/engine/measurement_controller.h"
#include "app/history_page.h"
#include "app/levels_page.h"
#include "core/base/csv.h"
#include "core/export/report_text.h"
#include "ui/histogram_plot.h"
#include "ui/line_plot.h"
#include "ui/polar_plot.h"

namespace quorvex::app {
namespace {

// In the page's units (1/96 inch); a font's pixels print at three quarters of a point each.
constexpr double kMargin = 36;
constexpr double kGap = 10;
constexpr int kTitlePixels = 22;    // 16.5 pt
constexpr int kHeadingPixels = 15;  // 11 pt
constexpr int kBodyPixels = 12;     // 9 pt
constexpr int kTablePixels = 12;    // down to kSmallestPixels where the columns need it
constexpr int kFigurePixels = 11;
constexpr int kSmallestPixels = 8;
const QColor kHeadingColour(25, 55, 110);
const QColor kRuleColour(150, 150, 150);
const QColor kShade(240, 240, 240);

QString Text(const std::string& text) {
    return QString::fromStdString(text);
}

QFont PageFont(int pixels, bool bold = false) {
    QFont font = SansFont(8, bold);
    // Pixels, not points: the size then means the page's units whatever the device.
    font.setPixelSize(pixels);
    return font;
}

double LineHeight(const QPainter& painter) {
    return QFontMetricsF(painter.font(), painter.device()).height();
}

// `text` wrapped into `width` from (`left`, `top`); the height it took.
double DrawWrapped(QPainter& painter, double left, double top, double width, const QString& text) {
    constexpr int kFlags = Qt::AlignLeft | Qt::AlignTop | Qt::TextWordWrap;
    const QRectF used = painter.boundingRect(QRectF(left, top, width, 1e6), kFlags, text);
    painter.drawText(QRectF(left, top, width, used.height() + 1), kFlags, text);
    return used.height();
}

double HeadingHeight(const QPainter& painter) {
    return QFontMetricsF(PageFont(kHeadingPixels, true), painter.device()).height() + 3;
}

// A section's heading; where the section starts below it.
double DrawHeading(QPainter& painter, double left, double top, double width, const QString& text) {
    painter.setFont(PageFont(kHeadingPixels, true));
    painter.setPen(kHeadingColour);
    painter.drawText(QRectF(left, top, width, LineHeight(painter)),
                     Qt::AlignLeft | Qt::AlignVCenter, text);
    painter.setPen(Qt::black);
    return top + HeadingHeight(painter);
}

// How a table fits its width: the largest font at which it does, its columns' widths.
struct TableLayout {
    int pixels = kTablePixels;
    std::vector<double> widths;
    double rowHeight = 0;
    double height = 0;
};

TableLayout LayOutTable(const QPainter& painter, const ReportTable& table, double width) {
    constexpr double kPad = 10;
    TableLayout layout;
    for (;; --layout.pixels) {
        const QFontMetricsF bold(PageFont(layout.pixels, true), painter.device());
        const QFontMetricsF plain(PageFont(layout.pixels), painter.device());
        layout.widths.assign(table.header.size(), 0.0);
        for (std::size_t c = 0; c < table.header.size(); ++c) {
            layout.widths[c] = bold.horizontalAdvance(Text(table.header[c])) + kPad;
            for (const auto& row : table.rows) {
                layout.widths[c] =
                    std::max(layout.widths[c], plain.horizontalAdvance(Text(row[c])) + kPad);
            }
        }
        const double total = std::accumulate(layout.widths.begin(), layout.widths.end(), 0.0);
        if (total <= width || layout.pixels == kSmallestPixels) {
            // What is left over goes to the number columns alike.
            const double spare =
                std::max(0.0, width - total) /
                static_cast<double>(std::max<std::size_t>(layout.widths.size(), 2) - 1);
            for (std::size_t c = 1; c < layout.widths.size(); ++c) layout.widths[c] += spare;
            layout.rowHeight = plain.height() + 3;
            layout.height = layout.rowHeight * static_cast<double>(table.rows.size() + 1);
            return layout;
        }
    }
}

// The table as laid out, from `topLeft`: the first column reads from the left, the numbers
// from the right, every other row shaded.
void DrawTable(QPainter& painter, const ReportTable& table, const TableLayout& layout,
               QPointF topLeft) {
    const double width = std::accumulate(layout.widths.begin(), layout.widths.end(), 0.0);
    const auto drawRow = [&](const std::vector<std::string>& cells, double top) {
        double x = topLeft.x();
        for (std::size_t c = 0; c < cells.size(); ++c) {
            const QRectF cell(x + 4, top, layout.widths[c] - 8, layout.rowHeight);
            painter.drawText(cell, (c == 0 ? Qt::AlignLeft : Qt::AlignRight) | Qt::AlignVCenter,
                             Text(cells[c]));
            x += layout.widths[c];
        }
    };
    painter.setFont(PageFont(layout.pixels, true));
    drawRow(table.header, topLeft.y());
    double top = topLeft.y() + layout.rowHeight;
    painter.setPen(QPen(kRuleColour, 0.75));
    painter.drawLine(QPointF(topLeft.x(), top), QPointF(topLeft.x() + width, top));
    painter.setPen(Qt::black);
    painter.setFont(PageFont(layout.pixels));
    for (std::size_t r = 0; r < table.rows.size(); ++r, top += layout.rowHeight) {
        if (r % 2 == 1) {
            painter.fillRect(QRectF(topLeft.x(), top, width, layout.rowHeight), kShade);
        }
        drawRow(table.rows[r], top);
    }
}

// Each receiver's frames a second over the measured seconds of each period.
void ShowRates(ui::LinePlot& plot, const std::vector<HistoryRow>& rows, int periodMinutes) {
    std::vector<std::optional<double>> rates[2];
    for (const HistoryRow& row : rows) {
        for (const std::size_t r : {0u, 1u}) {
            rates[r].push_back(row.measuredSeconds == 0
                                   ? std::nullopt
                                   : std::optional(static_cast<double>(row.frames[r]) /
                                                   static_cast<double>(row.measuredSeconds)));
        }
    }
    plot.SetX(0, periodMinutes / 60.0);
    plot.SetSeries({{kReceiver1Colour, QStringLiteral("Receiver 1"), false, rates[0]},
                    {kReceiver2OnWhite, QStringLiteral("Receiver 2"), false, rates[1]}});
}

}  // namespace

std::vector<SetupLine> SourceSetup(const MeasurementController& controller) {
    const net::TClientSocket& feed = controller.FeedClient();
    return {{"Receiver 1", ReceiverSetupText(controller.Controls().Receiver1)},
            {"Receiver 2", ReceiverSetupText(controller.Controls().Receiver2)},
            {"Feed", controller.ConnectDown() ? "port-30003 lines from " + feed.Host() + ":" +
                                                    std::to_string(feed.Port())
                                              : "not connected"}};
}

ReportPage::ReportPage(const Run& run, std::vector<SetupLine> sources, std::int64_t nowUnix)
    : coverage_(std::make_unique<ui::PolarPlot>()),
      range_(std::make_unique<ui::LinePlot>()),
      rates_(std::make_unique<ui::LinePlot>()),
      levels_(std::make_unique<ui::HistogramPlot>()) {
    const Coverage& coverage = run.Positions();
    const std::vector<HistoryRow> rows = run.HistoryRows();
    const int periodMinutes = run.History().PeriodMinutes();
    const std::int64_t start = run.SessionStart();

    texts_.title = "Quorvex A/B report";
    texts_.session = Iso8601Utc(start) + " to " + Iso8601Utc(nowUnix);
    texts_.setup = std::move(sources);
    texts_.setup.emplace_back("Station",
                              StationSetupText(coverage.station(), coverage.maxRangeNm()));
    texts_.setup.emplace_back("Session", texts_.session + " (UTC)");
    // Gaps up to the run's last tick: the second under way now is none.
    texts_.setup.emplace_back(
        "Measured", DurationText(run.Buckets().Total().seconds) + "; gaps " +
                        DurationText(GapSeconds(rows, start, run.LastSecond())) + "; periods of " +
                        std::to_string(periodMinutes) + " min");
    texts_.verdict = VerdictLines(coverage, run.Levels());
    texts_.rings = RingReportTable(coverage);
    texts_.periods = PeriodReportTable(rows);

    for (QWidget* widget :
         {static_cast<QWidget*>(coverage_.get()), static_cast<QWidget*>(range_.get()),
          static_cast<QWidget*>(rates_.get()), static_cast<QWidget*>(levels_.get())}) {
        widget->setFont(PageFont(kFigurePixels));
    }
    CoveragePage::ShowOutlines(*coverage_, coverage, AltitudeBand::All, false);
    HistoryPage::SetUpRangePlot(*range_);
    HistoryPage::ShowRanges(*range_, rows, periodMinutes);
    rates_->SetTexts(QStringLiteral("Frames a second in each period"),
                     QStringLiteral("hours since the start"), QStringLiteral("frames/s"));
    ShowRates(*rates_, rows, periodMinutes);
    LevelsPage::SetUpLevelPlot(*levels_);
    hasLevels_ = LevelsPage::ShowLevels(*levels_, run.Levels());
}

ReportPage::~ReportPage() = default;

QWidget& ReportPage::Widget(Figure figure) {
    switch (figure) {
        case Figure::Coverage:
            return *coverage_;
        case Figure::Range:
            return *range_;
        case Figure::Rates:
            return *rates_;
        case Figure::Levels:
            break;
    }
    return *levels_;
}

void ReportPage::Place(QPainter& painter, Figure figure, const QRectF& box) {
    QWidget& widget = Widget(figure);
    widget.resize(box.size().toSize());
    painter.save();
    widget.render(&painter, box.topLeft().toPoint(), QRegion(), QWidget::DrawChildren);
    painter.restore();
}

QImage ReportPage::Picture(Figure figure, QSize size, double scale) {
    QImage image(size * scale, QImage::Format_RGB32);
    image.fill(Qt::white);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.scale(scale, scale);
    Place(painter, figure, QRectF(QPointF(0, 0), size));
    return image;
}

void ReportPage::Paint(QPainter& painter) {
    painter.fillRect(QRectF(0, 0, kReportPageWidth, kReportPageHeight), Qt::white);
    const double left = kMargin;
    const double width = kReportPageWidth - 2 * kMargin;
    const double bottom = kReportPageHeight - kMargin;
    painter.setPen(Qt::black);

    // The title, the session's times on its right, a rule.
    painter.setFont(PageFont(kTitlePixels, true));
    const double titleHeight = LineHeight(painter);
    double y = kMargin;
    painter.drawText(QRectF(left, y, width, titleHeight), Qt::AlignLeft | Qt::AlignVCenter,
                     Text(texts_.title));
    painter.setFont(PageFont(kBodyPixels));
    painter.drawText(QRectF(left, y, width, titleHeight), Qt::AlignRight | Qt::AlignVCenter,
                     Text(texts_.session + " UTC"));
    y += titleHeight + 3;
    painter.setPen(QPen(kRuleColour, 0.75));
    painter.drawLine(QPointF(left, y), QPointF(left + width, y));
    painter.setPen(Qt::black);
    y += 8;

    // The set-up: what, and how, wrapped beside it.
    constexpr double kLabelWidth = 84;
    for (const auto& [what, how] : texts_.setup) {
        painter.setFont(PageFont(kBodyPixels, true));
        painter.drawText(QRectF(left, y, kLabelWidth, LineHeight(painter)),
                         Qt::AlignLeft | Qt::AlignTop, Text(what));
        painter.setFont(PageFont(kBodyPixels));
        y += DrawWrapped(painter, left + kLabelWidth, y, width - kLabelWidth, Text(how)) + 1;
    }
    y += kGap;

    y = DrawHeading(painter, left, y, width, QStringLiteral("Verdict"));
    painter.setFont(PageFont(kBodyPixels));
    for (const std::string& line : texts_.verdict) {
        painter.drawText(QRectF(left + 2, y, 12, LineHeight(painter)), Qt::AlignLeft | Qt::AlignTop,
                         QStringLiteral("•"));
        y += DrawWrapped(painter, left + 14, y, width - 14, Text(line)) + 3;
    }
    y += kGap;

    // The coverage beside the levels (or, without levels, the rates), the table per ring
    // under them, the plots over the session below: the polar plot takes about half the
    // height the texts and the table leave.
    y = DrawHeading(painter, left, y, width, QStringLiteral("Coverage and reach per ring"));
    const TableLayout table = LayOutTable(painter, texts_.rings, width);
    const double room = bottom - y - table.height - HeadingHeight(painter) - 2 * kGap;
    const double side = std::clamp(room * 0.55, 0.0, width * 0.5);
    // Wider than tall: the legend in its top left corner keeps clear of the bearings.
    const double polarWidth = std::min(side + 110, width * 0.6);
    Place(painter, Figure::Coverage, QRectF(left, y, polarWidth, side));
    std::vector<Figure> below = {Figure::Range};
    if (hasLevels_) below.push_back(Figure::Rates);
    Place(painter, hasLevels_ ? Figure::Levels : Figure::Rates,
          QRectF(left + polarWidth + kGap, y, width - polarWidth - kGap, side));
    y += side + kGap / 2;
    DrawTable(painter, texts_.rings, table, QPointF(left, y));
    y += table.height + kGap;

    y = DrawHeading(painter, left, y, width, QStringLiteral("Over the session"));
    const double share =
        (width - kGap * static_cast<double>(below.size() - 1)) / static_cast<double>(below.size());
    for (std::size_t i = 0; i < below.size(); ++i) {
        Place(painter, below[i],
              QRectF(left + static_cast<double>(i) * (share + kGap), y, share, bottom - y));
    }
}

}  // namespace quorvex::app
