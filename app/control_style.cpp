#include "app/control_style.h"

#include <QApplication>
#include <QFontMetrics>

#include <QGridLayout>
#include <QLabel>
#include <QPalette>
#include <QProgressBar>
#include <climits>

#include "ui/rate_bar.h"

namespace quorvex::app {

QFont SansFont(int pointSize, bool bold) {
    QFont font(QStringLiteral("Sans Serif"), pointSize);
    font.setStyleHint(QFont::SansSerif);
    font.setBold(bold);
    return font;
}

QFont MonoFont(int pointSize) {
    QFont font(QStringLiteral("Liberation Mono"), pointSize);
    font.setStyleHint(QFont::TypeWriter);
    return font;
}

ui::RateBar* MakeRateBar(QWidget* parent, const QString& objectName) {
    auto* bar = new ui::RateBar(parent);
    bar->setObjectName(objectName);
    bar->setRange(0, 100);
    bar->setValue(0);
    SetBarColour(bar, QColor());
    return bar;
}

void SetBarColour(QProgressBar* bar, const QColor& colour) {
    const QColor fill =
        colour.isValid() ? colour : QApplication::palette().color(QPalette::Highlight);
    QPalette palette = bar->palette();
    palette.setColor(QPalette::Highlight, fill);
    bar->setPalette(palette);
}

QGridLayout* MakeBarRow(QWidget* parent, const QString& prefix, std::span<const BarLook> looks,
                        std::span<ui::RateBar*> bars) {
    auto* row = new QGridLayout;
    row->setHorizontalSpacing(4);
    row->setVerticalSpacing(2);
    for (std::size_t i = 0; i < looks.size() && i < bars.size(); ++i) {
        const BarLook& look = looks[i];
        const QString role = prefix + QString::fromLatin1(look.role);
        bars[i] = MakeRateBar(parent, role);
        SetBarColour(bars[i], look.colour);
        auto* caption = new QLabel(QString::fromLatin1(look.caption), parent);
        caption->setObjectName(role + QStringLiteral("Caption"));
        caption->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
        caption->setWordWrap(true);
        const int column = static_cast<int>(i);
        row->addWidget(bars[i], 0, column, Qt::AlignHCenter);
        row->addWidget(caption, 1, column);
        row->setColumnStretch(column, 1);
    }
    return row;
}

void ShowBars(std::span<ui::RateBar* const> bars, std::span<const std::int32_t> positions,
              std::int32_t maximum) {
    for (std::size_t i = 0; i < bars.size() && i < positions.size(); ++i) {
        bars[i]->Show(positions[i], std::max(maximum, 1));
    }
}

void PaintLabel(QLabel* label, const QColor& text, const QColor& background) {
    label->setAutoFillBackground(true);
    QPalette palette = label->palette();
    palette.setColor(QPalette::Window, background);
    palette.setColor(QPalette::WindowText, text);
    label->setPalette(palette);
    label->setAlignment(Qt::AlignCenter);
}

void ShowFitted(QLabel* label, const QString& text, int pointSize) {
    QFont font = label->font();
    font.setPointSize(pointSize);
    // Until the label is laid out its width says nothing.
    const int room =
        !label->isVisible() ? INT_MAX : label->contentsRect().width() - 2 * label->margin() - 4;
    while (font.pointSize() > 5 && QFontMetrics(font).horizontalAdvance(text) > room) {
        font.setPointSize(font.pointSize() - 1);
    }
    if (font != label->font()) label->setFont(font);
    label->setText(text);
}

}  // namespace quorvex::app
