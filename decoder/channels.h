// The 29 telemetry channels: caption, unit label, frame byte and scaling formula.
// This one table is read by the window (option buttons, unit labels), the chart caption
// and the CSV header, so a caption is written down exactly once.
#pragma once

#include <array>
#include <cstdint>
#include <string_view>

namespace orvalin {

inline constexpr int ChannelCount = 29;
// The channel that every intake selects and charts ("Batt Temp").
inline constexpr int DefaultChannel = 6;

using ChannelIndex = int;
using ChannelValues = std::array<double, ChannelCount>;

// How a raw byte r (0 to 255) becomes an engineering value. n is the exact integer r * 8.
enum class Formula : std::uint8_t {
    Volts,       // ((8 / 1000) * r) * 4.4045            volts
    Temperature, // (n * 0.2) - 273                     degrees Celsius
    Scaled,      // n * factor                          mA or raw units
    Plain,       // n                                   raw units
    Doubled,     // r * 8 * 2 in integer arithmetic      volts (whole numbers)
    Third,       // n / 3
};

struct ChannelInfo {
    std::string_view caption;  // option button caption, chart caption, CSV column head
    std::string_view unit;     // unit label; " " where the channel shows no unit
    int frameByte;             // byte of the 32-byte frame, counted from 0
    Formula formula;
    double factor;             // only for Formula::Scaled
};

extern const std::array<ChannelInfo, ChannelCount> ChannelCatalogue;

// Position (counted from 0) of the first of the two hex characters of a channel in a log line.
constexpr int linePieceOffset(ChannelIndex channel) { return 23 + 2 * channel; }

// The engineering value of one channel for the raw value r, evaluated with the operations in
// exactly the written order so that every bit of the double is reproducible.
double channelValue(ChannelIndex channel, std::int32_t raw);

}  // namespace orvalin
