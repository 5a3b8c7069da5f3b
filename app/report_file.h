#pragma once
// The report's page (app/report_page.h) written to a file, in the format its name ends in:
// .pdf (one A4 page, its figures as lines and text), .png (the page as an image at
// kReportPngDpi) or .html (one self-contained XHTML file: the texts and tables as text, the
// figures inside as PNG data). Each write replaces the file whole, so a reader never sees
// half a report.
//
// User-interface thread only; needs a QApplication, not a display.

#include <QImage>
#include <QString>

#include <optional>
#include <string>

#include "app/report_page.h"

namespace quorvex::app {

class MeasurementController;

inline constexpr int kReportPngDpi = 150;

// Writes `page` to `path`. Nothing when written; else "Cannot write the report PATH: REASON".
std::optional<std::string> WriteReport(ReportPage& page, const std::string& path);

// The report of the controller's run now, written to `path`: the front-ends' ReportWriter.
std::optional<std::string> WriteReportFile(const MeasurementController& controller,
                                           const std::string& path);

// The page as the PNG file holds it: A4 at kReportPngDpi.
QImage ReportImage(ReportPage& page);
// The page as the HTML file holds it.
QByteArray ReportHtml(ReportPage& page);

}  // namespace quorvex::app
