#pragma once
// The "Aircraft" page: which aircraft each receiver hears. A summary line (how many aircraft
// both receivers, only one of them, or only the feed heard in the last five minutes, and the
// median ratio), a line that appears once the tally has had to drop aircraft at its bound, a
// sortable table with a row per aircraft, and "Export CSV" for the table as it stands.
//
// User-interface thread only. The window refreshes it once per tick while it shows.

#include <QWidget>

#include <functional>
#include <vector>

#include "core/comparison/aircraft_table.h"
#include "core/settings/window_settings.h"

class QLabel;
class QPushButton;
class QSortFilterProxyModel;
class QTableView;

namespace quorvex::app {

class AircraftModel;

class AircraftPage : public QWidget {
  public:
    explicit AircraftPage(QWidget* parent = nullptr);

    // The table and summary from the tally after its Tick(nowSecond).
    void Refresh(const AircraftTally& tally, std::int64_t nowSecond);
    // The rows in the order the table shows them, as CSV.
    std::string TableCsv() const;

    // Until a person sets a column's width (or ShowColumnWidths does), the columns share the
    // table's width evenly at every size; from then on they keep their widths.
    // The widths once set, empty while the columns share the width.
    std::vector<int> ColumnWidths() const;
    // Widths for every column; any other count leaves the columns sharing the width.
    void ShowColumnWidths(const std::vector<int>& widths);
    TableSort Sort() const;
    void ShowSort(const TableSort& sort);

    std::function<void()> OnExportClicked;

    QLabel* SummaryLabel() const { return summary_; }
    QLabel* DroppedLabel() const { return dropped_; }
    QTableView* Table() const { return table_; }
    QPushButton* ExportButton() const { return export_; }
    AircraftModel* Model() const { return model_; }
    QSortFilterProxyModel* SortedModel() const { return sorted_; }

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    void ShareWidth();

    QLabel* summary_;
    QLabel* dropped_;  // shown only once the tally has dropped aircraft
    QTableView* table_;
    QPushButton* export_;
    AircraftModel* model_;
    QSortFilterProxyModel* sorted_;
    std::vector<AircraftTableRow> rows_;  // reused from tick to tick
    bool widthsSet_ = false;
    bool sharing_ = false;  // ShareWidth is resizing the columns
};

}  // namespace quorvex::app
