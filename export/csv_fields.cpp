#include "export/csv_fields.h"

#include <QByteArray>
#include <cstring>
#include <stdexcept>

#include "decoder/csv_text.h"

namespace orvalin {

CsvFieldCache::CsvFieldCache(QChar decimalSeparator) {
    for (ChannelIndex c = 0; c < ChannelCount; ++c) {
        for (int raw = 0; raw < 256; ++raw) {
            QByteArray text;
            appendCsvField(text, channelValue(c, raw), decimalSeparator);
            if (text.size() > static_cast<qsizetype>(FieldSlot - 1))
                throw std::length_error("CSV number text longer than its slot");
            Slot& slot = slots_[index(c, static_cast<std::uint8_t>(raw))];
            std::memcpy(slot.data(), text.constData(), static_cast<std::size_t>(text.size()));
            slot[FieldSlot - 1] = static_cast<char>(text.size());
        }
    }
}

char* CsvFieldCache::writeRecord(char* out, const std::uint8_t* raws) const {
    for (ChannelIndex c = 0; c < ChannelCount; ++c) {
        // Copy the whole slot (a fixed-size copy is two vector moves) and advance by the
        // length of its text; the next field overwrites the rest.
        const Slot& slot = slots_[index(c, raws[c])];
        std::memcpy(out, slot.data(), FieldSlot);
        out += static_cast<unsigned char>(slot[FieldSlot - 1]);
    }
    std::memcpy(out, CsvLineEnd, sizeof CsvLineEnd - 1);
    return out + sizeof CsvLineEnd - 1;
}

}  // namespace orvalin
