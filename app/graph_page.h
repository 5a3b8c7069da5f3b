#pragma once
// The "Graph" page: the rate chart, the receivers' profile names over its top corners, and
// below it the chart window list, Copy, Clear, Hold and Export CSV, and the time stamp that only a
// Copy shows.
//
// User-interface thread only. It shows what it is given and reports user actions.

#include <QWidget>

#include <array>
#include <functional>
#include <vector>

#include "core/run/measurement.h"

class QComboBox;
class QLabel;
class QPushButton;

namespace quorvex::ui {
class TChart;
}

namespace quorvex::app {

class GraphPage : public QWidget {
  public:
    explicit GraphPage(QWidget* parent = nullptr);

    // Replaces every series' points with the tick's.
    void ShowSeries(const std::array<std::vector<ChartPoint>, kChartSeriesCount>& series);
    void ShowTitle(const QString& title);
    void ShowProfileNames(const QString& left, const QString& right);
    void ShowHold(bool down);

    std::function<void(int index)> OnChartWindowChosen;
    std::function<void()> OnCopyClicked;
    std::function<void()> OnClearClicked;
    std::function<void(bool down)> OnHoldClicked;
    std::function<void()> OnExportClicked;

    ui::TChart* Chart() const { return chart_; }
    QComboBox* ChartWindowList() const { return window_; }
    QPushButton* CopyButton() const { return copy_; }
    QPushButton* ClearButton() const { return clear_; }
    QPushButton* HoldButton() const { return hold_; }
    QPushButton* ExportButton() const { return export_; }
    QLabel* LeftProfileLabel() const { return left_; }
    QLabel* RightProfileLabel() const { return right_; }
    QLabel* CopyStampLabel() const { return stamp_; }

  private:
    ui::TChart* chart_;
    QLabel* left_;
    QLabel* right_;
    QComboBox* window_;
    QPushButton* copy_;
    QPushButton* clear_;
    QPushButton* hold_;
    QPushButton* export_;
    QLabel* stamp_;
};

}  // namespace quorvex::app
