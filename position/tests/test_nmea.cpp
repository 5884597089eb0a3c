// GGA and ZDA parsing: fields, hemispheres, heights, the time-zone shift across
// midnight and month ends, the checksum, and the malformed sentences a
// receiver line produces. Expected values are worked out by hand.

#include "position/nmea.h"
#include "position/position_decoder.h"
#include "position/tests/fake_grid.h"
#include "tools/nav-sim/nav_model.h"

#include <gtest/gtest.h>

using namespace kestrova;
using namespace kestrova::position;

namespace {

std::string sentence(const std::string& body) {
    return navsim::withChecksum(body);
}
std::string bare(const std::string& body) {
    return "$" + body + "\r\n";
}

struct Decoder : ::testing::Test {
    Decoder() {
        d.setConverter(&grid);
        // The PC's UTC clock at noon of pcDate.
        d.setUtcClock([this] { return epochSeconds(pcDate, 12, 0, 0.0); });
    }
    fakes::LinearGrid grid;
    CivilDate pcDate{2024, 6, 1};
    PositionDecoder d;
};

} // namespace

TEST_F(Decoder, PublishedGgaExampleGivesItsFields) {
    // The widely published example sentence with its checksum 47.
    d.setZdaPresent(false);
    ASSERT_TRUE(
        d.parse_nmea("$GPGGA,123519,4807.038,N,01131.000,E,1,08,0.9,545.4,M,46.9,M,,*47\r\n"));
    const PositionFix& f = d.fix();
    EXPECT_EQ(f.kind, kFixPosition);
    EXPECT_EQ(f.fixHour, 12);
    EXPECT_EQ(f.fixMinute, 35);
    EXPECT_DOUBLE_EQ(f.fixSeconds, 19.0);
    EXPECT_NEAR(f.latitude, 48.0 + 7.038 / 60.0, 1e-12);
    EXPECT_NEAR(f.longitude, 11.0 + 31.0 / 60.0, 1e-12);
    EXPECT_EQ(f.quality, 1);
    EXPECT_EQ(f.satellites, 8);
    EXPECT_DOUBLE_EQ(f.hdop, 0.9);
    EXPECT_NEAR(f.height, 545.4 + 46.9, 1e-9);
    EXPECT_NEAR(f.north, f.latitude * 100000.0, 1e-6);
    EXPECT_NEAR(f.east, f.longitude * 100000.0, 1e-6);
    EXPECT_NEAR(grid.lastH, 592.3, 1e-9);
    EXPECT_TRUE(d.gridValid());
    // 12:35:19 UTC + 8 h on the PC date 2024-06-01: 20:35:19 local.
    EXPECT_EQ(f.hour, 20);
    EXPECT_DOUBLE_EQ(f.fixTime, 1717200000.0 + 20 * 3600 + 35 * 60 + 19);
    EXPECT_EQ(f.year, 2024);
    EXPECT_EQ(f.month, 6);
    EXPECT_EQ(f.day, 1);
    EXPECT_DOUBLE_EQ(f.clockTime, f.fixTime);
}

TEST_F(Decoder, LatitudeMinutesAndHemispheres) {
    ASSERT_TRUE(
        d.parse_nmea(bare("GPGGA,010203.00,3030.5000,N,12030.0000,E,2,09,1.0,1.0,M,0,M,,")));
    EXPECT_NEAR(d.fix().latitude, 30.508333333, 1e-9); // 30 degrees 30.5 minutes
    EXPECT_NEAR(d.fix().longitude, 120.5, 1e-12);
    ASSERT_TRUE(
        d.parse_nmea(bare("GPGGA,010203.00,3030.5000,S,12030.0000,W,2,09,1.0,1.0,M,0,M,,")));
    EXPECT_NEAR(d.fix().latitude, -30.508333333, 1e-9);
    EXPECT_NEAR(d.fix().longitude, -120.5, 1e-12);
    EXPECT_EQ(d.fix().latHemisphere, 'S');
    EXPECT_EQ(d.fix().lonHemisphere, 'W');
    // An unknown hemisphere letter puts that coordinate at 0, as received.
    ASSERT_TRUE(
        d.parse_nmea(bare("GPGGA,010203.00,3030.5000,X,12030.0000,Q,2,09,1.0,1.0,M,0,M,,")));
    EXPECT_EQ(d.fix().latitude, 0.0);
    EXPECT_EQ(d.fix().longitude, 0.0);
    EXPECT_EQ(d.fix().latHemisphere, 'X');
}

TEST_F(Decoder, GeoidSeparationZeroKeepsThePreviousHeight) {
    ASSERT_TRUE(d.parse_nmea(bare("GNGGA,010203,2424.0,N,11808.0,E,4,12,0.7,3.0,M,10.5,M,,")));
    EXPECT_DOUBLE_EQ(d.fix().height, 13.5);
    ASSERT_TRUE(d.parse_nmea(bare("GNGGA,010204,2424.0,N,11808.0,E,4,12,0.7,99.0,M,0,M,,")));
    EXPECT_DOUBLE_EQ(d.fix().height, 13.5);
    ASSERT_TRUE(d.parse_nmea(bare("GNGGA,010205,2424.0,N,11808.0,E,4,12,0.7,-1.0,M,-2.0,M,,")));
    EXPECT_DOUBLE_EQ(d.fix().height, -3.0);
}

TEST_F(Decoder, CommaCountsAndMandatoryFields) {
    // 13 commas: refused.
    EXPECT_FALSE(d.parse_nmea(bare("GPGGA,010203,2424.0,N,11808.0,E,4,12,0.7,3.0,M,10.5,M,")));
    EXPECT_EQ(d.lastRejection(), Rejection::TooFewFields);
    // Empty quality, satellites and dilution read 0 and the sentence is taken.
    EXPECT_TRUE(d.parse_nmea(bare("GPGGA,010203,2424.0,N,11808.0,E,,,,3.0,M,10.5,M,,")));
    EXPECT_EQ(d.fix().quality, 0);
    EXPECT_EQ(d.fix().satellites, 0);
    // An empty time or latitude refuses the sentence and marks the fix as quality 0.
    d.fix().quality = 4;
    EXPECT_FALSE(d.parse_nmea(bare("GPGGA,,2424.0,N,11808.0,E,4,12,0.7,3.0,M,10.5,M,,")));
    EXPECT_EQ(d.lastRejection(), Rejection::EmptyField);
    EXPECT_EQ(d.fix().quality, 0);
    d.fix().quality = 4;
    EXPECT_FALSE(d.parse_nmea(bare("GPGGA,010203,,N,11808.0,E,4,12,0.7,3.0,M,10.5,M,,")));
    EXPECT_EQ(d.fix().quality, 0);
    EXPECT_FALSE(d.parse_nmea(bare("GPGGA,010203,2424.0,,11808.0,E,4,12,0.7,3.0,M,10.5,M,,")));
    EXPECT_FALSE(d.parse_nmea(bare("GPGGA,010203,2424.0,N,,E,4,12,0.7,3.0,M,10.5,M,,")));
    EXPECT_FALSE(d.parse_nmea(bare("GPGGA,010203,2424.0,N,11808.0,,4,12,0.7,3.0,M,10.5,M,,")));
    EXPECT_FALSE(d.parse_nmea(bare("GPRMC,010203,A,2424.0,N,11808.0,E,4.5,90.0,010624,,,A")));
    EXPECT_EQ(d.lastRejection(), Rejection::Unrecognised);
    EXPECT_FALSE(d.parse_nmea(bare("GPZDA,010203.00,01,06,2024")));
    EXPECT_EQ(d.lastRejection(), Rejection::TooFewFields);
    EXPECT_FALSE(d.parse_nmea(bare("GPZDA,010203.00,,06,2024,00,00")));
    EXPECT_EQ(d.lastRejection(), Rejection::EmptyField);
}

TEST_F(Decoder, ChecksumVerifiedWhenPresent) {
    // The fault mended here: a corrupted digit used to move the vessel.
    std::string good = sentence("GPGGA,010203,2424.0000,N,11808.0000,E,4,12,0.7,3.0,M,10.5,M,,");
    ASSERT_TRUE(d.parse_nmea(good));
    double latitude = d.fix().latitude;
    std::string corrupted = good;
    corrupted[good.find("2424") + 2] = '5';
    EXPECT_FALSE(d.parse_nmea(corrupted));
    EXPECT_EQ(d.lastRejection(), Rejection::BadChecksum);
    EXPECT_EQ(d.fix().latitude, latitude) << "a refused sentence must not touch the fix";
    // Lower-case hex is a valid checksum.
    std::string lower = good;
    for (std::size_t i = lower.find('*'); i < lower.size(); ++i)
        if (lower[i] >= 'A' && lower[i] <= 'F') lower[i] = static_cast<char>(lower[i] + 32);
    EXPECT_TRUE(d.parse_nmea(lower));
    // "*" without two hex digits, or with text after them, is no checksum we can trust.
    EXPECT_FALSE(d.parse_nmea(bare("GPGGA,010203,2424.0,N,11808.0,E,4,12,0.7,3.0,M,10.5,M,,*")));
    EXPECT_FALSE(d.parse_nmea(bare("GPGGA,010203,2424.0,N,11808.0,E,4,12,0.7,3.0,M,10.5,M,,*G1")));
    EXPECT_FALSE(d.parse_nmea(good.substr(0, good.size() - 2) + "0\r\n"));
    // Sentences without a checksum are still taken.
    EXPECT_TRUE(d.parse_nmea(bare("GPGGA,010203,2424.0,N,11808.0,E,4,12,0.7,3.0,M,10.5,M,,")));
    EXPECT_EQ(nmea::verifyChecksum("$GPZDA,201530.00,04,07,2002,00,00*60\r\n"),
              nmea::Checksum::Good);
}

TEST_F(Decoder, ImpossibleValuesAreRefused) {
    // Corruption that a missing checksum lets through must not reach the fix.
    const char* bad[] = {
        "GPGGA,250203,2424.0,N,11808.0,E,4,12,0.7,3.0,M,10.5,M,,", // hour 25
        "GPGGA,016103,2424.0,N,11808.0,E,4,12,0.7,3.0,M,10.5,M,,", // minute 61
        "GPGGA,0102,2424.0,N,11808.0,E,4,12,0.7,3.0,M,10.5,M,,",   // time cut short
        "GPGGA,01a203,2424.0,N,11808.0,E,4,12,0.7,3.0,M,10.5,M,,", // not a number
        "GPGGA,010203,2475.0,N,11808.0,E,4,12,0.7,3.0,M,10.5,M,,", // 75 minutes
        "GPGGA,010203,9100.0,N,11808.0,E,4,12,0.7,3.0,M,10.5,M,,", // 91 degrees
        "GPGGA,010203,2424.0,N,18108.0,E,4,12,0.7,3.0,M,10.5,M,,", // 181 degrees
        "GPGGA,010203,24x4.0,N,11808.0,E,4,12,0.7,3.0,M,10.5,M,,", // junk in the latitude
        "GPGGA,010203,2424.0,N,11808.0,E,4,1z,0.7,3.0,M,10.5,M,,", // junk in the satellites
        "GPGGA,010203,2424.0,N,11808.0,E,4,12,0.7,nan,M,10.5,M,,", // not a number
        "GPGGA,010203,2424.0,N,11808.0,E,99999999999,12,0.7,3.0,M,10.5,M,,", // overflow
        "GPZDA,010203.00,32,01,2024,00,00",                                  // 32 January
        "GPZDA,010203.00,29,02,2023,00,00", // no 29 February in 2023
        "GPZDA,010203.00,01,13,2024,00,00", // month 13
        "GPZDA,240203.00,01,01,2024,00,00", // hour 24
    };
    for (const char* body : bad)
        EXPECT_FALSE(d.parse_nmea(bare(body))) << body;
    // Quality above 9 is anomalous, not corrupt: taken and shown as such.
    EXPECT_TRUE(d.parse_nmea(bare("GPGGA,010203,2424.0,N,11808.0,E,12,12,0.7,3.0,M,10.5,M,,")));
    EXPECT_EQ(d.fix().quality, 12);
}

TEST_F(Decoder, ZdaSetsTheLocalClockAcrossMidnight) {
    // The published ZDA example: 20:15:30 UTC on 4 July 2002, zone +8 is
    // 04:15:30 on 5 July.
    ASSERT_TRUE(d.parse_nmea("$GPZDA,201530.00,04,07,2002,00,00*60\r\n"));
    const PositionFix& f = d.fix();
    EXPECT_EQ(f.kind, kFixTime);
    EXPECT_EQ(f.year, 2002);
    EXPECT_EQ(f.month, 7);
    EXPECT_EQ(f.day, 5);
    EXPECT_EQ(f.hour, 4);
    EXPECT_EQ(f.minute, 15);
    EXPECT_EQ(f.second, 30);
    EXPECT_DOUBLE_EQ(f.clockTime, 1025842530.0);
    EXPECT_EQ(d.lastZdaDate(), (CivilDate{2002, 7, 4})); // the UTC date as received
}

TEST_F(Decoder, ZdaFractionIsAFractionOfTheSecond) {
    ASSERT_TRUE(d.parse_nmea(bare("GPZDA,123456.789,01,06,2024,00,00")));
    EXPECT_EQ(d.fix().microsecond, 789000);
    // Mended: two decimals are hundredths, .78 s is 780 ms (it used to read 78 ms).
    ASSERT_TRUE(d.parse_nmea(bare("GPZDA,123456.78,01,06,2024,00,00")));
    EXPECT_EQ(d.fix().microsecond, 780000);
    ASSERT_TRUE(d.parse_nmea(bare("GPZDA,123456.1234567,01,06,2024,00,00")));
    EXPECT_EQ(d.fix().microsecond, 123456);
}

TEST_F(Decoder, GgaTimeShiftedIntoTheZoneAcrossDayAndMonthEnds) {
    // Dated by the last ZDA: 23:30 UTC on 1 June + 8 h is 07:30 on 2 June.
    ASSERT_TRUE(d.parse_nmea(bare("GPZDA,232959.00,01,06,2024,00,00")));
    ASSERT_TRUE(d.parse_nmea(bare("GPGGA,233000.00,2424.0,N,11808.0,E,4,12,0.7,3.0,M,10.5,M,,")));
    EXPECT_DOUBLE_EQ(d.fix().fixTime, 1717313400.0);
    EXPECT_EQ(d.fixDate(), (CivilDate{2024, 6, 2}));
    EXPECT_EQ(d.fix().fixHour, 23) << "the GGA hour is kept as received";
    // With ZDA present the clock fields stay those of the ZDA.
    EXPECT_EQ(d.fix().hour, 7);
    EXPECT_EQ(d.fix().minute, 29);
    EXPECT_EQ(d.fix().second, 59);
    EXPECT_EQ(d.lastZdaDate(), (CivilDate{2024, 6, 1}));

    // Leap year: 28 February 16:00 UTC + 8 h is 29 February 00:00.
    ASSERT_TRUE(d.parse_nmea(bare("GPZDA,155959.00,28,02,2024,00,00")));
    ASSERT_TRUE(d.parse_nmea(bare("GPGGA,160000.00,2424.0,N,11808.0,E,4,12,0.7,3.0,M,10.5,M,,")));
    EXPECT_DOUBLE_EQ(d.fix().fixTime, 1709164800.0);
    // Not a leap year: 1 March. Year end: 1 January of the next year.
    ASSERT_TRUE(d.parse_nmea(bare("GPZDA,155959.00,28,02,2023,00,00")));
    ASSERT_TRUE(d.parse_nmea(bare("GPGGA,160000.00,2424.0,N,11808.0,E,4,12,0.7,3.0,M,10.5,M,,")));
    EXPECT_EQ(d.fixDate(), (CivilDate{2023, 3, 1}));
    ASSERT_TRUE(d.parse_nmea(bare("GPZDA,200000.00,31,12,1999,00,00")));
    EXPECT_EQ(d.fix().year, 2000);
    EXPECT_EQ(d.fix().month, 1);
    EXPECT_EQ(d.fix().day, 1);
    EXPECT_EQ(d.fix().hour, 4);
}

TEST_F(Decoder, WithoutZdaThePcDateAndTheGgaClockAreUsed) {
    d.setZdaPresent(false);
    pcDate = {2024, 2, 28};
    ASSERT_TRUE(d.parse_nmea(bare("GPGGA,233015.25,2424.0,N,11808.0,E,4,12,0.7,3.0,M,10.5,M,,")));
    const PositionFix& f = d.fix();
    EXPECT_EQ(f.year, 2024);
    EXPECT_EQ(f.month, 2);
    EXPECT_EQ(f.day, 29);
    EXPECT_EQ(f.hour, 7);
    EXPECT_EQ(f.minute, 30);
    EXPECT_EQ(f.second, 15);
    EXPECT_EQ(f.microsecond, 250000);
    EXPECT_DOUBLE_EQ(f.clockTime, 1709164800.0 + 7 * 3600 + 30 * 60 + 15.25);
    EXPECT_DOUBLE_EQ(f.fixTime, f.clockTime);
}

// Guards: a GGA just past UTC midnight dated with the last ZDA's date (a day
// behind), and a late GGA from before midnight put on the ZDA's new day.
TEST_F(Decoder, GgaAcrossUtcMidnightTakesTheDateNearestTheLastZda) {
    const std::string gga = ",2424.0,N,11808.0,E,4,12,0.7,3.0,M,10.5,M,,";
    ASSERT_TRUE(d.parse_nmea(bare("GPZDA,235959.00,31,12,2023,00,00")));
    ASSERT_TRUE(d.parse_nmea(bare("GPGGA,000000.00" + gga)));
    // 2024-01-01 00:00:00 UTC is 1704067200; zone 8 makes it 08:00 local.
    EXPECT_EQ(d.fixDate(), (CivilDate{2024, 1, 1}));
    EXPECT_DOUBLE_EQ(d.fix().fixTime, 1704067200.0 + 8 * 3600);
    ASSERT_TRUE(d.parse_nmea(bare("GPZDA,000000.00,01,01,2024,00,00")));
    ASSERT_TRUE(d.parse_nmea(bare("GPGGA,235959.50" + gga)));
    EXPECT_DOUBLE_EQ(d.fix().fixTime, 1704067200.0 - 0.5 + 8 * 3600);
    EXPECT_EQ(d.lastZdaDate(), (CivilDate{2024, 1, 1}));
}

// Guards: a GGA without ZDA dated from the PC's local date instead of its UTC
// date, and a receiver that never sends ZDA giving undated fixes.
TEST_F(Decoder, WithoutZdaTheUtcDateNearestThePcClock) {
    const std::string gga = ",2424.0,N,11808.0,E,4,12,0.7,3.0,M,10.5,M,,";
    double pcUtc = 1717286430.0; // 2024-06-02 00:00:30 UTC
    PositionDecoder fresh;
    fresh.setUtcClock([&pcUtc] { return pcUtc; });
    ASSERT_TRUE(fresh.parse_nmea(bare("GPGGA,235950.00" + gga)));
    EXPECT_DOUBLE_EQ(fresh.fix().fixTime, 1717286390.0 + 8 * 3600); // 23:59:50 on 1 June
    EXPECT_EQ(fresh.fix().day, 2) << "local date of 07:59:50 on 2 June";
    pcUtc = 1717286390.0; // 2024-06-01 23:59:50 UTC
    ASSERT_TRUE(fresh.parse_nmea(bare("GPGGA,000010.00" + gga)));
    EXPECT_DOUBLE_EQ(fresh.fix().fixTime, 1717286410.0 + 8 * 3600);
    EXPECT_EQ(fresh.fix().hour, 8);
}

TEST_F(Decoder, YearsBefore1970GiveTimeZero) {
    ASSERT_TRUE(d.parse_nmea(bare("GPZDA,120000.00,01,06,1969,00,00")));
    EXPECT_EQ(d.fix().clockTime, 0.0);
    ASSERT_TRUE(d.parse_nmea(bare("GPGGA,120000.00,2424.0,N,11808.0,E,4,12,0.7,3.0,M,10.5,M,,")));
    EXPECT_EQ(d.fix().fixTime, 0.0);
    PositionDecoder fresh;
    ASSERT_TRUE(
        fresh.parse_nmea(bare("GPGGA,120000.00,2424.0,N,11808.0,E,4,12,0.7,3.0,M,10.5,M,,")));
    EXPECT_FALSE(fresh.gridValid()) << "no converter bound: no grid";
}

TEST_F(Decoder, WesternZonesGoBackADay) {
    // Mended: a negative zone used to give a negative hour on the UTC date.
    d.setTimeZoneHour(-5);
    ASSERT_TRUE(d.parse_nmea(bare("GPZDA,030000.00,01,03,2024,00,00")));
    EXPECT_EQ(d.fix().year, 2024);
    EXPECT_EQ(d.fix().month, 2);
    EXPECT_EQ(d.fix().day, 29);
    EXPECT_EQ(d.fix().hour, 22);
}

TEST_F(Decoder, FailedGridConversionLeavesNoStaleGridFlag) {
    fakes::FailingGrid failing;
    d.setConverter(&failing);
    ASSERT_TRUE(d.parse_nmea(bare("GPGGA,120000.00,2424.0,N,11808.0,E,4,12,0.7,3.0,M,10.5,M,,")));
    EXPECT_FALSE(d.gridValid());
}

TEST(CivilTime, EpochSecondsAndDateSteps) {
    EXPECT_EQ(epochSeconds({1970, 1, 1}, 0, 0, 0.0), 0.0);
    EXPECT_EQ(epochSeconds({2000, 3, 1}, 0, 0, 0.0), 951868800.0); // published Unix time
    EXPECT_EQ(epochSeconds({2024, 2, 30}, 0, 0, 0.0), 0.0);
    EXPECT_EQ(epochSeconds({2024, 0, 1}, 0, 0, 0.0), 0.0);
    EXPECT_TRUE(isLeapYear(2000));
    EXPECT_FALSE(isLeapYear(1900));
    EXPECT_EQ(nextDay({2100, 2, 28}), (CivilDate{2100, 3, 1}));
    EXPECT_EQ(previousDay({2024, 1, 1}), (CivilDate{2023, 12, 31}));
    EXPECT_EQ(nextDay({0, 0, 0}), (CivilDate{0, 0, 0})) << "an undated fix stays undated";
}
