#include "views/history_pass_table.h"

#include <QLocale>
#include <algorithm>

namespace orvalin {

HistoryPassTable::HistoryPassTable(const HistorySeries& series, QObject* parent)
    : QAbstractTableModel(parent),
      series_(series),
      rows_(static_cast<int>(series.passes().size())) {}

void HistoryPassTable::setChannel(ChannelIndex channel) {
    channel_ = channel;
    if (rows_ > 0) emit dataChanged(index(0, Minimum), index(rows_ - 1, Maximum));
}

void HistoryPassTable::passesChanged(std::size_t changedFrom) {
    const int wanted = static_cast<int>(series_.passes().size());
    if (changedFrom + 1 < static_cast<std::size_t>(rows_)) {
        // Frames older than the newest pass arrived: rows of passes from far down the list
        // changed, and a selection kept by row would now name another pass.
        beginResetModel();
        rows_ = wanted;
        endResetModel();
        return;
    }
    // Newest first: the newest pass that was there and any new ones are the top rows.
    const int kept = std::min(rows_, static_cast<int>(changedFrom));
    if (wanted > rows_) {
        beginInsertRows({}, 0, wanted - rows_ - 1);
        rows_ = wanted;
        endInsertRows();
    }
    const int changedRows = rows_ - kept;
    if (changedRows > 0) emit dataChanged(index(0, 0), index(changedRows - 1, ColumnCount - 1));
}

std::size_t HistoryPassTable::passOfRow(int row) const {
    return static_cast<std::size_t>(rows_ - 1 - row);
}

int HistoryPassTable::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : rows_;
}

int HistoryPassTable::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : ColumnCount;
}

QVariant HistoryPassTable::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= rows_) return {};
    if (role == Qt::TextAlignmentRole)
        return QVariant::fromValue(index.column() >= Frames ? Qt::AlignRight | Qt::AlignVCenter
                                                            : Qt::AlignLeft | Qt::AlignVCenter);
    if (role != Qt::DisplayRole) return {};
    const HistoryPass& pass = series_.passes()[passOfRow(index.row())];
    switch (index.column()) {
        case Start:
            return HistorySeries::utcTimeText(pass.start);  // the header says UTC
        case End:
            return HistorySeries::utcTimeText(pass.end);
        case Frames:
            return QLocale().toString(static_cast<qulonglong>(pass.frameCount()));
        case Minimum:
            return HistorySeries::valueText(channel_, series_.passMinimum(pass, channel_));
        case Maximum:
            return HistorySeries::valueText(channel_, series_.passMaximum(pass, channel_));
        default:
            return {};
    }
}

QVariant HistoryPassTable::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole) return {};
    static const char* const titles[] = {"Start (UTC)", "End (UTC)", "Frames", "Minimum",
                                         "Maximum"};
    return section >= 0 && section < ColumnCount ? QString::fromLatin1(titles[section])
                                                 : QVariant();
}

}  // namespace orvalin
