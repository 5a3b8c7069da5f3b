#pragma once
// The Aircraft page's table as a Qt model: one row per aircraft, updated in place from tick
// to tick (rows that left are removed, new ones appended, the rest changed), so a view's
// selection and a proxy's sort order survive every refresh.
//
// User-interface thread only.

#include <QAbstractTableModel>

#include <unordered_map>
#include <vector>

#include "core/comparison/aircraft_table.h"

namespace quorvex::app {

class AircraftModel : public QAbstractTableModel {
  public:
    enum Column {
        Address,
        PerMinute1,
        PerMinute2,
        PerMinuteFeed,
        Ratio,
        Level1,
        Level2,
        SinceHeard,
        Who,
        Delta  // last: the sort column a settings file names keeps its meaning
    };
    static constexpr int kColumnCount = Delta + 1;
    static_assert(kColumnCount == kAircraftTableColumns);
    // The role the proxy sorts by: numbers as numbers, a missing ratio below every ratio.
    static constexpr int kSortRole = Qt::UserRole;

    using QAbstractTableModel::QAbstractTableModel;

    void Update(const std::vector<AircraftTableRow>& rows);
    const AircraftTableRow& RowAt(int row) const { return rows_[static_cast<std::size_t>(row)]; }

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

  private:
    std::vector<AircraftTableRow> rows_;
    std::unordered_map<std::uint32_t, std::size_t> rowOf_;  // by address
};

}  // namespace quorvex::app
