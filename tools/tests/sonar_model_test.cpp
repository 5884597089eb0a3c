// The simulator's seabed and stream: the echoes must look like a seabed to the
// bottom tracking and the waterfalls built on them, and the stream must keep
// the sonar's timing and frame format.

#include "acquisition/frame_format.h"
#include "acquisition/sonar_commands.h"
#include "tools/sonar-sim/command_channel.h"
#include "tools/sonar-sim/seabed.h"
#include "tools/sonar-sim/sonar_protocol.h"
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

namespace kestrova::sim {
namespace {

std::string taken(SonarProtocol& p, std::string_view line) {
    std::string why;
    EXPECT_TRUE(p.handle(line, why)) << line << ": " << why;
    return p.takeOutput();
}

// Every line the program builds, for every level, is one the sonar takes:
// the program's encodings and the sonar's reading agree.
TEST(SonarProtocol, AcceptsEveryLineTheProgramBuilds) {
    SonarProtocol p(SonarIdentity{});
    app::SonarSettings sonar;
    app::SystemConfig system;
    acquisition::SonarCommandBuilder b(sonar, system);
    b.setChannelFrequencies(150, 450);
    std::vector<std::string> blocks = {b.build_fixed_lines(),
                                       acquisition::surveyParaLine(1, 1),
                                       acquisition::filterBandwidthLines(),
                                       acquisition::clockLine({2024, 2, 29, 23, 59, 59, 5}),
                                       acquisition::emitTransducerLines(3),
                                       acquisition::recvTransducerLines(2),
                                       std::string(acquisition::kPressureReferenceLines),
                                       std::string(acquisition::kAutoClearLine),
                                       std::string(acquisition::kQueryVersion),
                                       std::string(acquisition::kStartLine)};
    for (int range = 0; range <= 9; ++range)
        for (int pulse = 0; pulse <= 7; ++pulse) {
            sonar.hf.rangeLevel = sonar.lf.rangeLevel = range;
            sonar.hf.pulseLevel = sonar.lf.pulseLevel = pulse;
            sonar.hf.setSpreadingLevel(range * 2);
            sonar.lf.setAbsorptionLevel(range * 21);
            blocks.push_back(b.build_channel_block());
        }
    for (const auto& block : blocks) {
        std::size_t at = 0;
        while (at < block.size()) {
            const std::size_t end = block.find("\r\n", at) + 2;
            std::string why;
            const std::string line = block.substr(at, end - at);
            EXPECT_TRUE(p.handle(line, why)) << line << ": " << why;
            at = end;
        }
    }
}

// A malformed line is refused and changes nothing the sonar keeps.
TEST(SonarProtocol, RefusesMalformedLinesAndKeepsItsSettings) {
    SonarProtocol p(SonarIdentity{});
    const SimSettings before = p.settings();
    for (const char* line :
         {"$cmd,set,samplelength,5,0,014400*ff",                            // no CR LF
          "$cmd,set,samplelength,5,0,014400*FF\r\n",                        // terminator case
          "$cmd,set,samplelength,5,0,14400*ff\r\n",                         // not zero-padded to 6
          "$cmd,set,samplelength,7,0,014400*ff\r\n",                        // no channel 7
          "$cmd,set,samplelength,5,014400*ff\r\n",                          // field missing
          "$cmd,set,samplerate,5,4*ff\r\n",                                 // %02d
          "$cmd,set,chen,0F*ff\r\n",                                        // mask case
          "$cmd,set,chen,05*ff\r\n",                                        // no such mask
          "$cmd,set,signalpara,5,2,450,5,7,9*ff\r\n",                       // shape 2 with family 5
          "$cmd,set,signalpara,5,1,450,5,4,8*ff\r\n",                       // must end in 9
          "$cmd,set,signalpara,5,2,450,A,7,9*ff\r\n",                       // upper-case hex
          "$cmd,set,gainpara,5,0,30,000000,001000,2605.766891,0.09*ff\r\n", // 11 characters
          "$cmd,set,gainpara,5,0,30,000000,001000,2605.,0.09*ff\r\n",       // trailing dot
          "$cmd,set,gainpara,5,0,30,0,1000,2605.7,0.09*ff\r\n",             // %06d fields
          "$cmd,set,rtctime,2024,5,01,10,00,00,000000*ff\r\n",              // month %02d
          "$cmd,set,rtctime,2024,13,01,10,00,00,000000*ff\r\n",             // month 13
          "$cmd,set,interval,*ff\r\n",
          "$cmd,set,emitchen,5,2*ff\r\n",
          "$cmd,set,emittransducer,5,3*ff\r\n",
          "$cmd,set,updataswitch,3*ff\r\n",
          "$cmd,sysrun,2*ff\r\n",
          "$cmd,get,version,5*ff\r\n",
          "$cmd,get,colour*ff\r\n",
          "$cmd,reboot*ff\r\n",
          "$cmd,set,chen,0f*ff\r\n$cmd,sysrun,1*ff\r\n",
          "$cmd,*ff\r\n"}) {
        std::string why;
        EXPECT_FALSE(p.handle(line, why)) << line;
    }
    EXPECT_EQ(p.settings().hf.sampleLength, before.hf.sampleLength);
    EXPECT_EQ(p.settings().hf.sampleRate, before.hf.sampleRate);
    EXPECT_EQ(p.settings().channelMask, before.channelMask);
    EXPECT_EQ(p.settings().hf.shape, before.hf.shape);
    EXPECT_FALSE(p.settings().running);
    EXPECT_FALSE(p.hasOutput());
}

// What the sonar was told is what it pings: channels, window, decimation.
TEST(SonarProtocol, StreamFollowsTheCommandedSettings) {
    SonarProtocol p(SonarIdentity{});
    taken(p, "$cmd,set,chen,03*ff\r\n");
    taken(p, "$cmd,set,samplelength,5,0,004320*ff\r\n");
    taken(p, "$cmd,set,samplerate,5,02*ff\r\n");
    taken(p, "$cmd,set,signalpara,5,1,455,5,3,9*ff\r\n");
    const SonarStreamConfig c = p.streamConfig(SonarStreamConfig{});
    EXPECT_TRUE(c.hf);
    EXPECT_FALSE(c.lf);
    SonarStream s(c);
    EXPECT_EQ(s.samplesPerSide(true), 2160u);
    EXPECT_NEAR(c.rangeM(true), 15.0, 1e-9);
    EXPECT_EQ(c.hfFrequency, 455);
    EXPECT_NEAR(s.pingPeriod(), 2 * 15.0 / 1500.0 + 0.010, 1e-9);
}

TEST(SonarProtocol, AnswersQueriesAsTheChosenModel) {
    SonarProtocol p(SonarIdentity{"QM-104", "QM104-7", "V1.2", 450, 150});
    EXPECT_EQ(taken(p, "$cmd,get,devicetype*ff\r\n"), "$rsp,devicetype,QM-104*ff\r\n");
    EXPECT_EQ(taken(p, "$cmd,get,deviceid*ff\r\n"), "$rsp,deviceid,QM104-7*ff\r\n");
    EXPECT_EQ(taken(p, "$cmd,get,freq*ff\r\n"), "$rsp,freq,0,450*ff\r\n"); // one frequency
    EXPECT_EQ(taken(p, "$cmd,get,version,6*ff\r\n"), "$rsp,get,version,V1.2*ff\r\n");
    taken(p, "$cmd,set,pressureref,1013*ff\r\n");
    EXPECT_EQ(taken(p, "$cmd,get,pressureref*ff\r\n"), "$rsp,pressureref,1013*ff\r\n");
    // A single-frequency model never pings LF, whatever the mask.
    taken(p, "$cmd,set,chen,0f*ff\r\n");
    EXPECT_FALSE(p.streamConfig(SonarStreamConfig{}).lf);
    SonarProtocol two(SonarIdentity{"XYZ", "X", "V", 450, 150}); // not in the table: two
    EXPECT_EQ(taken(two, "$cmd,get,freq*ff\r\n"), "$rsp,freq,150,0,450,0*ff\r\n");
}

// The pulse of 25 m may be 1 ms; 2 ms there makes the sonar complain.
TEST(SonarProtocol, TooLongAPulseForTheRangeIsReported) {
    SonarProtocol p(SonarIdentity{});
    taken(p, "$cmd,set,samplelength,5,0,007200*ff\r\n");  // 25 m
    taken(p, "$cmd,set,signalpara,5,2,450,a,7,9*ff\r\n"); // 1 ms
    EXPECT_EQ(taken(p, "$cmd,sysrun,1*ff\r\n"), "");
    EXPECT_EQ(taken(p, "$cmd,set,signalpara,5,2,450,a,8,9*ff\r\n"), "$rsp,ucUpdata,1*ff\r\n");
}

TEST(SonarProtocol, SpoilsRepliesOnRequest) {
    ReplyFaults f;
    f.noCrLf = true;
    f.every = 2;
    SonarProtocol p(SonarIdentity{}, f);
    EXPECT_EQ(taken(p, "$cmd,get,devicetype*ff\r\n"), "$rsp,devicetype,QM-302*ff\r\n");
    EXPECT_EQ(taken(p, "$cmd,get,devicetype*ff\r\n"), "$rsp,devicetype,QM-302*ff");
    ReplyFaults g;
    g.missingFields = g.doubleDollar = true;
    SonarProtocol q(SonarIdentity{}, g);
    EXPECT_EQ(taken(q, "$cmd,get,deviceid*ff\r\n"), "$rsp,devi$rsp,deviceid*ff\r\n");
}

TEST(EpochFromCivil, InverseOfCivilFromEpoch) {
    for (double t : {0.0, 951782400.0, 1709251199.0, 1714557600.0, 4102444799.0}) {
        const CivilTime c = civilFromEpoch(t);
        EXPECT_EQ(epochFromCivil(c.year, c.month, c.day, c.hour, c.minute, c.second, 0), t);
    }
}

} // namespace
} // namespace kestrova::sim
