#pragma once
// The "History" page: how each receiver's reach changes over the session. Per period of the
// session's history (--history-every, an hour unless set): the farthest and the
// 95th-percentile range of each receiver, and the share of the position frames either heard
// that both heard; a line that says what the session measured.
//
// User-interface thread only. The window refreshes it once per tick while it shows.

#include <QWidget>

#include <vector>

#include "core/run/session_history.h"

class QLabel;

namespace quorvex::ui {
class LinePlot;
}

namespace quorvex::app {

class HistoryPage : public QWidget {
  public:
    explicit HistoryPage(QWidget* parent = nullptr);

    void Refresh(const std::vector<HistoryRow>& rows, int periodMinutes);

    QLabel* SummaryLabel() const { return summary_; }
    ui::LinePlot* RangePlot() const { return range_; }
    ui::LinePlot* SharePlot() const { return share_; }

  private:
    QLabel* summary_;
    ui::LinePlot* range_;
    ui::LinePlot* share_;
};

}  // namespace quorvex::app
