// The simulator's seabed and stream: the echoes must look like a seabed to the
// bottom tracking and the waterfalls built on them, and the stream must keep
// the sonar's timing and frame format.

#include "acquisition/frame_format.h"
#include "tools/sonar-sim/command_channel.h"
#include "tools/sonar-sim/seabed.h"
#include "tools/sonar-sim/sonar_stream.h"

#include <gtest/gtest.h>

#include <cmath>
#include <numeric>

namespace kestrova::sim {
namespace {

using acquisition::PingHeader;
using acquisition::PingRecord;

constexpr double kSpacing = 1500.0 / (2.0 * 54000.0); // HF at 216 kHz, decimation 4

double mean(const std::vector<std::uint32_t>& v, std::size_t from, std::size_t to) {
    to = std::min(to, v.size());
    if (from >= to) return 0;
    return std::accumulate(v.begin() + static_cast<std::ptrdiff_t>(from),
                           v.begin() + static_cast<std::ptrdiff_t>(to), 0.0) /
           static_cast<double>(to - from);
}

// Averages one side over a few pings around `along` to tame the speckle.
std::vector<std::uint32_t> averagedSide(const SeabedModel& m, double along, bool stbd,
                                        std::size_t n) {
    std::vector<double> sum(n, 0.0);
    std::vector<std::uint32_t> one(n);
    const int pings = 8;
    for (int p = 0; p < pings; ++p) {
        m.side(along + 0.01 * p, stbd, kSpacing, 0.012, 1000 + static_cast<std::uint64_t>(p), one);
        for (std::size_t i = 0; i < n; ++i)
            sum[i] += one[i];
    }
    std::vector<std::uint32_t> avg(n);
    for (std::size_t i = 0; i < n; ++i)
        avg[i] = static_cast<std::uint32_t>(sum[i] / pings);
    return avg;
}

TEST(Seabed, AltitudeChangesSlowly) {
    SeabedModel m(1, 50);
    double lo = 1e9, hi = 0;
    for (double s = 0; s < 2000; s += 1.0) {
        const double h = m.altitude(s);
        lo = std::min(lo, h);
        hi = std::max(hi, h);
        EXPECT_LT(std::abs(m.altitude(s + 1.0) - h), 0.02 * h) << "at " << s;
    }
    EXPECT_GT(lo, 4.0);
    EXPECT_LT(hi, 11.0);
    EXPECT_GT(hi - lo, 1.0); // it does change
}

// The first bottom return lies at the altitude; the water column above it is dark.
TEST(Seabed, FirstBottomReturnAtTheAltitude) {
    SeabedModel m(2, 50);
    for (double along : {10.0, 333.0, 900.0}) {
        const auto side = averagedSide(m, along, false, 3600);
        const double h = m.altitude(along);
        const auto nadir = static_cast<std::size_t>(h / kSpacing);
        std::size_t first = 0;
        while (first < side.size() && side[first] < 50.0 * SeabedModel::kNoiseFloor)
            ++first;
        EXPECT_NEAR(static_cast<double>(first), static_cast<double>(nadir), 3.0) << "at " << along;
        EXPECT_LT(mean(side, 0, nadir * 9 / 10), 2.0 * SeabedModel::kNoiseFloor);
        EXPECT_GT(mean(side, nadir, nadir + 20), 1000.0 * SeabedModel::kNoiseFloor);
    }
}

// Grazing-angle backscatter falls off with range.
TEST(Seabed, BackscatterDecaysWithRange) {
    SeabedModel m(3, 50);
    double near = 0, mid = 0, far = 0;
    for (double along : {120.0, 157.0, 194.0, 231.0, 268.0}) {
        const auto side = averagedSide(m, along, true, 3600);
        const auto nadir = static_cast<std::size_t>(m.altitude(along) / kSpacing);
        near += mean(side, nadir * 3 / 2, nadir * 2);
        mid += mean(side, 1700, 1900);
        far += mean(side, 3300, 3600);
    }
    EXPECT_GT(near, 3.0 * mid);
    EXPECT_GT(mid, 2.0 * far);
    EXPECT_GT(far / 5, 10.0 * SeabedModel::kNoiseFloor); // still seabed, not noise
}

// An object: a bright return, and behind it an acoustic shadow as long as its
// height makes it (height × range / (altitude − height)).
TEST(Seabed, ObjectsCastShadows) {
    SeabedModel m(4, 50);
    int checked = 0;
    for (const SeabedObject& o : m.objectsBetween(0, 3000)) {
        const double h = m.altitude(o.alongM);
        if (o.heightM > 0.8 * h) continue;
        const double far = o.acrossM + o.widthM / 2;
        const double shadow = o.heightM * far / (h - o.heightM);
        const double shadowEnd = far + shadow;
        if (shadowEnd > 45 || shadow < 1.0 || o.acrossM - o.widthM / 2 < 6) continue;
        auto index = [&](double ground) {
            return static_cast<std::size_t>(std::sqrt(ground * ground + h * h) / kSpacing);
        };
        const auto side = averagedSide(m, o.alongM, o.starboard, 3600);
        const double before =
            mean(side, index(o.acrossM - o.widthM / 2 - 3), index(o.acrossM - o.widthM / 2 - 0.5));
        const double target =
            mean(side, index(o.acrossM - o.widthM / 4), index(o.acrossM + o.widthM / 4) + 1);
        const double dark = mean(side, index(far + 0.2 * shadow), index(far + 0.8 * shadow) + 1);
        const double after = mean(side, index(shadowEnd + 0.5), index(shadowEnd + 2.5));
        EXPECT_GT(target, 2.0 * before) << "object at " << o.alongM;
        EXPECT_LT(dark, 0.2 * before) << "object at " << o.alongM;
        EXPECT_GT(after, 3.0 * dark) << "object at " << o.alongM;
        ++checked;
    }
    EXPECT_GE(checked, 3);
}

TEST(Seabed, SameSeedSamePingOtherSeedOtherPing) {
    std::vector<std::uint32_t> a(500), b(500), c(500);
    SeabedModel(7, 50).side(42.0, false, kSpacing, 0.01, 5, a);
    SeabedModel(7, 50).side(42.0, false, kSpacing, 0.01, 5, b);
    SeabedModel(8, 50).side(42.0, false, kSpacing, 0.01, 5, c);
    EXPECT_EQ(a, b);
    EXPECT_NE(a, c);
}

// The sonar's pace: one HF and one LF ping per two-way travel time of the
// longer range (plus turnaround), attitude at 10 Hz.
TEST(SonarStream, RealisticRateAndFrameLayout) {
    SonarStreamConfig cfg; // HF 50 m, LF 100 m
    SonarStream s(cfg);
    EXPECT_NEAR(s.pingPeriod(), 2 * 100.0 / 1500.0 + 0.010, 1e-9);
    std::vector<std::uint8_t> bytes;
    std::vector<double> hfTimes;
    int lf = 0, att = 0;
    while (s.nextTime() < 10.0) {
        bytes.clear();
        const double t = s.next(bytes).time;
        auto fh = acquisition::SonarFrameHeader::decode(bytes);
        ASSERT_TRUE(fh);
        ASSERT_EQ(fh->frameSize(), bytes.size());
        if (fh->type == 5) {
            ++att;
            continue;
        }
        auto rec = PingRecord::fromFrame(bytes);
        ASSERT_TRUE(rec);
        const PingHeader& h = rec->header();
        if (fh->type == 0) {
            hfTimes.push_back(t);
            EXPECT_EQ(rec->portCount(), 14400u / 4); // 50 m: 14400 samples at 216 kHz, decimation 4
            EXPECT_EQ(h.port.decimation, 4);
            EXPECT_EQ(h.port.rangeWindow, 14400u);
            EXPECT_EQ(h.pingNumber, hfTimes.size());
        } else {
            ++lf;
            EXPECT_EQ(rec->portCount(), 28800u / 8);
        }
        EXPECT_EQ(h.port.sampleRate, 216000u);
        EXPECT_EQ(h.layoutMarker, 0x30);
        EXPECT_EQ(h.roll, 0); // left for the receiver to complete
    }
    EXPECT_EQ(hfTimes.size(), 70u); // 10 s / 0.14333 s
    EXPECT_EQ(lf, 70);
    EXPECT_EQ(att, 100);
}

TEST(SonarStream, PingTimeFieldsFollowTheClock) {
    SonarStreamConfig cfg;
    cfg.samplesPerSide = 4;
    cfg.startEpoch = 1714557600.0 + 59.9; // 2024-05-01 10:00:59.9
    SonarStream s(cfg);
    auto f = s.pingFrame(true, 1, 0.25);
    auto h = PingHeader::decode(f);
    EXPECT_EQ(h->year, 2024);
    EXPECT_EQ(h->month, 5);
    EXPECT_EQ(h->day, 1);
    EXPECT_EQ(h->hour, 10);
    EXPECT_EQ(h->minute, 1);
    EXPECT_EQ(h->second, 0);
    EXPECT_NEAR(static_cast<double>(h->microseconds), 150000.0, 1.0);
}

TEST(CivilTime, KnownDates) {
    auto t = civilFromEpoch(0);
    EXPECT_EQ(t.year, 1970);
    EXPECT_EQ(t.month, 1);
    EXPECT_EQ(t.day, 1);
    t = civilFromEpoch(951782400); // 2000-02-29 00:00:00
    EXPECT_EQ(t.year, 2000);
    EXPECT_EQ(t.month, 2);
    EXPECT_EQ(t.day, 29);
    t = civilFromEpoch(1709251199.5); // 2024-02-29 23:59:59.5
    EXPECT_EQ(t.month, 2);
    EXPECT_EQ(t.day, 29);
    EXPECT_EQ(t.hour, 23);
    EXPECT_EQ(t.second, 59);
    EXPECT_EQ(t.microseconds, 500000u);
}

// The command peer tells heartbeats from command lines and their padding.
TEST(CommandChannelHandler, SplitsHeartbeatsAndPaddedLines) {
    CommandChannelHandler h;
    const std::string bytes = "00$cmd,get,version,6*ff\r\n0"
                              "00"
                              "$cmd,sysrun,1*ff\r\n"
                              "0";
    h.onBytes(
        std::span<const std::uint8_t>(reinterpret_cast<const std::uint8_t*>(bytes.data()), 20));
    h.onBytes(std::span<const std::uint8_t>(
        reinterpret_cast<const std::uint8_t*>(bytes.data()) + 20, bytes.size() - 20));
    EXPECT_EQ(h.heartbeats(), 2u);
    ASSERT_EQ(h.lines().size(), 2u);
    EXPECT_EQ(h.lines()[0], "$cmd,get,version,6*ff\r\n");
    EXPECT_EQ(h.lines()[1], "$cmd,sysrun,1*ff\r\n");
}

} // namespace
} // namespace kestrova::sim
