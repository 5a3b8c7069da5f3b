#pragma once
// The "Coverage" page: how far and where each source hears. A polar plot of the outlines
// (the farthest range per 5-degree slice) of receiver 1, receiver 2 and the feed, with dots
// where frames were heard by one receiver only; the altitude band they show; the station's
// location and maximum range; a summary and a table per range ring; Copy (the plot),
// Export CSV and Clear. Without a station it says how to set one.
//
// User-interface thread only. The window refreshes it once per tick while it shows.

#include <QWidget>

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "core/comparison/coverage.h"

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QTableWidget;

namespace quorvex::ui {
class PolarPlot;
}

namespace quorvex::app {

// The outline's slices: the farthest range in each 5 degrees of bearing.
inline constexpr int kOutlineSliceDeg = 5;

class CoveragePage : public QWidget {
  public:
    explicit CoveragePage(QWidget* parent = nullptr);

    // Plot, summary and table from the coverage, in the chosen band.
    void Refresh(const Coverage& coverage);
    // The station's fields as the settings hold them.
    void ShowStation(const std::optional<LatLon>& station, double maxRangeNm);
    AltitudeBand Band() const;
    // The sector table (as --coverage-csv writes it), an empty line, the ring table.
    static std::string ExportText(const Coverage& coverage);
    // The outlines of receiver 1, receiver 2 and (with `feed`) the feed in `band` on `plot`,
    // out to the coverage's maximum range, and what it says while no station is set: the
    // page's plot and the report's.
    static void ShowOutlines(ui::PolarPlot& plot, const Coverage& coverage, AltitudeBand band,
                             bool feed = true);

    std::function<void(LatLon station, double maxRangeNm)> OnStationApplied;
    std::function<void()> OnViewChanged;  // the band or the dots' box
    std::function<void()> OnCopyClicked;
    std::function<void()> OnExportClicked;
    std::function<void()> OnClearClicked;

    ui::PolarPlot* Plot() const { return plot_; }
    QComboBox* BandList() const { return band_; }
    QCheckBox* DotsBox() const { return dots_; }
    QLineEdit* LatitudeEdit() const { return lat_; }
    QLineEdit* LongitudeEdit() const { return lon_; }
    QLineEdit* MaxRangeEdit() const { return range_; }
    QPushButton* ApplyButton() const { return apply_; }
    QLabel* StationErrorLabel() const { return stationError_; }
    QLabel* NoStationLabel() const { return noStation_; }
    QLabel* SummaryLabel() const { return summary_; }
    QTableWidget* RingTable() const { return rings_; }
    QPushButton* CopyButton() const { return copy_; }
    QPushButton* ExportButton() const { return export_; }
    QPushButton* ClearButton() const { return clear_; }

  private:
    void Apply();

    ui::PolarPlot* plot_;
    QComboBox* band_;
    QCheckBox* dots_;
    QLineEdit* lat_;
    QLineEdit* lon_;
    QLineEdit* range_;
    QPushButton* apply_;
    QLabel* stationError_;
    QLabel* noStation_;
    QLabel* summary_;
    QTableWidget* rings_;
    QPushButton* copy_;
    QPushButton* export_;
    QPushButton* clear_;
    // Reused from tick to tick.
    std::vector<QPointF> dotPoints_;
};

}  // namespace quorvex::app
