#include "decoder/channels.h"

namespace orvalin {

// clang-format off
const std::array<ChannelInfo, ChannelCount> ChannelCatalogue = {{
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

double channelValue(ChannelIndex channel, std::int32_t raw) {
    // The integer products are 32-bit; unsigned arithmetic keeps an out-of-range raw value
    // (never passed by the line decoder, whose pieces give 0 to 255) from being undefined.
    const auto n = static_cast<std::int32_t>(static_cast<std::uint32_t>(raw) * 8u);
    const ChannelInfo& info = ChannelCatalogue[static_cast<std::size_t>(channel)];
    // Each line below is one IEEE double expression evaluated left to right; the decoder
    // target is compiled with -ffp-contract=off so that no multiply-add is fused and the
    // last bit matches the formula as written.
    switch (info.formula) {
        case Formula::Volts:
            return ((8.0 / 1000.0) * static_cast<double>(raw)) * 4.4045;
        case Formula::Temperature:
            return (static_cast<double>(n) * 0.2) - 273.0;
        case Formula::Scaled:
            return static_cast<double>(n) * info.factor;
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

}  // namespace orvalin
