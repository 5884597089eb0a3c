// Latitude and longitude texts as the operator reads them everywhere.

#include "position/format_angle.h"

#include <gtest/gtest.h>

#include <limits>

using kestrova::position::format_angle;

TEST(FormatAngle, ThreeFormatsOfALongitude) {
    EXPECT_EQ(format_angle(120.5, true, 2), "120.500000000");
    EXPECT_EQ(format_angle(120.5, true, 0), "120:30:00.00000");
    EXPECT_EQ(format_angle(120.5, true, 1), "120:30.0000000");
    EXPECT_EQ(format_angle(-8.25, true, 0), "008:15:00.00000") << "the sign is the hemisphere's";
}

TEST(FormatAngle, LatitudeWidthsAndPadding) {
    // 24.4 degrees: 24 deg 24 min 0 s; 5.5 minutes pads to "05.5000000".
    EXPECT_EQ(format_angle(24.4, false, 0), "24:24:00.00000");
    EXPECT_EQ(format_angle(24.0 + 5.5 / 60.0, false, 1), "24:05.5000000");
    EXPECT_EQ(format_angle(3.5, false, 2), "03.500000000");
    EXPECT_EQ(format_angle(30.0 + 30.0 / 60.0 + 7.25 / 3600.0, false, 0), "30:30:07.25000");
}

TEST(FormatAngle, RoundingUpToSixtyCarriesOver) {
    // 59.999999 seconds prints as 60.00000: it must read as the next minute.
    double v = 24.0 + 59.0 / 60.0 + 59.999999 / 3600.0;
    EXPECT_EQ(format_angle(v, false, 0), "25:00:00.00000");
    double w = 24.0 + 59.99999999 / 60.0;
    EXPECT_EQ(format_angle(w, false, 1), "25:00.0000000");
}

TEST(FormatAngle, UnknownFormatOrNoNumberGivesNoText) {
    EXPECT_EQ(format_angle(24.4, false, 3), "");
    EXPECT_EQ(format_angle(std::numeric_limits<double>::quiet_NaN(), false, 0), "");
    EXPECT_EQ(format_angle(std::numeric_limits<double>::infinity(), true, 1), "");
    EXPECT_EQ(format_angle(1e300, true, 0), "");
}
