#include "app/aircraft_model.h"

#include <QColor>
#include <QLocale>

#include "app/control_style.h"

namespace quorvex::app {
namespace {

QColor HearingColour(Hearing who) {
    switch (who) {
        case Hearing::Only1:
            return kReceiver1Colour;
        case Hearing::Only2:
            return kReceiver2Colour;
        case Hearing::FeedOnly:
            return kFeedColour;
        case Hearing::Both:
            break;
    }
    return {};
}

}  // namespace

void AircraftModel::Update(const std::vector<AircraftTableRow>& rows) {
    std::unordered_map<std::uint32_t, const AircraftTableRow*> incoming;
    incoming.reserve(rows.size());
    for (const AircraftTableRow& row : rows) incoming.emplace(row.Address, &row);

    // Rows that left go in runs, from the end so the earlier positions stay valid.
    for (std::size_t end = rows_.size(); end > 0;) {
        if (incoming.contains(rows_[end - 1].Address)) {
            --end;
            continue;
        }
        std::size_t first = end - 1;
        while (first > 0 && !incoming.contains(rows_[first - 1].Address)) --first;
        beginRemoveRows({}, static_cast<int>(first), static_cast<int>(end - 1));
        rows_.erase(rows_.begin() + static_cast<std::ptrdiff_t>(first),
                    rows_.begin() + static_cast<std::ptrdiff_t>(end));
        endRemoveRows();
        end = first;
    }

    rowOf_.clear();
    for (std::size_t i = 0; i < rows_.size(); ++i) {
        rows_[i] = *incoming.at(rows_[i].Address);
        rowOf_.emplace(rows_[i].Address, i);
    }
    if (!rows_.empty()) {
        emit dataChanged(index(0, 0), index(static_cast<int>(rows_.size()) - 1, kColumnCount - 1));
    }

    std::vector<const AircraftTableRow*> added;
    for (const AircraftTableRow& row : rows) {
        if (!rowOf_.contains(row.Address)) added.push_back(&row);
    }
    if (added.empty()) return;
    const int first = static_cast<int>(rows_.size());
    beginInsertRows({}, first, first + static_cast<int>(added.size()) - 1);
    for (const AircraftTableRow* row : added) {
        rowOf_.emplace(row->Address, rows_.size());
        rows_.push_back(*row);
    }
    endInsertRows();
}

int AircraftModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(rows_.size());
}

int AircraftModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : kColumnCount;
}

QVariant AircraftModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= rowCount()) return {};
    const AircraftTableRow& row = RowAt(index.row());
    const int column = index.column();
    if (role == kSortRole) {
        switch (column) {
            case Address:
                return row.Address;
            case PerMinute1:
            case PerMinute2:
            case PerMinuteFeed:
                return row.PerMinute[static_cast<std::size_t>(column - PerMinute1)];
            case Ratio:
                return row.Ratio ? *row.Ratio : -1.0;
            case Level1:
            case Level2: {
                const auto& level = row.Level[static_cast<std::size_t>(column - Level1)];
                return level ? static_cast<double>(*level) : -1000.0;
            }
            case Delta:
                return row.DeltaDb ? *row.DeltaDb : -1000.0;
            case SinceHeard:
                return static_cast<qlonglong>(row.SecondsSinceHeard);
            case Who:
                return static_cast<int>(row.Who);
        }
    }
    if (role == Qt::DisplayRole) {
        switch (column) {
            case Address:
                return QString::fromStdString(AddressText(row.Address));
            case Ratio:
                return row.Ratio ? QLocale().toString(*row.Ratio, 'f', 2) : QStringLiteral("–");
            case Level1:
            case Level2: {
                const auto& level = row.Level[static_cast<std::size_t>(column - Level1)];
                return level ? QLocale().toString(static_cast<double>(*level), 'f', 1) : QString();
            }
            case Delta:
                return row.DeltaDb ? QLocale().toString(*row.DeltaDb, 'f', 1) : QString();
            case Who:
                return QString::fromLatin1(HearingText(row.Who).data(),
                                           static_cast<qsizetype>(HearingText(row.Who).size()));
            default:
                return data(index, kSortRole);
        }
    }
    if (role == Qt::TextAlignmentRole) {
        return column == Address || column == Who ? int(Qt::AlignLeft | Qt::AlignVCenter)
                                                  : int(Qt::AlignRight | Qt::AlignVCenter);
    }
    if (column == Who && row.Who != Hearing::Both) {
        if (role == Qt::BackgroundRole) return HearingColour(row.Who);
        if (role == Qt::ForegroundRole) {
            return row.Who == Hearing::Only2 ? QColor(Qt::black) : QColor(Qt::white);
        }
    }
    return {};
}

QVariant AircraftModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole) return {};
    switch (section) {
        case Address:
            return QStringLiteral("Address");
        case PerMinute1:
            return QStringLiteral("1 /min");
        case PerMinute2:
            return QStringLiteral("2 /min");
        case PerMinuteFeed:
            return QStringLiteral("Feed /min");
        case Ratio:
            return QStringLiteral("1 : 2");
        case Level1:
            return QStringLiteral("1 dBFS");
        case Level2:
            return QStringLiteral("2 dBFS");
        case Delta:
            return QStringLiteral("2 − 1 dB");
        case SinceHeard:
            return QStringLiteral("Last (s)");
        case Who:
            return QStringLiteral("Heard by");
    }
    return {};
}

}  // namespace quorvex::app
