#include "app/feed_panel.h"

#include <QComboBox>
#include <QGridLayout>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QSignalBlocker>
#include <QVBoxLayout>

#include "app/control_style.h"
#include "ui/fixed_slot.h"

namespace quorvex::app {

FeedPanel::FeedPanel(QWidget* parent) : QFrame(parent) {
    setObjectName(QStringLiteral("feedPanel"));
    setFrameShape(QFrame::StyledPanel);

    figure_ = new QLabel(this);
    figure_->setObjectName(QStringLiteral("feedFigureLabel"));
    figure_->setFont(MonoFont(8));
    PaintLabel(figure_, Qt::white, kFeedColour);

    static const BarLook kBars[3] = {{"Msg5_6Bar", "DF 4,5, 20,21", Qt::black},
                                     {"Msg8Bar", "DF 11", kYellow},
                                     {"MsgOtherBar", "DF 17", kYellow}};
    QGridLayout* bars = MakeBarRow(this, QStringLiteral("feed"), kBars, bars_);

    port_ = new QComboBox(this);
    port_->setObjectName(QStringLiteral("feedPortBox"));
    port_->setEditable(true);
    port_->setFont(MonoFont(10));
    port_->setEditText(QStringLiteral("TCP Port 30003"));
    port_->setEnabled(false);

    connect_ = new QPushButton(QStringLiteral("Connect"), this);
    connect_->setObjectName(QStringLiteral("connectButton"));
    connect_->setCheckable(true);

    trouble_ = new QLabel(this);
    trouble_->setObjectName(QStringLiteral("feedTroubleLabel"));
    trouble_->setAlignment(Qt::AlignCenter);
    trouble_->setWordWrap(true);
    trouble_->setStyleSheet(QStringLiteral("color: #b00000;"));

    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(6, 6, 6, 6);
    column->setSpacing(4);
    column->addWidget(new ui::FixedSlot(figure_, this));
    column->addLayout(bars, 1);
    column->addWidget(port_);
    column->addWidget(connect_);
    column->addWidget(trouble_);

    connect(connect_, &QPushButton::clicked, this, [this](bool down) {
        if (OnConnectClicked) OnConnectClicked(down);
    });
}

void FeedPanel::ShowControls(bool connectDown, bool portBoxEnabled) {
    const QSignalBlocker blocker(connect_);
    connect_->setChecked(connectDown);
    port_->setEnabled(portBoxEnabled);
}

void FeedPanel::ShowTrouble(const std::string& text) {
    trouble_->setText(QString::fromStdString(text));
    trouble_->setToolTip(trouble_->text());
}

void FeedPanel::ShowRates(std::span<const std::int32_t, 3> positions, std::int32_t maximum,
                          const std::string& figure) {
    ShowBars(bars_, positions, maximum);
    figure_->setText(QString::fromStdString(figure));
}

}  // namespace quorvex::app
