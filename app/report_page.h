#pragma once
// The report of an A/B run on one A4 page: the set-up (both receivers, the feed, the
// station, the session's start and end, the time measured and the gaps), the verdict in
// sentences (core/export/report_text.h), both receivers' coverage outlines on a polar plot
// beside the table per ring, each receiver's range and frame rate per period of the session,
// and the level histogram when there are levels. The figures are the window's own plot
// widgets, set as its pages set theirs and painted onto the page's painter, so on a PDF they
// stay lines and text.
//
// User-interface thread only. It needs a QApplication (the widgets), not a display.

#include <QImage>
#include <QSize>

#include <cstdint>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "core/export/report_figures.h"
#include "core/run/run.h"

class QPainter;
class QWidget;

namespace quorvex::ui {
class HistogramPlot;
class LinePlot;
class PolarPlot;
}  // namespace quorvex::ui

namespace quorvex::app {

class MeasurementController;

// A4 portrait in the page's units, 1/96 inch (a CSS pixel): 210 by 297 mm.
inline constexpr double kReportPageWidth = 210.0 / 25.4 * 96.0;
inline constexpr double kReportPageHeight = 297.0 / 25.4 * 96.0;

// A line of the set-up: what ("Receiver 1") and how it was set up.
using SetupLine = std::pair<std::string, std::string>;

// What the report says in words and tables.
struct ReportTexts {
    std::string title;
    std::string session;  // "2026-12-07T14:00:00Z to 2026-12-07T16:05:10Z"
    std::vector<SetupLine> setup;
    std::vector<std::string> verdict;
    ReportTable rings;
    ReportTable periods;
};

// The controller's receivers and feed as set up now, in words.
std::vector<SetupLine> SourceSetup(const MeasurementController& controller);

class ReportPage {
  public:
    enum class Figure { Coverage, Range, Rates, Levels };

    // The report of `run` at `nowUnix` (the session's end so far); `sources` say how its
    // receivers and feed were set up.
    ReportPage(const Run& run, std::vector<SetupLine> sources, std::int64_t nowUnix);
    ~ReportPage();
    ReportPage(const ReportPage&) = delete;
    ReportPage& operator=(const ReportPage&) = delete;

    const ReportTexts& Texts() const { return texts_; }
    // Some frame had a level: the page shows the level histogram.
    bool HasLevels() const { return hasLevels_; }

    // Paints the page onto `painter`, in the page's units (kReportPageWidth wide).
    void Paint(QPainter& painter);
    // One figure alone at `size` page units, `scale` pixels to the unit: the HTML's pictures.
    QImage Picture(Figure figure, QSize size, double scale);

  private:
    QWidget& Widget(Figure figure);
    // Draws `figure` in `box`, at its size.
    void Place(QPainter& painter, Figure figure, const QRectF& box);

    ReportTexts texts_;
    bool hasLevels_ = false;
    std::unique_ptr<ui::PolarPlot> coverage_;
    std::unique_ptr<ui::LinePlot> range_;
    std::unique_ptr<ui::LinePlot> rates_;
    std::unique_ptr<ui::HistogramPlot> levels_;
};

}  // namespace quorvex::app
