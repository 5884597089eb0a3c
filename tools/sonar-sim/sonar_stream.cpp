#include "tools/sonar-sim/sonar_stream.h"

#include "acquisition/frame_format.h"
#include "tools/nav-sim/sim_world.h"

#include <algorithm>
#include <cmath>

namespace kestrova::sim {

using namespace kestrova::acquisition;

CivilTime civilFromEpoch(double seconds) {
    double whole = std::floor(seconds);
    auto micro = static_cast<std::uint32_t>(std::llround((seconds - whole) * 1e6));
    if (micro >= 1000000) {
        micro -= 1000000;
        whole += 1;
    }
    auto s = static_cast<std::int64_t>(whole);
    std::int64_t days = s >= 0 ? s / 86400 : (s - 86399) / 86400;
    std::int64_t rem = s - days * 86400;
    // Days to a proleptic Gregorian date (era-based calendar arithmetic).
    days += 719468;
    const std::int64_t era = (days >= 0 ? days : days - 146096) / 146097;
    const std::int64_t doe = days - era * 146097;
    const std::int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const std::int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const std::int64_t mp = (5 * doy + 2) / 153;
    const std::int64_t d = doy - (153 * mp + 2) / 5 + 1;
    const std::int64_t m = mp < 10 ? mp + 3 : mp - 9;
    const std::int64_t y = yoe + era * 400 + (m <= 2 ? 1 : 0);
    return CivilTime{static_cast<int>(y),
                     static_cast<int>(m),
                     static_cast<int>(d),
                     static_cast<int>(rem / 3600),
                     static_cast<int>(rem / 60 % 60),
                     static_cast<int>(rem % 60),
                     micro};
}

double SonarStreamConfig::rangeM(bool hfPing) const {
    const std::uint32_t length = hfPing ? hfSampleLength : lfSampleLength;
    if (length == 0) return hfPing ? hfRangeM : lfRangeM;
    return length * soundVelocity / (2.0 * std::max<std::uint32_t>(sampleRateHz, 1));
}

std::uint32_t SonarStreamConfig::window(bool hfPing) const {
    const std::uint32_t length = hfPing ? hfSampleLength : lfSampleLength;
    if (length != 0) return length;
    return static_cast<std::uint32_t>(rangeM(hfPing) * 2.0 * sampleRateHz / soundVelocity);
}

namespace {
double longestRange(const SonarStreamConfig& c) {
    return std::max(c.hf ? c.rangeM(true) : 0.0, c.lf ? c.rangeM(false) : 0.0);
}
} // namespace

SonarStream::SonarStream(const SonarStreamConfig& config, const FaultPlan& faults)
    : config_(config), faults_(faults), seabed_(config.seed, std::max(longestRange(config), 10.0)),
      faultRandom_(mixSeed(config.seed, 0xFA017)) {
    period_ = 2.0 * longestRange(config_) / std::max(config_.soundVelocity, 1.0) + 0.010;
}

void SonarStream::reconfigure(const SonarStreamConfig& config) {
    const double epoch = config_.startEpoch;
    const std::uint64_t seed = config_.seed;
    const navsim::SimWorld* world = config_.world;
    const double utcOffset = config_.worldUtcOffset;
    config_ = config;
    config_.startEpoch = epoch;
    config_.seed = seed;
    config_.world = world;
    config_.worldUtcOffset = utcOffset;
    period_ = 2.0 * longestRange(config_) / std::max(config_.soundVelocity, 1.0) + 0.010;
    if (!config_.lf) lfPending_ = false;
}

std::uint32_t SonarStream::samplesPerSide(bool hfPing) const {
    if (config_.samplesPerSide) return config_.samplesPerSide;
    const std::uint32_t dec =
        std::max<std::uint32_t>(1, hfPing ? config_.hfDecimation : config_.lfDecimation);
    return config_.window(hfPing) / dec;
}

std::size_t SonarStream::maxFrameSize() const {
    const std::uint32_t n =
        std::max(config_.hf ? samplesPerSide(true) : 0u, config_.lf ? samplesPerSide(false) : 0u);
    return static_cast<std::size_t>(pingFrameLength(n, n)) + SonarFrameHeader::kSize;
}

void SonarStream::attitudeAt(double t, std::int16_t& roll, std::int16_t& pitch, std::int16_t& heave,
                             std::uint16_t& heading) const {
    constexpr double kPi = 3.14159265358979323846;
    roll = static_cast<std::int16_t>(std::lround(320.0 * std::sin(2 * kPi * t / 7.9)));
    pitch = static_cast<std::int16_t>(std::lround(140.0 * std::sin(2 * kPi * t / 11.3 + 0.7)));
    heave = static_cast<std::int16_t>(std::lround(25.0 * std::sin(2 * kPi * t / 5.7)));
    double h = 9000.0 + 150.0 * std::sin(2 * kPi * t / 60.0);
    if (config_.world) h = std::round(config_.world->fishAt(config_.startEpoch + t - config_.worldUtcOffset).heading * 100.0);
    heading = static_cast<std::uint16_t>(std::lround(std::fmod(h + 36000.0, 36000.0)));
}

std::vector<std::uint8_t> SonarStream::pingFrame(bool hfPing, std::uint32_t pingNumber,
                                                 double t) const {
    const std::uint32_t n = samplesPerSide(hfPing);
    const std::uint32_t length = static_cast<std::uint32_t>(pingFrameLength(n, n));
    std::vector<std::uint8_t> frame(length + SonarFrameHeader::kSize, 0);

    SonarFrameHeader fh;
    fh.type = static_cast<std::uint16_t>(hfPing ? FrameType::HfPing : FrameType::LfPing);
    fh.length = length;
    fh.encode(frame);

    const double range = config_.rangeM(hfPing);
    const std::uint32_t window = config_.window(hfPing);
    std::uint32_t dec = hfPing ? config_.hfDecimation : config_.lfDecimation;
    if (config_.samplesPerSide) dec = std::clamp<std::uint32_t>((window + n - 1) / n, 1, 255);

    PingHeader h;
    const CivilTime ct = civilFromEpoch(config_.startEpoch + t);
    h.year = static_cast<std::uint16_t>(ct.year);
    h.month = static_cast<std::uint8_t>(ct.month);
    h.day = static_cast<std::uint8_t>(ct.day);
    h.hour = static_cast<std::uint8_t>(ct.hour);
    h.minute = static_cast<std::uint8_t>(ct.minute);
    h.second = static_cast<std::uint8_t>(ct.second);
    h.microseconds = ct.microseconds;
    h.pingNumber = pingNumber;
    h.layoutMarker = PingHeader::kLayoutMarker;
    PingChannelBlock block;
    block.settingCode = static_cast<std::uint8_t>(std::lround(range) & 0xFF);
    block.frequency = hfPing ? config_.hfFrequency : config_.lfFrequency;
    block.sampleRate = config_.sampleRateHz;
    block.rangeWindow = window;
    block.decimation = static_cast<std::uint8_t>(dec);
    block.sampleCount = n;
    h.port = block;
    h.starboard = block;
    if (config_.attitudeInPings) attitudeAt(t, h.roll, h.pitch, h.heave, h.heading);
    h.encode(frame);

    // Slant range per delivered sample.
    const double spacing = config_.soundVelocity / (2.0 * config_.sampleRateHz / dec);
    const double absorption = hfPing ? 0.012 : 0.004;
    double along = config_.towSpeed * t;
    const std::uint64_t key = (std::uint64_t{pingNumber} << 1) | (hfPing ? 0 : 1);
    std::vector<std::uint32_t> samples(n);
    std::vector<SeabedObject> hits[2];
    if (config_.world) {
        const navsim::FishState fish = config_.world->fishAt(config_.startEpoch + t - config_.worldUtcOffset);
        along = fish.travelled;
        const double hr = fish.heading * 3.14159265358979323846 / 180.0;
        for (const navsim::WorldObject& o : config_.world->objects()) {
            const double de = o.east - fish.east, dn = o.north - fish.north;
            const double a = de * std::sin(hr) + dn * std::cos(hr);
            const double x = de * std::cos(hr) - dn * std::sin(hr); // starboard positive
            if (std::abs(a) > o.size / 2) continue;
            SeabedObject hit;
            hit.alongM = along;
            hit.acrossM = std::abs(x);
            hit.starboard = x > 0;
            hit.heightM = o.height;
            hit.lengthM = o.size;
            hit.widthM = o.size;
            hit.reflectivity = 10.0;
            hits[hit.starboard ? 1 : 0].push_back(hit);
        }
    }
    ByteWriter w(frame);
    for (int s = 0; s < 2; ++s) {
        if (config_.world)
            seabed_.sideWith(along, s == 1, spacing, absorption, key, hits[s], samples);
        else
            seabed_.side(along, s == 1, spacing, absorption, key, samples);
        const std::size_t base =
            PingHeader::kSize + std::size_t{4} * n * static_cast<std::size_t>(s);
        for (std::uint32_t i = 0; i < n; ++i)
            w.u32le(base + 4 * std::size_t{i}, samples[i]);
    }
    w.u32le(frame.size() - kTrailerSize, kFrameTrailer);
    return frame;
}

std::vector<std::uint8_t> SonarStream::attitudeFrame(double t) const {
    const std::uint32_t length = AttitudeRecord::kSize - SonarFrameHeader::kSize + kTrailerSize;
    std::vector<std::uint8_t> frame(length + SonarFrameHeader::kSize, 0);
    SonarFrameHeader fh;
    fh.type = static_cast<std::uint16_t>(FrameType::Attitude);
    fh.length = length;
    fh.encode(frame);
    AttitudeRecord a;
    attitudeAt(t, a.roll, a.pitch, a.heave, a.heading);
    a.encode(frame);
    ByteWriter(frame).u32le(frame.size() - kTrailerSize, kFrameTrailer);
    return frame;
}

SonarStream::Kind SonarStream::nextKind() const {
    if (lfPending_) return Kind::Lf;
    const double attT = static_cast<double>(attitudeIndex_) * config_.attitudeIntervalS;
    if (!config_.hf && !config_.lf) return Kind::Attitude;
    if (config_.attitudeIntervalS > 0 && attT < nextCycle_) return Kind::Attitude;
    return config_.hf ? Kind::Hf : Kind::Lf;
}

double SonarStream::nextTime() const {
    if (lfPending_) return cycleStart_;
    if (nextKind() == Kind::Attitude)
        return static_cast<double>(attitudeIndex_) * config_.attitudeIntervalS;
    return nextCycle_;
}

Emitted SonarStream::next(std::vector<std::uint8_t>& out) {
    const Kind kind = nextKind();
    const double t = nextTime();
    if (kind == Kind::Attitude) {
        ++attitudeIndex_;
    } else if (lfPending_) {
        lfPending_ = false;
    } else {
        cycleStart_ = nextCycle_;
        nextCycle_ += period_;
        lfPending_ = kind == Kind::Hf && config_.lf;
    }

    const std::uint64_t n = ++counts_.frames;
    auto due = [n](std::uint32_t every) { return every != 0 && n % every == 0; };
    const std::size_t start = out.size();

    if (due(faults_.garbageEvery)) {
        const std::size_t len = 1 + faultRandom_.next() % 300;
        for (std::size_t i = 0; i < len; ++i) {
            auto b = static_cast<std::uint8_t>(faultRandom_.next());
            // No 0x02: garbage must never hold a sync word by chance.
            out.push_back(b == 0x02 ? 0x03 : b);
        }
    }
    if (due(faults_.hugeLengthEvery)) {
        std::uint8_t header[SonarFrameHeader::kSize];
        SonarFrameHeader fh;
        fh.type = 0;
        fh.length = 0x7FFFFFF0u;
        fh.encode(header);
        out.insert(out.end(), header, header + sizeof header);
    }

    std::vector<std::uint8_t> frame;
    const bool ping = kind != Kind::Attitude;
    if (ping) {
        const int f = kind == Kind::Hf ? 0 : 1;
        frame = pingFrame(kind == Kind::Hf, ++pingNumber_[f], t);
    } else {
        frame = attitudeFrame(t);
    }

    if (ping && due(faults_.syncInSamplesEvery)) {
        // Samples 1-4: the sync pair, version and type, and a length that
        // reaches 2 MiB ahead (read as a header, it would hold up the stream).
        const std::uint32_t np =
            ByteReader(frame)
                .u32le(PingHeader::kPortBlockOffset + PingChannelBlock::kSampleCountOffset)
                .value_or(0);
        if (np >= 5) {
            ByteWriter w(frame);
            w.u32le(PingHeader::kSize + 4, kSyncWord1);
            w.u32le(PingHeader::kSize + 8, kSyncWord2);
            w.u32le(PingHeader::kSize + 12, 1);
            w.u32le(PingHeader::kSize + 16, 0x200000);
        }
    }

    Emitted e;
    e.time = t;
    bool good = true;
    bool repeat = false;
    if (due(faults_.closeMidFrameEvery)) {
        frame.resize(frame.size() / 2);
        e.closeAfter = true;
        good = false;
    } else if (due(faults_.truncateEvery)) {
        const std::size_t keep = 17 + faultRandom_.next() % (frame.size() - 22);
        frame.resize(keep);
        good = false;
    } else if (due(faults_.badTrailerEvery)) {
        ByteWriter(frame).u32le(frame.size() - kTrailerSize, 0x5555AAAAu);
        good = false;
    } else if (ping && due(faults_.foreignLayoutEvery)) {
        // Another sample layout: 16-bit samples, so the counts no longer
        // give the length as they do for 32-bit ones.
        std::vector<std::uint8_t> foreign(frame.begin(), frame.begin() + PingHeader::kSize);
        const ByteReader r(frame);
        for (std::size_t at = PingHeader::kSize; at + kTrailerSize < frame.size(); at += 4) {
            const std::uint32_t v = r.u32le(at).value_or(0);
            foreign.push_back(static_cast<std::uint8_t>(v));
            foreign.push_back(static_cast<std::uint8_t>(v >> 8));
        }
        foreign.resize(foreign.size() + kTrailerSize);
        ByteWriter w(foreign);
        w.u8(PingHeader::kLayoutMarkerOffset, 0x31);
        w.u32le(SonarFrameHeader::kLengthOffset,
                static_cast<std::uint32_t>(foreign.size() - SonarFrameHeader::kSize));
        w.u32le(foreign.size() - kTrailerSize, kFrameTrailer);
        frame = std::move(foreign);
        good = false;
    } else if (ping && due(faults_.repeatEvery)) {
        repeat = true;
    }
    out.insert(out.end(), frame.begin(), frame.end());
    if (repeat) {
        out.insert(out.end(), frame.begin(), frame.end());
        ++counts_.faulty;
    }
    if (good) {
        if (kind == Kind::Hf)
            ++counts_.hf;
        else if (kind == Kind::Lf)
            ++counts_.lf;
        else
            ++counts_.attitude;
    } else {
        ++counts_.faulty;
    }
    counts_.bytes += out.size() - start;
    return e;
}

} // namespace kestrova::sim
