#include "app/receiver_panel.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QSignalBlocker>
#include <QVBoxLayout>

#include "app/combo_mirror.h"
#include "app/control_style.h"
#include "app/engine/measurement_controller.h"
#include "ui/com_led.h"
#include "ui/fixed_slot.h"

namespace quorvex::app {
namespace {

constexpr int kFigurePointSize = 8;

// In DF group order; DF 11 and DF 17-19 are the chart's quantity, hence yellow.
const BarLook kBars[6] = {
    {"Df0Bar", "DF 0", QColor()},         {"Df4_5Bar", "DF 4, 5", Qt::black},
    {"Df11Bar", "DF 11", kYellow},        {"Df11IcBar", "DF 11#", QColor()},
    {"Df17_19Bar", "DF 17- 19", kYellow}, {"Df20_21Bar", "DF 20, 21", Qt::black},
};

}  // namespace

ReceiverPanel::ReceiverPanel(SourceId receiver, QWidget* parent) : QFrame(parent) {
    const bool first = receiver == SourceId::Receiver1;
    const QString name = QStringLiteral("receiver%1").arg(ReceiverNumber(receiver));
    const auto role = [&name](const char* suffix) { return name + QLatin1String(suffix); };
    setObjectName(role("Panel"));
    setFrameShape(QFrame::StyledPanel);
    const QColor background = first ? kReceiver1Colour : kReceiver2Colour;
    const QColor text = first ? QColor(Qt::white) : QColor(Qt::black);

    figure_ = new QLabel(this);
    figure_->setObjectName(role("FigureLabel"));
    figure_->setFont(MonoFont(kFigurePointSize));
    PaintLabel(figure_, text, background);

    QGridLayout* bars = MakeBarRow(this, name, kBars, bars_);

    port_ = new QComboBox(this);
    port_->setObjectName(role("PortList"));
    port_->setFont(MonoFont(10));
    lamp_ = new ui::TComLed(this);
    lamp_->setObjectName(role("ReceiveLamp"));
    lamp_->SetLedSignal(ui::TComLedSignal::lsRx);
    lamp_->SetKind(ui::TLedKind::lkGreenLight);
    lamp_->SetRingDuration(2000);
    lamp_->setFixedSize(40, 25);

    format_ = new QComboBox(this);
    format_->setObjectName(role("FormatList"));
    format_->setEditable(!first);

    rate_ = new QComboBox(this);
    rate_->setObjectName(role("RateList"));
    crc_ = new QCheckBox(QStringLiteral("CRC"), this);
    crc_->setObjectName(role("CrcBox"));

    load_ = new QPushButton(QStringLiteral("Load"), this);
    load_->setObjectName(role("LoadButton"));
    save_ = new QPushButton(QStringLiteral("Save"), this);
    save_->setObjectName(role("SaveButton"));

    profile_ = new QLabel(QString::fromLatin1(kNoProfile.data(), kNoProfile.size()), this);
    profile_->setObjectName(role("ProfileLabel"));
    profile_->setFont(MonoFont(10));
    PaintLabel(profile_, text, background);

    rejected_ = new QLabel(this);
    rejected_->setObjectName(role("RejectedLabel"));
    rejected_->setAlignment(Qt::AlignCenter);
    rejected_->setWordWrap(true);
    rejected_->setStyleSheet(QStringLiteral("color: #b00000;"));

    auto* portRow = new QHBoxLayout;
    portRow->addWidget(port_, 1);
    portRow->addWidget(lamp_);
    auto* rateRow = new QHBoxLayout;
    rateRow->addWidget(rate_, 1);
    rateRow->addWidget(crc_);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(load_);
    buttons->addWidget(save_);

    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(6, 6, 6, 6);
    column->setSpacing(4);
    column->addWidget(new ui::FixedSlot(figure_, this));
    column->addLayout(bars, 1);
    column->addLayout(portRow);
    column->addWidget(format_);
    column->addLayout(rateRow);
    column->addLayout(buttons);
    column->addWidget(profile_);
    column->addWidget(rejected_);

    const auto chosen = [this](ComboModel ReceiverProfile::*list) {
        return [this, list](int index) {
            if (OnListChosen) OnListChosen(list, index);
        };
    };
    connect(port_, &QComboBox::activated, this, chosen(&ReceiverProfile::Port));
    connect(rate_, &QComboBox::activated, this, chosen(&ReceiverProfile::BaudRate));
    connect(format_, &QComboBox::activated, this, chosen(&ReceiverProfile::Format));
    if (QLineEdit* edit = format_->lineEdit()) {
        connect(edit, &QLineEdit::textEdited, this, [this](const QString& typed) {
            if (OnFormatTyped) OnFormatTyped(typed.toStdString());
        });
    }
    connect(crc_, &QCheckBox::clicked, this, [this](bool checked) {
        if (OnCrcClicked) OnCrcClicked(checked);
    });
    connect(load_, &QPushButton::clicked, this, [this] {
        if (OnLoadClicked) OnLoadClicked();
    });
    connect(save_, &QPushButton::clicked, this, [this] {
        if (OnSaveClicked) OnSaveClicked();
    });
}

void ReceiverPanel::WatchPort(serial::TComPort* port) {
    lamp_->SetComPort(port);
}

void ReceiverPanel::ShowControls(const ReceiverProfile& controls, bool crc, bool running,
                                 bool crcEnabled) {
    if (port_->isEditable() != controls.Port.Editable) {
        // A network receiver's host:port is typed; each new line edit reports its typing.
        port_->setEditable(controls.Port.Editable);
        if (QLineEdit* edit = port_->lineEdit()) {
            connect(edit, &QLineEdit::textEdited, this, [this](const QString& typed) {
                if (OnPortTyped) OnPortTyped(typed.toStdString());
            });
        }
    }
    MirrorCombo(port_, controls.Port);
    MirrorCombo(rate_, controls.BaudRate);
    MirrorCombo(format_, controls.Format);
    {
        const QSignalBlocker blocker(crc_);
        crc_->setChecked(crc);
    }
    profile_->setText(QString::fromStdString(controls.Label));
    port_->setEnabled(!running);
    rate_->setEnabled(!running);
    format_->setEnabled(!running);
    crc_->setEnabled(crcEnabled && !running);
}

void ReceiverPanel::FlashLamp() {
    lamp_->Flash();
}

void ReceiverPanel::ShowTrouble(const ReceiverTrouble& trouble) {
    rejected_->setText(QString::fromStdString(trouble.Text));
    rejected_->setToolTip(QString::fromStdString(trouble.ToolTip));
}

void ReceiverPanel::ShowRates(std::span<const std::int32_t, 6> positions, std::int32_t maximum,
                              const std::string& figure) {
    ShowBars(bars_, positions, maximum);
    // A figure with a signal level is longer: it takes a smaller size rather than losing
    // its end.
    ShowFitted(figure_, QString::fromStdString(figure), kFigurePointSize);
}

}  // namespace quorvex::app
