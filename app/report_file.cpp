#include "app/report_file.h"

#include <QBuffer>
#include <QDateTime>
#include <QImageWriter>
#include <QPageLayout>
#include <QPageSize>
#include <QPainter>
#include <QPdfWriter>
#include <QSaveFile>

#include <cmath>

#include "app/engine/command_line.h"
#include "app/engine/measurement_controller.h"
#include "platform/whole_file.h"

namespace quorvex::app {
namespace {

// The PDF's own units: its vectors do not depend on them, only rounding does.
constexpr int kPdfDpi = 600;
// The HTML's pictures: their size in CSS pixels, drawn at twice that for sharp print.
constexpr double kPictureScale = 2.0;
const QSize kPolarPicture(380, 380);
const QSize kPlotPicture(720, 240);

std::string Escaped(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (const char c : text) {
        switch (c) {
            case '&':
                out += "&amp;";
                break;
            case '<':
                out += "&lt;";
                break;
            case '>':
                out += "&gt;";
                break;
            case '"':
                out += "&quot;";
                break;
            default:
                out += c;
        }
    }
    return out;
}

std::string Tagged(const char* tag, std::string_view text) {
    return std::string("<") + tag + ">" + Escaped(text) + "</" + tag + ">";
}

std::string TableHtml(const ReportTable& table, const char* id) {
    std::string html = std::string("<table class=\"data\" id=\"") + id + "\">\n<thead><tr>";
    for (const std::string& cell : table.header) html += Tagged("th", cell);
    html += "</tr></thead>\n<tbody>\n";
    for (const auto& row : table.rows) {
        html += "<tr>";
        for (const std::string& cell : row) html += Tagged("td", cell);
        html += "</tr>\n";
    }
    return html + "</tbody>\n</table>\n";
}

std::string PictureHtml(ReportPage& page, ReportPage::Figure figure, QSize size,
                        std::string_view what) {
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    page.Picture(figure, size, kPictureScale).save(&buffer, "PNG");
    return "<img width=\"" + std::to_string(size.width()) + "\" height=\"" +
           std::to_string(size.height()) + "\" alt=\"" + Escaped(what) +
           "\" src=\"data:image/png;base64," + png.toBase64().toStdString() + "\"/>\n";
}

constexpr std::string_view kStyle = R"(@page { size: A4; margin: 10mm; }
body { font-family: sans-serif; font-size: 12px; max-width: 740px; margin: 24px auto; }
h1 { font-size: 22px; margin: 0; }
h2 { font-size: 15px; color: #19376e; margin: 14px 0 4px; }
p.session { margin: 2px 0 8px; }
table { border-collapse: collapse; }
th, td { padding: 2px 6px; }
table.setup th { text-align: left; vertical-align: top; padding-left: 0; }
table.data th { text-align: right; border-bottom: 1px solid #999; }
table.data td { text-align: right; }
table.data th:first-child, table.data td:first-child { text-align: left; }
table.data tbody tr:nth-child(even) { background: #f2f2f2; }
div.row { display: flex; flex-wrap: wrap; gap: 10px; align-items: flex-start; }
ul { padding-left: 18px; margin: 0; }
img { display: block; margin: 4px 0; }
)";

bool PaintPdf(ReportPage& page, QIODevice& device) {
    QPdfWriter writer(&device);
    writer.setPageLayout(
        QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Portrait, QMarginsF(0, 0, 0, 0)));
    writer.setResolution(kPdfDpi);
    writer.setTitle(QString::fromStdString(page.Texts().title));
    writer.setCreator(
        QString::fromUtf8(kVersionText.data(), static_cast<qsizetype>(kVersionText.size())));
    QPainter painter;
    if (!painter.begin(&writer)) return false;
    painter.setRenderHint(QPainter::Antialiasing);
    painter.scale(kPdfDpi / 96.0, kPdfDpi / 96.0);
    page.Paint(painter);
    return painter.end();
}

}  // namespace

QImage ReportImage(ReportPage& page) {
    const double scale = kReportPngDpi / 96.0;
    QImage image(static_cast<int>(std::lround(kReportPageWidth * scale)),
                 static_cast<int>(std::lround(kReportPageHeight * scale)), QImage::Format_RGB32);
    // Printed, the image is A4 again.
    const int dotsPerMeter = static_cast<int>(std::lround(kReportPngDpi / 0.0254));
    image.setDotsPerMeterX(dotsPerMeter);
    image.setDotsPerMeterY(dotsPerMeter);
    image.fill(Qt::white);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.scale(scale, scale);
    page.Paint(painter);
    return image;
}

QByteArray ReportHtml(ReportPage& page) {
    const ReportTexts& texts = page.Texts();
    std::string html =
        "<!DOCTYPE html>\n<html xmlns=\"http://www.w3.org/1999/xhtml\" lang=\"en\">\n<head>\n"
        "<meta charset=\"utf-8\"/>\n" +
        Tagged("title", texts.title) + "\n<style>\n" + std::string(kStyle) +
        "</style>\n</head>\n<body>\n" + Tagged("h1", texts.title) + "\n<p class=\"session\">" +
        Escaped(texts.session) + " UTC</p>\n";
    html += "<h2>Set-up</h2>\n<table class=\"setup\" id=\"setup\">\n";
    for (const auto& [what, how] : texts.setup) {
        html += "<tr>" + Tagged("th", what) + Tagged("td", how) + "</tr>\n";
    }
    html += "</table>\n<h2>Verdict</h2>\n<ul id=\"verdict\">\n";
    for (const std::string& line : texts.verdict) html += Tagged("li", line) + "\n";
    html += "</ul>\n<h2>Coverage and reach per ring</h2>\n<div class=\"row\">\n" +
            PictureHtml(page, ReportPage::Figure::Coverage, kPolarPicture,
                        "Coverage outlines of receiver 1 and receiver 2") +
            TableHtml(texts.rings, "rings") + "</div>\n<h2>Over the session</h2>\n" +
            PictureHtml(page, ReportPage::Figure::Range, kPlotPicture,
                        "Farthest and 95th-percentile range per period") +
            PictureHtml(page, ReportPage::Figure::Rates, kPlotPicture,
                        "Frames a second of each receiver per period");
    if (page.HasLevels()) {
        html += PictureHtml(page, ReportPage::Figure::Levels, kPlotPicture,
                            "Levels of each receiver's frames");
    }
    html += TableHtml(texts.periods, "periods") + "</body>\n</html>\n";
    return QByteArray::fromStdString(html);
}

std::optional<std::string> WriteReport(ReportPage& page, const std::string& path) {
    const auto failure = [&path](const std::string& reason) {
        return "Cannot write the report " + path + ": " + reason;
    };
    const auto format = ReportFormatOf(path);
    if (!format) return failure("its name " + std::string(kReportEndingsText));
    // Through a link to its file; never over anything but a regular file.
    const platform::ReplaceTarget target = platform::FindReplaceTarget(path);
    if (!target.Reason.empty()) return failure(target.Reason);
    QSaveFile file(QString::fromStdString(target.Path));
    if (!file.open(QIODevice::WriteOnly)) return failure(file.errorString().toStdString());
    switch (*format) {
        case ReportFormat::Pdf:
            if (!PaintPdf(page, file)) return failure("the PDF could not be drawn");
            break;
        case ReportFormat::Png: {
            QImageWriter writer(&file, "png");
            if (!writer.write(ReportImage(page))) {
                return failure(writer.errorString().toStdString());
            }
            break;
        }
        case ReportFormat::Html: {
            const QByteArray html = ReportHtml(page);
            if (file.write(html) != html.size()) return failure(file.errorString().toStdString());
            break;
        }
    }
    if (!file.commit()) return failure(file.errorString().toStdString());
    return std::nullopt;
}

std::optional<std::string> WriteReportFile(const MeasurementController& controller,
                                           const std::string& path) {
    ReportPage page(controller.CurrentRun(), SourceSetup(controller),
                    QDateTime::currentSecsSinceEpoch());
    return WriteReport(page, path);
}

}  // namespace quorvex::app
