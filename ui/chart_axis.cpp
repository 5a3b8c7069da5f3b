#include "ui/chart_axis.h"

#include <QFontMetrics>
#include <QPainter>
#include <QPen>

#include <algorithm>
#include <cmath>

#include "ui/chart.h"
#include "ui/chart_font.h"
#include "ui/number_format.h"

namespace quorvex::ui {

double AxisLabelStep(double range, int fit) {
    range = std::fabs(range);
    if (!std::isfinite(range)) return 1;
    // step = mantissa * 10^exponent, mantissa 1, 2 or 5
    int mantissa = 1;
    int exponent = range >= 1 ? 0 : -12;
    auto step = [&] { return mantissa * std::pow(10.0, exponent); };
    while (std::round(range / step()) > fit && exponent < 300) {
        if (mantissa == 1) {
            mantissa = 2;
        } else if (mantissa == 2) {
            mantissa = 5;
        } else {
            mantissa = 1;
            ++exponent;
        }
    }
    return step();
}

int AxisLabelsThatFit(int length, int labelSize, int separationPercent) {
    const int separation = static_cast<int>(std::lround(labelSize * separationPercent / 100.0));
    const int size = labelSize + separation;
    if (size <= 0) return length;
    return static_cast<int>(std::lround(static_cast<double>(length) / size));
}

TChartAxis::TChartAxis(TChart* parent, bool horizontal)
    : parent_(parent),
      horizontal_(horizontal),
      labelsFont_(ChartFont(QStringLiteral("Arial"))),
      titleFont_(ChartFont(QStringLiteral("Arial"))) {}

void TChartAxis::Changed() {
    if (parent_) parent_->InvalidateLayers();
}

void TChartAxis::SetAutomatic(bool value) {
    if (value == automatic_) return;
    automatic_ = value;
    Changed();
}

void TChartAxis::SetAutomaticMinimum(bool value) {
    if (value == automaticMinimum_) return;
    automaticMinimum_ = value;
    Changed();
}

void TChartAxis::SetAutomaticMaximum(bool value) {
    if (value == automaticMaximum_) return;
    automaticMaximum_ = value;
    Changed();
}

void TChartAxis::SetMinimum(double value) {
    if (value == minimum_) return;
    minimum_ = value;
    Changed();
}

void TChartAxis::SetMaximum(double value) {
    if (value == maximum_) return;
    maximum_ = value;
    Changed();
}

void TChartAxis::SetMinMax(double minimum, double maximum) {
    automatic_ = automaticMinimum_ = automaticMaximum_ = false;
    minimum_ = minimum;
    maximum_ = maximum;
    Changed();
}

void TChartAxis::SetTitleCaption(const QString& caption) {
    if (caption == titleCaption_) return;
    titleCaption_ = caption;
    Changed();
}

void TChartAxis::SetTitleAngle(int degrees) {
    if (degrees == titleAngle_) return;
    titleAngle_ = degrees;
    Changed();
}

void TChartAxis::SetAxisValuesFormat(const QString& format) {
    if (format == valuesFormat_) return;
    valuesFormat_ = format;
    Changed();
}

void TChartAxis::AdjustMaxMin(const std::vector<std::unique_ptr<TLineSeries>>& series) {
    const bool autoMax = automatic_ || automaticMaximum_;
    const bool autoMin = automatic_ || automaticMinimum_;
    bool any = false;
    double low = 0, high = 0;
    if (autoMax || autoMin) {
        for (const auto& s : series) {
            if (!s->Active() || s->Count() == 0) continue;
            const TChartValueList& values = horizontal_ ? s->XValues() : s->YValues();
            const double sMin = values.MinValue(), sMax = values.MaxValue();
            low = any ? std::min(low, sMin) : sMin;
            high = any ? std::max(high, sMax) : sMax;
            any = true;
        }
    }
    iMaximum_ = autoMax ? high : maximum_;
    iMinimum_ = autoMin ? low : minimum_;
}

QString TChartAxis::LabelText(double value, const QLocale& locale) const {
    return FormatFloat(valuesFormat_, value, locale);
}

int TChartAxis::MarginSize(const QLocale& locale) const {
    const QFontMetrics labels(labelsFont_);
    const QFontMetrics title(titleFont_);
    const int titleSize = titleCaption_.isEmpty() ? 0 : title.height() + 2;
    int labelSize = 0;
    if (horizontal_) {
        labelSize = labels.height();
    } else if (labelsValid_) {
        for (const Label& label : labels_) labelSize = std::max(labelSize, label.width);
    } else {
        labelSize = std::max(labels.horizontalAdvance(LabelText(iMinimum_, locale)),
                             labels.horizontalAdvance(LabelText(iMaximum_, locale)));
    }
    return tickLength_ + 2 + labelSize + 2 + titleSize;
}

int TChartAxis::EndOverhang(const QLocale& locale) const {
    const QFontMetrics labels(labelsFont_);
    return std::max(labels.horizontalAdvance(LabelText(iMinimum_, locale)),
                    labels.horizontalAdvance(LabelText(iMaximum_, locale))) /
           2;
}

void TChartAxis::SetLength(int length, const QLocale& locale) {
    const QFontMetrics labels(labelsFont_);
    const int labelSize = horizontal_
                              ? std::max(labels.horizontalAdvance(LabelText(iMinimum_, locale)),
                                         labels.horizontalAdvance(LabelText(iMaximum_, locale)))
                              : labels.height();
    labelStep_ = AxisLabelStep(iMaximum_ - iMinimum_,
                               AxisLabelsThatFit(length, labelSize, labelsSeparation_));
    UpdateLabels(locale);
}

void TChartAxis::UpdateLabels(const QLocale& locale) {
    if (labelsValid_ && labelsMinimum_ == iMinimum_ && labelsMaximum_ == iMaximum_ &&
        labelsStep_ == labelStep_ && labelsFormat_ == valuesFormat_ && labelsLocale_ == locale)
        return;
    const QFontMetrics fm(labelsFont_);
    labels_.clear();
    for (double v : LabelValues()) {
        QString text = LabelText(v, locale);
        const int width = fm.horizontalAdvance(text);
        labels_.push_back({v, std::move(text), width});
    }
    labelsValid_ = true;
    labelsMinimum_ = iMinimum_;
    labelsMaximum_ = iMaximum_;
    labelsStep_ = labelStep_;
    labelsFormat_ = valuesFormat_;
    labelsLocale_ = locale;
}

void TChartAxis::SetPlot(const QRect& plot, const QLocale& locale) {
    plot_ = plot;
    SetLength(horizontal_ ? plot.width() - 1 : plot.height() - 1, locale);
    const int margin = MarginSize(locale);
    axisRect_ = horizontal_ ? QRect(plot.left(), plot.bottom() + 1, plot.width(), margin)
                            : QRect(plot.left() - margin, plot.top(), margin, plot.height());
    PlaceTexts();
}

AxisMapping TChartAxis::Mapping() const {
    AxisMapping m;
    m.minimum = iMinimum_;
    m.flat = iMaximum_ == iMinimum_;
    if (horizontal_) {
        m.start = plot_.left();
        m.middle = (plot_.left() + plot_.right()) / 2.0;
        if (!m.flat) m.scale = (plot_.right() - plot_.left()) / (iMaximum_ - iMinimum_);
    } else {
        m.start = plot_.bottom();
        m.middle = (plot_.top() + plot_.bottom()) / 2.0;
        if (!m.flat) m.scale = -(plot_.bottom() - plot_.top()) / (iMaximum_ - iMinimum_);
    }
    return m;
}

double TChartAxis::CalcPosPoint(int pixel) const {
    const AxisMapping m = Mapping();
    if (m.flat || m.scale == 0) return iMinimum_;
    return iMinimum_ + (pixel - m.start) / m.scale;
}

void TChartAxis::Scroll(double offset) {
    double low = iMinimum_ + offset;
    double high = iMaximum_ + offset;
    if (high - low < 1e-10) high = low + 1e-10;
    iMinimum_ = low;
    iMaximum_ = high;
    SetMinMax(low, high);
}

std::vector<double> TChartAxis::LabelValues() const {
    std::vector<double> values;
    const double low = std::min(iMinimum_, iMaximum_);
    const double high = std::max(iMinimum_, iMaximum_);
    if (low == high) {
        values.push_back(low);
        return values;
    }
    const double step = labelStep_;
    const double first = std::ceil(low / step - 1e-9) * step;
    const double count = std::floor((high - first) / step + 1e-9);
    if (!(count >= 0) || count > 10000) return values;
    for (int k = 0; k <= static_cast<int>(count); ++k) {
        double v = first + k * step;
        if (std::fabs(v) < step * 1e-9) v = 0;  // no "-0" from rounding noise
        values.push_back(v);
    }
    return values;
}

void TChartAxis::DrawGrid(QPainter& painter) const {
    if (!gridVisible_) return;
    QPen pen(QColor(0x80, 0x80, 0x80));
    pen.setStyle(Qt::DotLine);
    pen.setCosmetic(true);
    painter.setPen(pen);
    const AxisMapping m = Mapping();
    for (const Label& label : labels_) {
        const int p = static_cast<int>(std::lround(m.Pixel(label.value)));
        if (horizontal_) {
            if (p > plot_.left() && p < plot_.right())
                painter.drawLine(p, plot_.top() + 1, p, plot_.bottom() - 1);
        } else {
            if (p > plot_.top() && p < plot_.bottom())
                painter.drawLine(plot_.left() + 1, p, plot_.right() - 1, p);
        }
    }
}

QRect TChartAxis::LabelBox(const Label& label, const AxisMapping& m, const QFontMetrics& fm) const {
    const int p = static_cast<int>(std::lround(m.Pixel(label.value)));
    if (horizontal_)
        return QRect(p - label.width / 2, plot_.bottom() + tickLength_ + 2, label.width,
                     fm.height());
    const int right = plot_.left() - tickLength_ - 2;
    return QRect(right - label.width, p - fm.height() / 2, label.width, fm.height());
}

QRect TChartAxis::TitleBox(const QFontMetrics& tm, QTransform& transform) const {
    transform.reset();
    if (horizontal_) {
        const QFontMetrics fm(labelsFont_);
        const int top = plot_.bottom() + tickLength_ + 2 + fm.height() + 2;
        return QRect(plot_.left(), top, plot_.width(), tm.height());
    }
    // Turned about its centre, in the outermost strip of the axis's room.
    transform.translate(axisRect_.left() + tm.height() / 2, plot_.center().y());
    transform.rotate(-titleAngle_);
    return titleAngle_ % 180 == 0
               ? QRect(-axisRect_.width(), -tm.height() / 2, 2 * axisRect_.width(), tm.height())
               : QRect(-plot_.height() / 2, -tm.height() / 2, plot_.height(), tm.height());
}

void TChartAxis::PlaceTexts() {
    const AxisMapping m = Mapping();
    const QFontMetrics fm(labelsFont_);
    labelsRect_ = QRect();
    for (const Label& label : labels_) labelsRect_ |= LabelBox(label, m, fm);

    titleRect_ = QRect();
    if (titleCaption_.isEmpty()) return;
    const QFontMetrics tm(titleFont_);
    QTransform transform;
    const QRect box = TitleBox(tm, transform);
    const int width = tm.horizontalAdvance(titleCaption_);
    const QRect text(box.left() + (box.width() - width) / 2, box.top(), width, box.height());
    titleRect_ = transform.mapRect(text);
}

void TChartAxis::DrawAxis(QPainter& painter) const {
    painter.setPen(QPen(Qt::black, 0));
    if (horizontal_) {
        painter.drawLine(plot_.left(), plot_.bottom(), plot_.right(), plot_.bottom());
    } else {
        painter.drawLine(plot_.left(), plot_.top(), plot_.left(), plot_.bottom());
    }

    const AxisMapping m = Mapping();
    // Minor ticks between labels and beyond the outer ones, within the range.
    if (minorTickCount_ > 0 && labels_.size() > 1) {
        const double minorStep = labelStep_ / (minorTickCount_ + 1);
        const double low = std::min(iMinimum_, iMaximum_);
        const double high = std::max(iMinimum_, iMaximum_);
        for (double v = labels_.front().value - labelStep_; v <= high + minorStep * 1e-6;
             v += labelStep_) {
            for (int i = 1; i <= minorTickCount_; ++i) {
                const double minor = v + i * minorStep;
                if (minor < low || minor > high) continue;
                const int p = static_cast<int>(std::lround(m.Pixel(minor)));
                if (horizontal_) {
                    painter.drawLine(p, plot_.bottom() + 1, p, plot_.bottom() + minorTickLength_);
                } else {
                    painter.drawLine(plot_.left() - minorTickLength_, p, plot_.left() - 1, p);
                }
            }
        }
    }

    painter.setFont(labelsFont_);
    const QFontMetrics fm(labelsFont_);
    for (const Label& label : labels_) {
        const int p = static_cast<int>(std::lround(m.Pixel(label.value)));
        if (horizontal_) {
            painter.drawLine(p, plot_.bottom() + 1, p, plot_.bottom() + tickLength_);
        } else {
            painter.drawLine(plot_.left() - tickLength_, p, plot_.left() - 1, p);
        }
        // The box is as wide as the text's advance; the glyphs' edges may reach beyond it.
        const QRect box = LabelBox(label, m, fm);
        if (horizontal_) {
            painter.drawText(box.adjusted(-1, 0, 1, 0), Qt::AlignCenter | Qt::TextDontClip,
                             label.text);
        } else {
            painter.drawText(box, Qt::AlignRight | Qt::AlignVCenter | Qt::TextDontClip, label.text);
        }
    }

    if (titleCaption_.isEmpty()) return;
    painter.setFont(titleFont_);
    QTransform transform;
    const QRect box = TitleBox(QFontMetrics(titleFont_), transform);
    painter.save();
    painter.setTransform(transform, true);
    painter.drawText(box, Qt::AlignCenter, titleCaption_);
    painter.restore();
}

}  // namespace quorvex::ui
