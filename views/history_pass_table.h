// The passes of a HistorySeries as a table for a view, newest pass first: start and end (UTC),
// frames, and the minimum and maximum of one channel. Texts are made when a view asks for a
// row, so ten thousand passes cost nothing until they are scrolled to.
#pragma once

#include <QAbstractTableModel>
#include <cstddef>

#include "views/history_series.h"

namespace orvalin {

class HistoryPassTable : public QAbstractTableModel {
    Q_OBJECT

public:
    enum Column { Start, End, Frames, Minimum, Maximum, ColumnCount };

    // Reads `series`, which must outlive the table.
    explicit HistoryPassTable(const HistorySeries& series, QObject* parent = nullptr);

    void setChannel(ChannelIndex channel);
    // Frames were added: the passes before `changedFrom` are as they were. New frames after the
    // newest pass change its row and insert rows above it; older frames read the list again.
    void passesChanged(std::size_t changedFrom);

    std::size_t passOfRow(int row) const;

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;

private:
    const HistorySeries& series_;
    ChannelIndex channel_ = DefaultChannel;
    int rows_ = 0;  // the passes the views know of
};

}  // namespace orvalin
