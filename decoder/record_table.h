#pragma once

#include <QString>
#include <QStringView>
#include <array>
#include <vector>

#include "decoder/channels.h"
#include "decoder/log_line.h"

namespace orvalin {

// Short text kept inside the record itself, so that refilling the table allocates nothing.
template <int Capacity>
class FixedText {
public:
    void assign(QStringView text) {
        length_ = static_cast<int>(text.size() < Capacity ? text.size() : Capacity);
        for (int i = 0; i < length_; ++i) units_[static_cast<std::size_t>(i)] = text[i].unicode();
    }
    // Fills the text from a field of a log line, every unit passed through `convert`. Writes
    // straight into the record's own storage.
    template <typename Convert>
    void assignField(const char16_t* line, const LineField& field, Convert convert) {
        length_ =
            static_cast<int>(writeLineField(field, line, units_.data(), convert) - units_.data());
    }
    QStringView view() const { return QStringView(units_.data(), length_); }
    QString toString() const { return view().toString(); }
    bool isEmpty() const { return length_ == 0; }
    int size() const { return length_; }

private:
    std::array<char16_t, Capacity> units_{};
    int length_ = 0;
};

// One decoded telemetry frame.
struct TelemetryRecord {
    // "DD.MM.YYYY" and "HH:MM:SS" as written in the log line (lower-cased, unchecked)
    FixedText<DateField.textLength()> DateText;
    FixedText<TimeField.textLength()> TimeText;
    ChannelValues Values{};  // engineering values by channel index, unrounded
};

// The one store of decoded telemetry: slots 0 to 1000, records in slots 1 to count().
// Slot 0 is never written and always reads as a fresh record. Slots above count() may hold
// records of an earlier text; readers stay within count().
class RecordTable {
public:
    static constexpr int Capacity = 1000;

    RecordTable() : slots_(Capacity + 1) {}

    // RecordCount becomes 0; no slot is touched.
    void reset() { RecordCount = 0; }

    // Raises RecordCount and returns the slot to fill, or nullptr when all 1000 slots are
    // taken (the count then stays at 1000).
    TelemetryRecord* append() {
        if (RecordCount >= Capacity) return nullptr;
        ++RecordCount;
        return &slots_[static_cast<std::size_t>(RecordCount)];
    }

    // The record in slot n, 0 to 1000. Any other n reads the blank slot 0, so no caller can
    // read outside the table.
    const TelemetryRecord& record(int slot) const {
        if (slot < 0 || slot > Capacity) slot = 0;
        return slots_[static_cast<std::size_t>(slot)];
    }

    int count() const { return RecordCount; }

private:
    std::vector<TelemetryRecord> slots_;
    int RecordCount = 0;
};

}  // namespace orvalin
