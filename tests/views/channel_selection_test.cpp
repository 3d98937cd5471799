#include "views/channel_selection.h"

#include <gtest/gtest.h>

namespace orvalin {
namespace {

// Above 100 records: a label every count / 20 categories, a quotient halfway between two
// whole numbers going to the even one.
TEST(CategoryDivisions, RoundsHalvesToEven) {
    const struct {
        int records;
        int divisions;
    } cases[] = {{101, 5}, {109, 5}, {110, 6}, {111, 6},  {129, 6},  {130, 6},
                 {131, 7}, {150, 8}, {170, 8}, {190, 10}, {999, 50}, {1000, 50}};
    for (const auto& c : cases) {
        EXPECT_EQ(ChannelSelection::categoryDivisions(c.records), c.divisions) << c.records;
    }
}

TEST(FrameCaption, NamesChannelAndUnitInBrackets) {
    EXPECT_EQ(ChannelSelection::frameCaption(QStringLiteral("Batt Temp"), QStringLiteral("C")),
              "Batt Temp  [ C ]");
    // A unit label of one blank leaves three blanks between the brackets.
    EXPECT_EQ(ChannelSelection::frameCaption(QStringLiteral("RSSI"), QStringLiteral(" ")),
              "RSSI  [   ]");
}

}  // namespace
}  // namespace orvalin
