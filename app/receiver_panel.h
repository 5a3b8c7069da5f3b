#pragma once
// One receiver's column of the Control page, used twice: its rate figure, six bars (one per
// DF group), the port list with its receive lamp, the line format and rate lists, the CRC
// box, the profile buttons and label, and the count of packets it rejected.
//
// User-interface thread only. The panel shows what it is given and reports user actions
// through its callbacks; it decides nothing.

#include <QFrame>

#include <array>
#include <cstdint>
#include <functional>
#include <span>
#include <string>

#include "app/engine/receiver_input.h"
#include "core/base/source_id.h"
#include "core/settings/combo_model.h"
#include "core/settings/profiles.h"
#include "ui/rate_bar.h"

class QCheckBox;
class QComboBox;
class QLabel;
class QPushButton;

namespace quorvex::serial {
class TComPort;
}
namespace quorvex::ui {
class TComLed;
}

namespace quorvex::app {

class ReceiverPanel : public QFrame {
  public:
    // Names every control "receiver<N>..." by its role, N the receiver's number.
    ReceiverPanel(SourceId receiver, QWidget* parent = nullptr);

    // The receive lamp follows this port by itself.
    void WatchPort(serial::TComPort* port);

    // Shows the model. The lists are disabled while running; the CRC box is disabled from
    // the program's start until the first Stop and while running.
    void ShowControls(const ReceiverProfile& controls, bool crc, bool running, bool crcEnabled);
    // What keeps the receiver from counting (ReceiverInput::Trouble), or nothing.
    void ShowTrouble(const ReceiverTrouble& trouble);
    // Traffic from a receiver on the network lights the receive lamp.
    void FlashLamp();
    void ShowRates(std::span<const std::int32_t, 6> positions, std::int32_t maximum,
                   const std::string& figure);

    // A user choice in the port, rate or format list (index), or text typed into an
    // editable format box.
    std::function<void(ComboModel ReceiverProfile::*list, int index)> OnListChosen;
    std::function<void(const std::string& text)> OnFormatTyped;
    std::function<void(const std::string& text)> OnPortTyped;
    std::function<void(bool checked)> OnCrcClicked;
    std::function<void()> OnLoadClicked;
    std::function<void()> OnSaveClicked;

    QLabel* FigureLabel() const { return figure_; }
    QProgressBar* Bar(int group) const { return bars_[static_cast<std::size_t>(group)]; }
    QComboBox* PortList() const { return port_; }
    QComboBox* FormatList() const { return format_; }
    QComboBox* RateList() const { return rate_; }
    QCheckBox* CrcBox() const { return crc_; }
    QPushButton* LoadButton() const { return load_; }
    QPushButton* SaveButton() const { return save_; }
    QLabel* ProfileLabel() const { return profile_; }
    QLabel* RejectedLabel() const { return rejected_; }
    ui::TComLed* ReceiveLamp() const { return lamp_; }

  private:
    QLabel* figure_;
    std::array<ui::RateBar*, 6> bars_{};
    QComboBox* port_;
    ui::TComLed* lamp_;
    QComboBox* format_;
    QComboBox* rate_;
    QCheckBox* crc_;
    QPushButton* load_;
    QPushButton* save_;
    QLabel* profile_;
    QLabel* rejected_;
};

}  // namespace quorvex::app
