#pragma once
// A reader of eXtended Triton Format files for the tests, written from the
// published layout of the format (XTFFILEHEADER with CHANINFO[6], then records
// that open with XTFPINGHEADER, MagicNumber 0xFACE, each sonar channel an
// XTFPINGCHANHEADER followed by its samples). It shares nothing with the
// writer: offsets are spelled out here as the format's documentation gives
// them, and every length is checked against the bytes present.

#include <cstdint>
#include <cstring>
#include <optional>
#include <string>
#include <vector>

namespace kestrova::testing::xtf_read {

inline std::uint16_t u16(const std::vector<std::uint8_t>& b, std::size_t o) {
    return static_cast<std::uint16_t>(b.at(o) | (b.at(o + 1) << 8));
}
inline std::uint32_t u32(const std::vector<std::uint8_t>& b, std::size_t o) {
    return std::uint32_t{b.at(o)} | (std::uint32_t{b.at(o + 1)} << 8) |
           (std::uint32_t{b.at(o + 2)} << 16) | (std::uint32_t{b.at(o + 3)} << 24);
}
inline float f32(const std::vector<std::uint8_t>& b, std::size_t o) {
    std::uint32_t v = u32(b, o);
    float f;
    std::memcpy(&f, &v, 4);
    return f;
}
inline double f64(const std::vector<std::uint8_t>& b, std::size_t o) {
    std::uint64_t v = std::uint64_t{u32(b, o)} | (std::uint64_t{u32(b, o + 4)} << 32);
    double d;
    std::memcpy(&d, &v, 8);
    return d;
}
inline std::string text(const std::vector<std::uint8_t>& b, std::size_t o, std::size_t n) {
    std::string s;
    for (std::size_t i = 0; i < n && b.at(o + i) != 0; ++i)
        s.push_back(static_cast<char>(b[o + i]));
    return s;
}

struct ChanInfo {
    int typeOfChannel, subChannelNumber, correctionFlags, uniPolar, bytesPerSample;
    std::string channelName;
    float voltScale, frequency, horizBeamAngle, tiltAngle, beamWidth;
};

struct FileHeader {
    int fileFormat, systemType;
    std::string recordingProgramName, recordingProgramVersion, sonarName, noteString, thisFileName;
    int sonarType, navUnits, numberOfSonarChannels, numberOfBathymetryChannels;
    ChanInfo chan[6];
};

struct ChannelHeader {
    int channelNumber;
    float slantRange, timeDuration;
    int frequency, bandWidth;
    std::uint32_t numSamples;
    std::vector<std::uint16_t> samples;
};

struct Ping {
    std::size_t offset; // in the file
    int magic, headerType, subChannel, numChansToFollow;
    std::uint32_t numBytesThisRecord;
    int year, month, day, hour, minute, second, hSeconds, julianDay;
    std::uint32_t eventNumber, pingNumber;
    float soundVelocity;
    double shipY, shipX, sensorY, sensorX;
    float altitude, pitch, roll, heading, heave;
    std::vector<ChannelHeader> channels;
    std::vector<std::uint8_t> padding; // bytes after the last channel's samples
};

struct File {
    FileHeader header;
    std::vector<Ping> pings;
    bool clean = false; // every byte accounted for by whole records
};

inline std::optional<File> parse(const std::vector<std::uint8_t>& b) {
    if (b.size() < 1024) return std::nullopt;
    File f;
    FileHeader& h = f.header;
    h.fileFormat = b[0];
    h.systemType = b[1];
    h.recordingProgramName = text(b, 2, 8);
    h.recordingProgramVersion = text(b, 10, 8);
    h.sonarName = text(b, 18, 16);
    h.sonarType = u16(b, 34);
    h.noteString = text(b, 36, 64);
    h.thisFileName = text(b, 100, 64);
    h.navUnits = u16(b, 164);
    h.numberOfSonarChannels = u16(b, 166);
    h.numberOfBathymetryChannels = u16(b, 168);
    for (int c = 0; c < 6; ++c) {
        const std::size_t o = 256 + 128 * c;
        ChanInfo& ci = h.chan[c];
        ci.typeOfChannel = b[o];
        ci.subChannelNumber = b[o + 1];
        ci.correctionFlags = u16(b, o + 2);
        ci.uniPolar = u16(b, o + 4);
        ci.bytesPerSample = u16(b, o + 6);
        ci.channelName = text(b, o + 12, 16);
        ci.voltScale = f32(b, o + 28);
        ci.frequency = f32(b, o + 32);
        ci.horizBeamAngle = f32(b, o + 36);
        ci.tiltAngle = f32(b, o + 40);
        ci.beamWidth = f32(b, o + 44);
    }
    const int channels = h.numberOfSonarChannels;
    const int bytesPerSample = channels > 0 ? h.chan[0].bytesPerSample : 0;
    std::size_t at = 1024;
    while (at + 256 <= b.size()) {
        Ping p{};
        p.offset = at;
        p.magic = u16(b, at);
        if (p.magic != 0xFACE) return f;
        p.headerType = b[at + 2];
        p.subChannel = b[at + 3];
        p.numChansToFollow = u16(b, at + 4);
        p.numBytesThisRecord = u32(b, at + 10);
        if (p.numBytesThisRecord < 256 || at + p.numBytesThisRecord > b.size()) return f;
        p.year = u16(b, at + 14);
        p.month = b[at + 16];
        p.day = b[at + 17];
        p.hour = b[at + 18];
        p.minute = b[at + 19];
        p.second = b[at + 20];
        p.hSeconds = b[at + 21];
        p.julianDay = u16(b, at + 22);
        p.eventNumber = u32(b, at + 24);
        p.pingNumber = u32(b, at + 28);
        p.soundVelocity = f32(b, at + 32);
        p.shipY = f64(b, at + 128);
        p.shipX = f64(b, at + 136);
        p.sensorY = f64(b, at + 160);
        p.sensorX = f64(b, at + 168);
        p.altitude = f32(b, at + 196);
        p.pitch = f32(b, at + 204);
        p.roll = f32(b, at + 208);
        p.heading = f32(b, at + 212);
        p.heave = f32(b, at + 216);
        std::size_t c = at + 256;
        const std::size_t end = at + p.numBytesThisRecord;
        for (int k = 0; k < p.numChansToFollow; ++k) {
            if (c + 64 > end) return f;
            ChannelHeader ch{};
            ch.channelNumber = u16(b, c);
            ch.slantRange = f32(b, c + 4);
            ch.timeDuration = f32(b, c + 16);
            ch.frequency = u16(b, c + 26);
            ch.bandWidth = u16(b, c + 32);
            ch.numSamples = u32(b, c + 42);
            c += 64;
            if (bytesPerSample != 2 || c + 2ull * ch.numSamples > end) return f;
            for (std::uint32_t i = 0; i < ch.numSamples; ++i)
                ch.samples.push_back(u16(b, c + 2 * i));
            c += 2ull * ch.numSamples;
            p.channels.push_back(std::move(ch));
        }
        p.padding.assign(b.begin() + static_cast<long>(c), b.begin() + static_cast<long>(end));
        f.pings.push_back(std::move(p));
        at = end;
    }
    f.clean = at == b.size();
    return f;
}

} // namespace kestrova::testing::xtf_read
