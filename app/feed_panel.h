#pragma once
// The port-30003 feed's column of the Control page: its rate figure, three bars (messages of
// type 5/6, 8, and the rest), the port box, the Connect toggle and why no connection stands.
//
// User-interface thread only. It shows what it is given and reports the toggle.

#include <QFrame>

#include <array>
#include <cstdint>
#include <functional>
#include <span>
#include <string>

#include "ui/rate_bar.h"

class QComboBox;
class QLabel;
class QPushButton;

namespace quorvex::app {

class FeedPanel : public QFrame {
  public:
    explicit FeedPanel(QWidget* parent = nullptr);

    void ShowControls(bool connectDown, bool portBoxEnabled);
    // Why the feed's connection ended (MeasurementController::FeedTrouble), or nothing.
    void ShowTrouble(const std::string& text);
    void ShowRates(std::span<const std::int32_t, 3> positions, std::int32_t maximum,
                   const std::string& figure);

    std::function<void(bool down)> OnConnectClicked;

    QLabel* FigureLabel() const { return figure_; }
    QProgressBar* Bar(int index) const { return bars_[static_cast<std::size_t>(index)]; }
    QComboBox* PortBox() const { return port_; }
    QPushButton* ConnectButton() const { return connect_; }
    QLabel* TroubleLabel() const { return trouble_; }

  private:
    QLabel* figure_;
    std::array<ui::RateBar*, 3> bars_{};
    QComboBox* port_;
    QPushButton* connect_;
    QLabel* trouble_;
};

}  // namespace quorvex::app
