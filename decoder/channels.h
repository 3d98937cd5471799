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
    Volts,        // ((8 / 1000) * r) * 4.4045            volts
    Temperature,  // (n * 0.2) - 273                     degrees Celsius
    Scaled,       // n * factor                          mA or raw units
    Plain,        // n                                   raw units
    Doubled,      // r * 8 * 2 in integer arithmetic      volts (whole numbers)
    Third,        // n / 3
};

struct ChannelInfo {
    std::string_view caption;  // option button caption, chart caption, CSV column head
    std::string_view unit;     // unit label; " " where the channel shows no unit
    int frameByte;             // byte of the 32-byte frame, counted from 0
    Formula formula;
    double factor;  // only for Formula::Scaled
};

// clang-format off
inline constexpr std::array<ChannelInfo, ChannelCount> ChannelCatalogue = {{
    {"SP4 Volts",  "V",   3, Formula::Volts,       0},
    {"GS4 Curr",   "mA",  4, Formula::Scaled,      0.2667},
    {"SP4 Temp",   "C",   5, Formula::Temperature, 0},
    {"SP1 Volts",  "V",   6, Formula::Volts,       0},
    {"SP1 Temp",   "C",   7, Formula::Temperature, 0},
    {"SP1 Curr",   "mA",  8, Formula::Scaled,      0.2667},
    {"Batt Temp",  "C",   9, Formula::Temperature, 0},
    {"Batt Volts", "V",  10, Formula::Volts,       0},
    {"SP2 Volts",  "V",  11, Formula::Volts,       0},
    {"SP2 Temp",   "C",  12, Formula::Temperature, 0},
    {"SP2 Curr",   "mA", 13, Formula::Scaled,      0.2667},
    {"SP3 Volts",  "V",  14, Formula::Volts,       0},
    {"SP3 Temp",   "C",  15, Formula::Temperature, 0},
    {"SP3 Curr",   "mA", 16, Formula::Scaled,      0.2667},
    {"Shunt Curr", "mA", 17, Formula::Plain,       0},
    {"ADCS Curr",  "mA", 18, Formula::Scaled,      0.17},
    {"ODB Temp",   "C",  19, Formula::Temperature, 0},
    {"RX Curr",    "mA", 20, Formula::Scaled,      0.0533},
    {"RSSI",       " ",  21, Formula::Plain,       0},
    {"TX Curr",    "mA", 22, Formula::Scaled,      0.8},
    {"P TX",       " ",  23, Formula::Plain,       0},
    {"P PA",       " ",  24, Formula::Plain,       0},
    {"PA Temp",    "C",  25, Formula::Temperature, 0},
    {"I200 Curr",  "mA", 26, Formula::Scaled,      0.0287},
    {"3V3 Curr",   "mA", 27, Formula::Scaled,      0.0266},
    {"3V3 Volts",  "V",  28, Formula::Doubled,     0},
    {"5V Curr",    "mA", 29, Formula::Scaled,      0.2424},
    {"5V Volts",   "V",  30, Formula::Volts,       0},
    {"SU TH G0",   "K",  31, Formula::Third,       0},
}};
// clang-format on

// The engineering value of a raw byte value r under one formula. Every line is one IEEE
// double expression evaluated left to right; the decoder and everything that links it compile
// with -ffp-contract=off, so no multiply-add is fused and the last bit is the formula's.
inline double evaluateFormula(Formula formula, double factor, std::int32_t raw) {
    // The integer products are 32-bit; unsigned arithmetic keeps an out-of-range raw value
    // (never passed by the line decoder, whose pieces give 0 to 255) from being undefined.
    const auto n = static_cast<std::int32_t>(static_cast<std::uint32_t>(raw) * 8u);
    switch (formula) {
        case Formula::Volts:
            return ((8.0 / 1000.0) * static_cast<double>(raw)) * 4.4045;
        case Formula::Temperature:
            return (static_cast<double>(n) * 0.2) - 273.0;
        case Formula::Scaled:
            return static_cast<double>(n) * factor;
        case Formula::Plain:
            return static_cast<double>(n);
        case Formula::Doubled:
            return static_cast<double>(
                static_cast<std::int32_t>(static_cast<std::uint32_t>(n) * 2u));
        case Formula::Third:
            return static_cast<double>(n) / 3.0;
    }
    return 0.0;
}

// The engineering value of one channel for the raw value r.
inline double channelValue(ChannelIndex channel, std::int32_t raw) {
    const ChannelInfo& info = ChannelCatalogue[static_cast<std::size_t>(channel)];
    return evaluateFormula(info.formula, info.factor, raw);
}

// The same for a channel known at compile time: the formula is chosen while compiling, which
// spares the line decoder a switch per channel.
template <ChannelIndex Channel>
inline double channelValueOf(std::int32_t raw) {
    constexpr ChannelInfo info = ChannelCatalogue[Channel];
    return evaluateFormula(info.formula, info.factor, raw);
}

}  // namespace orvalin
