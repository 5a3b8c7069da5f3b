#pragma once
// The "Levels" page: by how many dB one receiver hears the same transmissions stronger than
// the other. The sentence that says it; the histogram of the level differences of the twins
// compared, with the median and its 95 % interval; the median and interval per ring against
// range; both receivers' level histograms with the -3 dBFS line gain tuning goes by; the
// counts of twins compared and excluded; the gain changes found; Export CSV (the --level-csv
// table). Without levels on both receivers it says which lacks them and what gives them.
//
// User-interface thread only. The window refreshes it once per tick while it shows.

#include <QWidget>

#include <functional>
#include <string>

#include "core/comparison/level_comparison.h"

class QLabel;
class QPushButton;

namespace quorvex::ui {
class HistogramPlot;
class IntervalPlot;
}  // namespace quorvex::ui

namespace quorvex::app {

// The histogram's bins, and how far either side of the median it reaches.
inline constexpr double kDeltaBinDb = 0.5;
inline constexpr double kDeltaSpanDb = 12.0;

class LevelsPage : public QWidget {
  public:
    explicit LevelsPage(QWidget* parent = nullptr);

    void Refresh(const LevelComparison& levels, double maxRangeNm);

    // The histogram of both receivers' levels as the page shows it, the report too: its
    // titles, bins and -3 dBFS line; then its counts. ShowLevels is false while no frame had
    // a level.
    static void SetUpLevelPlot(ui::HistogramPlot& plot);
    static bool ShowLevels(ui::HistogramPlot& plot, const LevelComparison& levels);

    std::function<void()> OnExportClicked;

    QLabel* SentenceLabel() const { return sentence_; }
    QLabel* MissingLabel() const { return missing_; }
    QLabel* GainChangeLabel() const { return gainChanges_; }
    QLabel* CountsLabel() const { return counts_; }
    ui::HistogramPlot* DeltaPlot() const { return deltaPlot_; }
    ui::IntervalPlot* RingPlot() const { return ringPlot_; }
    ui::HistogramPlot* LevelPlot() const { return levelPlot_; }
    QPushButton* ExportButton() const { return export_; }

  private:
    void ShowDeltas(const LevelComparison& levels);
    void ShowRings(const LevelComparison& levels, double maxRangeNm);

    QLabel* sentence_;
    QLabel* missing_;
    QLabel* gainChanges_;
    QLabel* counts_;
    ui::HistogramPlot* deltaPlot_;
    ui::IntervalPlot* ringPlot_;
    ui::HistogramPlot* levelPlot_;
    QPushButton* export_;
};

}  // namespace quorvex::app
