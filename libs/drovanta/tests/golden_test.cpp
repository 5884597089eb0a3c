// Reference outputs of Drovanta over 240 synthetic dual-frequency pings. The
// display lines go into XTF files and onto the operator's screen; they must not
// change by a single count when the library is rebuilt with another compiler,
// another optimisation level or another flag. Any change to the arithmetic
// (a contracted multiply-add, a reordered sum, a different rounding) shows here.
//
// golden/pings.bin holds every output of every call; golden/pings.txt is its
// summary for review. To rebuild both after an intended change:
//   DROVANTA_GOLDEN_REGENERATE=1 build/tests/drovanta_tests --gtest_filter='Golden*'
// and review the diff of pings.txt.

#include "libs/drovanta/drovanta.h"
#include "libs/drovanta/tests/seabed_pings.h"
#include "platform/bytes.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

using namespace kestrova::drovanta::test;

namespace {

constexpr std::uint32_t kPings = 240;
constexpr std::uint32_t kSides = 4; // HF port, HF starboard, LF port, LF starboard
constexpr std::uint32_t kVersion = 1;
const char* const kSideNames[kSides] = {"HF-port", "HF-stbd", "LF-port", "LF-stbd"};

struct SideRecord {
    std::uint32_t length = 0;
    std::uint32_t bottom = 0;
    float strength = 0;
    float factor = 0;      // gain_state(1)
    float bottomRange = 0; // gain_state(2)
    std::uint32_t gainHash = 0;
    std::vector<std::uint16_t> line;
};

struct PingRecord {
    SideRecord sides[kSides];
    std::uint32_t aSelected = 0;
    std::uint32_t bSelected = 0;
    float altitude = 0;
};

std::uint32_t fnv1a(std::uint32_t h, std::uint32_t word) {
    for (int i = 0; i < 4; ++i) {
        h ^= (word >> (8 * i)) & 0xffu;
        h *= 16777619u;
    }
    return h;
}

// How the survey runs: segments exercise the automatic and threshold
// detectors, both backgrounds, a fractional decimation step, restarts of the
// adaptation, a dead ping of zeros and a ping that stops early.
struct PingSetup {
    bool reset = false;
    std::uint8_t useMean = 1;
    float step = 1.0f;
    std::uint32_t threshold = 0;
    std::uint32_t minDm = 10;
    std::uint32_t maxDm = 100;
    std::uint32_t hfRate = 13500; // Hz of the raw samples
    std::uint32_t lfRate = 6750;
};

PingSetup setupOf(std::uint32_t p) {
    PingSetup s;
    s.reset = p == 0 || p == 33 || p == 80 || p == 140 || p == 190;
    if (p >= 80 && p < 140) {
        s.threshold = 7;
        s.minDm = 30;
        s.maxDm = 300;
    }
    if (p >= 140 && p < 190) s.useMean = 0;
    if (p >= 190) {
        s.step = 1.6f;
        s.hfRate = 21600;
        s.lfRate = 10800;
    }
    if (p == 215) s.threshold = 12;
    return s;
}

std::vector<PingRecord> runSurvey() {
    constexpr float c = 1500.0f;
    constexpr std::uint32_t rangeM = 40;
    std::vector<std::vector<float>> gains(kSides);
    std::vector<PingRecord> records(kPings);
    sss_display_repro_initialize();
    for (std::uint32_t p = 0; p < kPings; ++p) {
        const PingSetup s = setupOf(p);
        PingRecord& rec = records[p];
        for (std::uint32_t side = 0; side < kSides; ++side) {
            const int frequency = side < 2 ? 0 : 1;
            const std::uint32_t fs = frequency ? s.lfRate : s.hfRate;
            SideRequest req;
            req.ping = p;
            req.side = static_cast<int>(side % 2);
            req.frequency = frequency;
            req.sampleRateHz = fs;
            req.samples = rangeM * 2 * fs / 1500;
            std::vector<std::uint32_t> x = seabedSide(req);
            if (p == 60 && side == 0) std::fill(x.begin(), x.end(), 0u); // a dead ping
            if (p == 150 && side == 3) {
                std::fill(x.begin() + static_cast<std::ptrdiff_t>(x.size() * 7 / 10), x.end(), 0u);
            }
            const std::uint32_t n =
                static_cast<std::uint32_t>(std::floor(float(x.size()) / s.step));
            std::vector<float>& gain = gains[side];
            if (gain.size() != n) gain.assign(n, 0.0f);
            SideRecord& out = rec.sides[side];
            out.line.assign(n, 0);
            const auto fsF = static_cast<float>(fs);
            sss_display_repro(x.data(), static_cast<std::uint32_t>(x.size()), s.reset ? 1 : 0, fsF,
                              s.step, s.useMean, 4294967295u, 0, 32767,
                              static_cast<std::uint32_t>(fsF / c), 0.02f, 0.04f, c, s.minDm,
                              s.maxDm, s.threshold, nullptr, gain.data(), out.line.data(),
                              &out.length, &out.bottom, &out.strength);
            out.factor = gain[0];
            out.bottomRange = gain[1];
            std::uint32_t h = 2166136261u;
            for (std::size_t k = 2; k < n; ++k)
                h = fnv1a(h, std::bit_cast<std::uint32_t>(gain[k]));
            out.gainHash = h;
        }
        const bool usePairB = (p / 50) % 2 == 1;
        float cleared = 1.0f;
        depth_select_filter(c, static_cast<float>(usePairB ? s.lfRate : s.hfRate) / s.step,
                            usePairB ? 1 : 0, 50.0f, 20.0f, s.reset ? 1.0f : 0.0f,
                            rec.sides[0].bottom, rec.sides[0].strength, rec.sides[1].bottom,
                            rec.sides[1].strength, rec.sides[2].bottom, rec.sides[2].strength,
                            rec.sides[3].bottom, rec.sides[3].strength, &cleared, &rec.altitude,
                            &rec.aSelected, &rec.bSelected);
    }
    return records;
}

std::vector<std::uint8_t> encode(const std::vector<PingRecord>& records) {
    std::size_t size = 16;
    for (const PingRecord& r : records) {
        for (const SideRecord& s : r.sides)
            size += 24 + 2 * s.line.size();
        size += 12;
    }
    std::vector<std::uint8_t> bytes(size);
    kestrova::ByteWriter w(bytes.data(), bytes.size());
    w.bytes(0, "DRVG", 4);
    w.u32le(4, kVersion);
    w.u32le(8, static_cast<std::uint32_t>(records.size()));
    w.u32le(12, kSides);
    std::size_t off = 16;
    for (const PingRecord& r : records) {
        for (const SideRecord& s : r.sides) {
            w.u32le(off, s.length);
            w.u32le(off + 4, s.bottom);
            w.f32le(off + 8, s.strength);
            w.f32le(off + 12, s.factor);
            w.f32le(off + 16, s.bottomRange);
            w.u32le(off + 20, s.gainHash);
            off += 24;
            for (std::uint16_t v : s.line) {
                w.u16le(off, v);
                off += 2;
            }
        }
        w.u32le(off, r.aSelected);
        w.u32le(off + 4, r.bSelected);
        w.f32le(off + 8, r.altitude);
        off += 12;
    }
    return bytes;
}

// The reference as it was stored; false when the file is short or foreign.
bool decode(const std::vector<std::uint8_t>& bytes, std::vector<PingRecord>& records,
            std::string& why) {
    kestrova::ByteReader r(bytes.data(), bytes.size());
    if (!r.has(0, 16) || std::string(bytes.begin(), bytes.begin() + 4) != "DRVG") {
        why = "not a Drovanta reference file";
        return false;
    }
    if (*r.u32le(4) != kVersion || *r.u32le(12) != kSides) {
        why = "unknown reference version";
        return false;
    }
    records.assign(*r.u32le(8), PingRecord{});
    std::size_t off = 16;
    for (PingRecord& rec : records) {
        for (SideRecord& s : rec.sides) {
            if (!r.has(off, 24)) {
                why = "reference file cut short";
                return false;
            }
            s.length = *r.u32le(off);
            s.bottom = *r.u32le(off + 4);
            s.strength = *r.f32le(off + 8);
            s.factor = *r.f32le(off + 12);
            s.bottomRange = *r.f32le(off + 16);
            s.gainHash = *r.u32le(off + 20);
            off += 24;
            if (s.length > 86400 || !r.has(off, 2 * std::size_t{s.length})) {
                why = "reference line cut short";
                return false;
            }
            s.line.resize(s.length);
            for (std::uint32_t k = 0; k < s.length; ++k)
                s.line[k] = *r.u16le(off + 2 * k);
            off += 2 * std::size_t{s.length};
        }
        if (!r.has(off, 12)) {
            why = "reference file cut short";
            return false;
        }
        rec.aSelected = *r.u32le(off);
        rec.bSelected = *r.u32le(off + 4);
        rec.altitude = *r.f32le(off + 8);
        off += 12;
    }
    if (off != bytes.size()) {
        why = "trailing bytes in the reference file";
        return false;
    }
    return true;
}

std::string summary(const std::vector<PingRecord>& records) {
    std::ostringstream out;
    out << "# Drovanta reference outputs: 240 synthetic pings, 4 sides each (HF 13.5 kHz,\n"
           "# LF 6.75 kHz, 40 m). Pings 0-79 automatic detector, 80-139 threshold 7 in\n"
           "# 3-30 m, 140-189 order-statistic background, 190-239 step 1.6 at 21.6/10.8 kHz\n"
           "# (215: threshold 12). Restarts at 0, 33, 80, 140, 190; ping 60 HF-port is all\n"
           "# zeros; ping 150 LF-stbd stops at 70 %. Per side: display samples, bottom\n"
           "# sample, strength, factor gain_state(1), bottom slant gain_state(2), FNV-1a of\n"
           "# the gain curve, display line minimum/maximum/mean, FNV-1a of the line.\n";
    char text[320];
    for (std::size_t p = 0; p < records.size(); ++p) {
        const PingRecord& r = records[p];
        for (std::uint32_t side = 0; side < kSides; ++side) {
            const SideRecord& s = r.sides[side];
            std::uint32_t lo = 65535, hi = 0, h = 2166136261u;
            double sum = 0;
            for (std::uint16_t v : s.line) {
                lo = std::min<std::uint32_t>(lo, v);
                hi = std::max<std::uint32_t>(hi, v);
                sum += v;
                h = fnv1a(h, v);
            }
            std::snprintf(text, sizeof text,
                          "%3zu %s N=%u bottom=%u strength=%.7g (%a) factor=%.7g (%a) "
                          "slant=%.4f gain=%08x line=%u/%u/%.2f %08x\n",
                          p, kSideNames[side], s.length, s.bottom, double(s.strength),
                          double(s.strength), double(s.factor), double(s.factor),
                          double(s.bottomRange), s.gainHash, s.line.empty() ? 0 : lo, hi,
                          s.line.empty() ? 0.0 : sum / double(s.line.size()), h);
            out << text;
        }
        std::snprintf(text, sizeof text, "%3zu depth A=%u B=%u altitude=%.4f (%a)\n", p,
                      r.aSelected, r.bSelected, double(r.altitude), double(r.altitude));
        out << text;
    }
    return out.str();
}

std::string goldenFolder() {
    const char* source = std::getenv("KESTROVA_SOURCE");
    return std::string(source ? source : ".") + "/libs/drovanta/tests/golden/";
}

std::vector<std::uint8_t> readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::vector<std::uint8_t>(std::istreambuf_iterator<char>(in), {});
}

// One line per field that differs, at most `limit` lines.
std::string compare(const std::vector<PingRecord>& want, const std::vector<PingRecord>& got,
                    int limit, int& differences) {
    std::ostringstream out;
    differences = 0;
    auto note = [&](std::size_t p, const char* where, const std::string& what) {
        if (++differences <= limit) out << "ping " << p << " " << where << ": " << what << "\n";
    };
    auto bits = [](float v) { return std::bit_cast<std::uint32_t>(v); };
    for (std::size_t p = 0; p < want.size() && p < got.size(); ++p) {
        for (std::uint32_t side = 0; side < kSides; ++side) {
            const SideRecord& a = want[p].sides[side];
            const SideRecord& b = got[p].sides[side];
            auto field = [&](const char* name, auto x, auto y) {
                if (x != y) {
                    std::ostringstream m;
                    m << name << " expected " << x << " got " << y;
                    note(p, kSideNames[side], m.str());
                }
            };
            field("length", a.length, b.length);
            field("bottom", a.bottom, b.bottom);
            field("strength bits", bits(a.strength), bits(b.strength));
            field("factor bits", bits(a.factor), bits(b.factor));
            field("slant bits", bits(a.bottomRange), bits(b.bottomRange));
            field("gain curve hash", a.gainHash, b.gainHash);
            for (std::size_t k = 0; k < a.line.size() && k < b.line.size(); ++k) {
                if (a.line[k] != b.line[k]) {
                    std::ostringstream m;
                    m << "display sample " << k + 1 << " expected " << a.line[k] << " got "
                      << b.line[k];
                    note(p, kSideNames[side], m.str());
                    break; // the first differing sample of a line is enough
                }
            }
        }
        if (want[p].aSelected != got[p].aSelected || want[p].bSelected != got[p].bSelected ||
            bits(want[p].altitude) != bits(got[p].altitude)) {
            note(p, "depth", "selection or altitude differs");
        }
    }
    if (want.size() != got.size()) note(0, "file", "ping count differs");
    return out.str();
}

} // namespace

TEST(Golden, EverySurveyOutputMatchesTheReferenceToTheLastBit) {
    const std::vector<PingRecord> got = runSurvey();
    const std::string folder = goldenFolder();
    if (const char* regen = std::getenv("DROVANTA_GOLDEN_REGENERATE"); regen && *regen == '1') {
        const std::vector<std::uint8_t> bytes = encode(got);
        std::ofstream(folder + "pings.bin", std::ios::binary)
            .write(reinterpret_cast<const char*>(bytes.data()),
                   static_cast<std::streamsize>(bytes.size()));
        std::ofstream(folder + "pings.txt") << summary(got);
        GTEST_SKIP() << "reference files rewritten in " << folder;
    }

    std::vector<PingRecord> want;
    std::string why;
    ASSERT_TRUE(decode(readFile(folder + "pings.bin"), want, why))
        << folder << "pings.bin: " << why;
    int differences = 0;
    const std::string report = compare(want, got, 20, differences);
    EXPECT_EQ(differences, 0) << report;

    // The reviewed summary must describe the same reference.
    const std::vector<std::uint8_t> text = readFile(folder + "pings.txt");
    EXPECT_EQ(std::string(text.begin(), text.end()), summary(want));
}

TEST(Golden, SurveyExercisesEveryPathItClaimsTo) {
    // Guards the reference itself: a survey whose bottoms are all 0, or whose
    // lines are all saturated, would pin down very little.
    const std::vector<PingRecord> got = runSurvey();
    int bottoms = 0, zeroLines = 0, saturated = 0, switchesA = 0;
    for (std::size_t p = 0; p < got.size(); ++p) {
        for (const SideRecord& s : got[p].sides) {
            bottoms += s.bottom != 0;
            bool allZero = true;
            for (std::uint16_t v : s.line) {
                allZero = allZero && v == 0;
                saturated += v == 32767;
            }
            zeroLines += allZero;
        }
        if (p > 0 && got[p].aSelected != 0 && got[p - 1].aSelected != 0 &&
            (got[p].aSelected == got[p].sides[0].bottom) !=
                (got[p - 1].aSelected == got[p - 1].sides[0].bottom)) {
            ++switchesA;
        }
    }
    EXPECT_GT(bottoms, int(kPings * kSides * 9 / 10));
    EXPECT_EQ(zeroLines, 1); // only the dead ping
    EXPECT_GT(saturated, 0);
    EXPECT_GT(switchesA, 0);
}
