#pragma once
// The "History" page: how each receiver's reach changes over the session. Per period of the
// session's history (--history-every, an hour unless set): the farthest and the
// 95th-percentile range of each receiver, and the share of the position frames either heard
// that both heard; a line that says what the session measured; Report… (the run's one-page
// report, app/report_file.h).
//
// User-interface thread only. The window refreshes it once per tick while it shows.

#include <QWidget>

#include <functional>
#include <vector>

#include "core/run/run.h"
#include "core/run/session_history.h"

class QLabel;
class QPushButton;

namespace quorvex::ui {
class LinePlot;
}

namespace quorvex::app {

class HistoryPage : public QWidget {
  public:
    explicit HistoryPage(QWidget* parent = nullptr);

    void Refresh(const std::vector<HistoryRow>& rows, int periodMinutes,
                 const std::vector<Run::Gap>& gaps = {});

    // The range plot as the page shows it, the report too: its titles, then per period each
    // receiver's farthest and 95th-percentile range.
    static void SetUpRangePlot(ui::LinePlot& plot);
    static void ShowRanges(ui::LinePlot& plot, const std::vector<HistoryRow>& rows,
                           int periodMinutes);

    std::function<void()> OnReportClicked;

    QLabel* SummaryLabel() const { return summary_; }
    ui::LinePlot* RangePlot() const { return range_; }
    ui::LinePlot* SharePlot() const { return share_; }
    QPushButton* ReportButton() const { return report_; }

  private:
    QLabel* summary_;
    ui::LinePlot* range_;
    ui::LinePlot* share_;
    QPushButton* report_;
};

}  // namespace quorvex::app
