#include "app/feed_panel.h"

#include <QComboBox>
#include <QGridLayout>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QSignalBlocker>
#include <QVBoxLayout>

#include "app/control_style.h"

namespace quorvex::app {

FeedPanel::FeedPanel(QWidget* parent) : QFrame(parent) {
    setObjectName(QStringLiteral("feedPanel"));
    setFrameShape(QFrame::StyledPanel);

    figure_ = new QLabel(this);
    figure_->setObjectName(QStringLiteral("feedFigureLabel"));
    figure_->setFont(MonoFont(8));
    PaintLabel(figure_, Qt::white, kFeedColour);

    struct BarSpec {
        const char* role;
        const char* caption;
        QColor colour;
    };
    const BarSpec specs[3] = {{"feedMsg5_6Bar", "DF 4,5, 20,21", Qt::black},
                              {"feedMsg8Bar", "DF 11", kYellow},
                              {"feedMsgOtherBar", "DF 17", kYellow}};
    auto* bars = new QGridLayout;
    bars->setHorizontalSpacing(6);
    bars->setVerticalSpacing(2);
    for (int i = 0; i < 3; ++i) {
        const BarSpec& spec = specs[i];
        QProgressBar* bar = MakeRateBar(this, QString::fromLatin1(spec.role));
        SetBarColour(bar, spec.colour);
        bars_[static_cast<std::size_t>(i)] = bar;
        auto* caption = new QLabel(QString::fromLatin1(spec.caption), this);
        caption->setObjectName(QString::fromLatin1(spec.role) + QStringLiteral("Caption"));
        caption->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
        caption->setWordWrap(true);
        bars->addWidget(bar, 0, i, Qt::AlignHCenter);
        bars->addWidget(caption, 1, i);
        bars->setColumnStretch(i, 1);
    }

    port_ = new QComboBox(this);
    port_->setObjectName(QStringLiteral("feedPortBox"));
    port_->setEditable(true);
    port_->setFont(MonoFont(10));
    port_->setEditText(QStringLiteral("TCP Port 30003"));
    port_->setEnabled(false);

    connect_ = new QPushButton(QStringLiteral("Connect"), this);
    connect_->setObjectName(QStringLiteral("connectButton"));
    connect_->setCheckable(true);

    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(6, 6, 6, 6);
    column->setSpacing(4);
    column->addWidget(figure_);
    column->addLayout(bars, 1);
    column->addWidget(port_);
    column->addWidget(connect_);

    connect(connect_, &QPushButton::clicked, this, [this](bool down) {
        if (OnConnectClicked) OnConnectClicked(down);
    });
}

void FeedPanel::ShowControls(bool connectDown, bool portBoxEnabled) {
    const QSignalBlocker blocker(connect_);
    connect_->setChecked(connectDown);
    port_->setEnabled(portBoxEnabled);
}

void FeedPanel::ShowRates(std::span<const std::int32_t, 3> positions, std::int32_t maximum,
                          const std::string& figure) {
    for (std::size_t i = 0; i < bars_.size(); ++i) {
        bars_[i]->setRange(0, std::max(maximum, 1));
        bars_[i]->setValue(positions[i]);
    }
    figure_->setText(QString::fromStdString(figure));
}

}  // namespace quorvex::app
