#include "acquisition/xtf_writer.h"

#include "acquisition/frame_format.h"
#include "platform/bytes.h"
#include "platform/fs.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <unistd.h>

namespace kestrova::acquisition {

using platform::LockHold;

namespace {

// Fields of the XTF file header, channel info, ping header and channel header.
namespace fh {
constexpr std::size_t FileFormat = 0, SystemType = 1, RecordingProgramName = 2,
                      RecordingProgramVersion = 10, SonarName = 18, SonarType = 34, NoteString = 36,
                      ThisFileName = 100, NavUnits = 164, NumberOfSonarChannels = 166;
} // namespace fh
namespace ci {
constexpr std::size_t TypeOfChannel = 0, SubChannelNumber = 1, CorrectionFlags = 2, UniPolar = 4,
                      BytesPerSample = 6, ChannelName = 12, VoltScale = 28, Frequency = 32,
                      HorizBeamAngle = 36, TiltAngle = 40, BeamWidth = 44;
} // namespace ci
namespace ph {
constexpr std::size_t MagicNumber = 0, HeaderType = 2, SubChannelNumber = 3, NumChansToFollow = 4,
                      NumBytesThisRecord = 10, Year = 14, Month = 16, Day = 17, Hour = 18,
                      Minute = 19, Second = 20, HSeconds = 21, JulianDay = 22, EventNumber = 24,
                      PingNumber = 28, SoundVelocity = 32, ShipYcoordinate = 128,
                      ShipXcoordinate = 136, SensorYcoordinate = 160, SensorXcoordinate = 168,
                      SensorPrimaryAltitude = 196, SensorPitch = 204, SensorRoll = 208,
                      SensorHeading = 212, Heave = 216;
} // namespace ph
namespace ch {
constexpr std::size_t ChannelNumber = 0, SlantRange = 4, TimeDuration = 16, Frequency = 26,
                      BandWidth = 32, NumSamples = 42;
} // namespace ch

void putText(ByteWriter& w, std::size_t off, std::string_view text, std::size_t size) {
    w.bytes(off, text.data(), std::min(text.size(), size));
}

// "Port 900": the frequency as a whole number of at most 5 characters.
std::string channelName(const char* side, float frequency) {
    char num[32];
    // Only a value an int holds is converted (a NaN or huge one names 0).
    const bool fits = std::isfinite(frequency) && std::fabs(frequency) < 2.0e9f;
    std::snprintf(num, sizeof num, "%d", fits ? static_cast<int>(frequency) : 0);
    return std::string(side) + std::string(num).substr(0, 5);
}

void channelInfo(ByteWriter& w, std::size_t base, int side, const xtf::ChannelSetup& s) {
    w.u8(base + ci::TypeOfChannel, static_cast<std::uint8_t>(side == 0 ? 1 : 2));
    w.u8(base + ci::SubChannelNumber, static_cast<std::uint8_t>(side));
    w.u16le(base + ci::CorrectionFlags, 1);
    w.u16le(base + ci::UniPolar, 1);
    w.u16le(base + ci::BytesPerSample, 2);
    putText(w, base + ci::ChannelName, channelName(side == 0 ? "Port " : "Starboard ", s.frequency),
            16);
    w.f32le(base + ci::VoltScale, 5.0f);
    w.f32le(base + ci::Frequency, s.frequency);
    w.f32le(base + ci::HorizBeamAngle, s.horizBeamAngle);
    w.f32le(base + ci::TiltAngle, 30.0f);
    w.f32le(base + ci::BeamWidth, 50.0f);
}

void channelHeader(std::uint8_t* out, int side, const ByteReader& ping, std::size_t block,
                   std::size_t samples, float soundVelocity) {
    ByteWriter w(out, xtf::kChannelHeaderSize);
    const std::uint32_t rate = ping.u32le(block + PingChannelBlock::kSampleRateOffset).value_or(0);
    const std::uint32_t window =
        ping.u32le(block + PingChannelBlock::kRangeWindowOffset).value_or(0);
    const float duration =
        rate == 0 ? 0.0f : static_cast<float>(static_cast<double>(window) / rate);
    const float slant =
        rate == 0 ? 0.0f
                  : static_cast<float>(soundVelocity / 2.0 * static_cast<double>(window) / rate);
    w.u16le(ch::ChannelNumber, static_cast<std::uint16_t>(side));
    w.f32le(ch::SlantRange, slant);
    w.f32le(ch::TimeDuration, duration);
    w.u16le(ch::Frequency, ping.u16le(block + PingChannelBlock::kFrequencyOffset).value_or(0));
    w.u16le(ch::BandWidth, 60);
    w.u32le(ch::NumSamples, static_cast<std::uint32_t>(samples));
}

void putSamples(std::uint8_t* out, std::span<const std::uint16_t> samples, bool reversed) {
    const std::size_t n = samples.size();
    for (std::size_t i = 0; i < n; ++i) {
        const std::uint16_t v = reversed ? samples[n - 1 - i] : samples[i];
        out[2 * i] = static_cast<std::uint8_t>(v);
        out[2 * i + 1] = static_cast<std::uint8_t>(v >> 8);
    }
}

} // namespace

std::optional<XtfPingInput> xtfInputFromHistoryLine(std::span<const std::uint8_t> line,
                                                    std::vector<std::uint16_t>& port,
                                                    std::vector<std::uint16_t>& starboard) {
    if (line.size() < history_line::kSize) return std::nullopt;
    ByteReader r(line);
    const std::size_t np = std::min<std::size_t>(*r.u32le(136), history_line::kMaxPort);
    const std::size_t ns = std::min<std::size_t>(*r.u32le(192), history_line::kMaxStarboard);
    port.resize(np);
    starboard.resize(ns);
    // The halves are the ring's 16-bit display values as the processing
    // stored them (in the machine's order), within the line's size.
    if (np > 0) std::memcpy(port.data(), line.data() + history_line::kPortOffset, 2 * np);
    if (ns > 0)
        std::memcpy(starboard.data(), line.data() + history_line::kStarboardOffset, 2 * ns);
    return XtfPingInput{line.first(PingHeader::kSize), port, starboard};
}

namespace xtf {

std::uint32_t recordSize(std::size_t portSamples, std::size_t starboardSamples) {
    // Both sides' samples count, so a record whose sides differ is still sized
    // to what it holds; with equal sides this is 384 + 4 Np.
    const std::uint64_t body = kPingHeaderSize + 2 * kChannelHeaderSize +
                               2 * (std::uint64_t{portSamples} + starboardSamples);
    return static_cast<std::uint32_t>((body + 63) / 64 * 64);
}

int julianDay(int year, int month, int day) {
    if (year < 1970 || month < 1 || month > 12 || day < 1 || day > 31) return 0;
    static constexpr int kBefore[12] = {0, 31, 59, 90, 120, 151, 181, 212, 243, 273, 304, 334};
    const bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
    return kBefore[month - 1] + day + (leap && month > 2 ? 1 : 0);
}

std::array<std::uint8_t, kFileHeaderSize> encodeFileHeader(const ChannelSetup& s,
                                                           const std::string& path) {
    std::array<std::uint8_t, kFileHeaderSize> out{};
    ByteWriter w(out);
    const std::string type = s.deviceType.substr(0, 11);
    w.u8(fh::FileFormat, 0x7B);
    w.u8(fh::SystemType, 1);
    putText(w, fh::RecordingProgramName, "Vornack", 8);
    putText(w, fh::RecordingProgramVersion, "223", 8);
    putText(w, fh::SonarName, type + ".exe", 16);
    w.u16le(fh::SonarType, 0);
    putText(w, fh::NoteString, "Ostravent " + type, 64);
    putText(w, fh::ThisFileName, path.size() > 63 ? path.substr(path.size() - 63) : path, 64);
    w.u16le(fh::NavUnits, 3);
    w.u16le(fh::NumberOfSonarChannels, 2);
    channelInfo(w, kChanInfoOffset, 0, s);
    channelInfo(w, kChanInfoOffset + kChanInfoSize, 1, s);
    return out;
}

void appendPingRecord(const XtfPingInput& ping, const XtfPingContext& context, float soundVelocity,
                      std::vector<std::uint8_t>& out) {
    const std::size_t np = ping.port.size();
    const std::size_t ns = ping.starboard.size();
    const std::uint32_t size = recordSize(np, ns);
    const std::size_t start = out.size();
    out.resize(start + size, 0);
    std::uint8_t* rec = out.data() + start;
    std::memset(rec, 0, size);

    ByteReader h(ping.header);
    ByteWriter w(rec, kPingHeaderSize);
    const int year = h.u16le(PingHeader::kYearOffset).value_or(0);
    const int month = h.u8(PingHeader::kMonthOffset).value_or(0);
    const int day = h.u8(PingHeader::kDayOffset).value_or(0);
    const std::uint32_t micro = h.u32le(PingHeader::kMicrosecondOffset).value_or(0);
    w.u16le(ph::MagicNumber, kMagic);
    w.u8(ph::HeaderType, 0);
    w.u8(ph::SubChannelNumber, 0);
    w.u16le(ph::NumChansToFollow, 2);
    w.u32le(ph::NumBytesThisRecord, size);
    w.u16le(ph::Year, static_cast<std::uint16_t>(year));
    w.u8(ph::Month, static_cast<std::uint8_t>(month));
    w.u8(ph::Day, static_cast<std::uint8_t>(day));
    w.u8(ph::Hour, h.u8(PingHeader::kHourOffset).value_or(0));
    w.u8(ph::Minute, h.u8(PingHeader::kMinuteOffset).value_or(0));
    w.u8(ph::Second, h.u8(PingHeader::kSecondOffset).value_or(0));
    // A microsecond count beyond the second (bad input) stays within 0-99.
    w.u8(ph::HSeconds, static_cast<std::uint8_t>(std::min<std::uint32_t>(micro / 10000, 99)));
    w.u16le(ph::JulianDay, static_cast<std::uint16_t>(julianDay(year, month, day)));
    w.u32le(ph::EventNumber, 0);
    w.u32le(ph::PingNumber, h.u32le(PingHeader::kPingNumberOffset).value_or(0));
    w.f32le(ph::SoundVelocity, soundVelocity / 2.0f);
    w.f64le(ph::ShipYcoordinate, context.latitude);
    w.f64le(ph::ShipXcoordinate, context.longitude);
    w.f64le(ph::SensorYcoordinate, context.latitude);
    w.f64le(ph::SensorXcoordinate, context.longitude);
    w.f32le(ph::SensorPrimaryAltitude, context.altitude);
    w.f32le(ph::SensorPitch, h.i16le(PingHeader::kPitchOffset).value_or(0) / 100.0f);
    w.f32le(ph::SensorRoll, h.i16le(PingHeader::kRollOffset).value_or(0) / 100.0f);
    w.f32le(ph::SensorHeading, h.u16le(PingHeader::kHeadingOffset).value_or(0) / 100.0f);
    w.f32le(ph::Heave, h.i16le(PingHeader::kHeaveOffset).value_or(0) / 100.0f);

    std::uint8_t* p = rec + kPingHeaderSize;
    channelHeader(p, 0, h, PingHeader::kPortBlockOffset, np, soundVelocity);
    p += kChannelHeaderSize;
    putSamples(p, ping.port, true); // farthest from nadir first
    p += 2 * np;
    channelHeader(p, 1, h, PingHeader::kStarboardBlockOffset, ns, soundVelocity);
    p += kChannelHeaderSize;
    putSamples(p, ping.starboard, false);
    // The pad after the starboard samples is already zero.
}

} // namespace xtf

XtfWriter::XtfWriter(OperatorNotices& notices, platform::MessageQueue* queue,
                     RecordingEnvironment env)
    : notices_(notices), queue_(queue), env_(std::move(env)) {
    env_.complete();
}

XtfWriter::~XtfWriter() {
    LockHold hold(lock_);
    closeLocked();
}

void XtfWriter::setProjectFolder(const std::string& folder) {
    std::lock_guard<std::mutex> hold(settingsMutex_);
    projectFolder_ = folder;
}

void XtfWriter::setSession(const DeviceSessionBlock& session) {
    std::lock_guard<std::mutex> hold(settingsMutex_);
    session_ = session;
}

void XtfWriter::setSoundVelocity(float v) {
    std::lock_guard<std::mutex> hold(settingsMutex_);
    soundVelocity_ = v;
}

void XtfWriter::post(std::uint32_t id, std::uintptr_t wParam) {
    const platform::WindowHandle w = diskPage_.load();
    if (queue_ && w != platform::kNoWindow) queue_->post(w, id, wParam, 0);
}

void XtfWriter::tell(const std::vector<NoticeText>& notices) {
    for (const auto& n : notices)
        notices_.notify(n);
}

void XtfWriter::closeLocked() {
    for (auto& f : files_)
        f.close();
}

bool XtfWriter::createLocked(const std::string& folder, std::string base,
                             std::vector<NoticeText>& notices) {
    closeLocked();
    if (env_.minFreeBytes != 0 &&
        (folder.empty() ? kUnknownFreeSpace : env_.freeSpace(folder)) < env_.minFreeBytes) {
        notices.push_back(notice::kDiskBelow2G);
        return false;
    }
    std::string paths[2];
    if (!folder.empty()) {
        paths[0] = uniqueRecordingPath(folder, base, "_HF.xtf");
        paths[1] = paths[0].substr(0, paths[0].size() - 7) + "_LF.xtf";
    }
    DeviceSessionBlock session;
    {
        std::lock_guard<std::mutex> hold(settingsMutex_);
        session = session_;
    }
    bool ok = !folder.empty() && files_[0].open(paths[0]) && files_[1].open(paths[1]);
    for (int f = 0; ok && f < 2; ++f) {
        files_[f].setSizeLimit(env_.fileSizeLimit);
        xtf::ChannelSetup setup;
        setup.deviceType = session.deviceType;
        setup.frequency = f == kHF ? session.hfFrequency : session.lfFrequency;
        setup.horizBeamAngle = f == kHF ? 0.26f : 0.5f;
        ok = files_[f].append(xtf::encodeFileHeader(setup, paths[f]));
    }
    if (!ok) {
        const bool made[2] = {files_[0].isOpen(), files_[1].isOpen()};
        closeLocked();
        // Files left without their header would be unreadable: remove them.
        for (int f = 0; f < 2; ++f)
            if (made[f]) ::unlink(paths[f].c_str());
        names_[0].clear();
        names_[1].clear();
        notices.push_back(notice::kXtfCreateFailed);
        return false;
    }
    for (int f = 0; f < 2; ++f) {
        names_[f] = paths[f].substr(paths[f].find_last_of('/') + 1);
        anyReport_[f] = false;
    }
    return true;
}

bool XtfWriter::create_xtf_files() {
    std::string project;
    {
        std::lock_guard<std::mutex> hold(settingsMutex_);
        project = projectFolder_;
    }
    std::vector<NoticeText> notices;
    bool ok;
    {
        LockHold hold(lock_);
        // The free-space rule looks at the project drive, as for raw files.
        namedBase_.clear();
        const std::string data = dataFolderOf(project);
        ok = createLocked(data, timeStampName(env_.localTime()), notices);
    }
    tell(notices);
    if (ok) {
        post(WM_XTF_NAME_HF);
        post(WM_XTF_NAME_LF);
    }
    return ok;
}

bool XtfWriter::createNamed(const std::string& folder, const std::string& base) {
    std::vector<NoticeText> notices;
    bool ok;
    {
        LockHold hold(lock_);
        namedBase_ = base;
        ok = createLocked(folder, base, notices);
    }
    tell(notices);
    return ok;
}

void XtfWriter::close_xtf_files() {
    {
        LockHold hold(lock_);
        closeLocked();
        names_[0].clear();
        names_[1].clear();
    }
    post(WM_XTF_NAME_HF);
    post(WM_XTF_SIZE_HF, 0);
    post(WM_XTF_NAME_LF);
    post(WM_XTF_SIZE_LF, 0);
    post(WM_FREE_SPACE);
}

bool XtfWriter::toggle_xtf_recording() {
    if (recording()) {
        recording_.store(false, std::memory_order_release);
        close_xtf_files();
    } else if (create_xtf_files()) {
        recording_.store(true, std::memory_order_release);
    }
    post(WM_XTF_STATE);
    return recording();
}

void XtfWriter::switchOff() {
    const bool was = recording_.exchange(false);
    close_xtf_files();
    if (was) post(WM_XTF_STATE);
}

void XtfWriter::write_xtf_ping(int frequency, const XtfPingInput& ping,
                               const XtfPingContext& context) {
    if (frequency != kHF && frequency != kLF) return;
    if (ping.header.size() < PingHeader::kSize) return;
    std::vector<NoticeText> notices;
    bool stateChanged = false;
    bool failed = false;
    std::uint64_t before = 0;
    float velocity;
    std::string folder;
    {
        std::lock_guard<std::mutex> hold(settingsMutex_);
        velocity = soundVelocity_;
    }
    {
        LockHold hold(lock_);
        RecordFile& file = files_[frequency];
        if (!file.isOpen()) return;
        before = file.position();
        if (before >= env_.splitBytes) {
            stateChanged = true;
            const std::string path = file.path();
            folder = path.substr(0, path.find_last_of('/'));
            // A converted recording keeps its name (numbered); the window's
            // files take the time of the split.
            const std::string base =
                namedBase_.empty() ? timeStampName(env_.localTime()) : namedBase_;
            if (!createLocked(folder, base, notices)) {
                recording_.store(false, std::memory_order_release);
                notices.push_back(notice::kXtfSplitFailed);
                failed = true;
            } else {
                before = file.position();
            }
        }
        if (!failed) {
            record_.clear();
            xtf::appendPingRecord(ping, context, velocity, record_);
            if (file.append(record_)) {
                counters_.pings[frequency]++;
                counters_.bytes[frequency] += record_.size();
            } else {
                counters_.writeFailures++;
                recording_.store(false, std::memory_order_release);
                closeLocked();
                names_[0].clear();
                names_[1].clear();
                notices.push_back(notice::kXtfWriteFailed);
                stateChanged = true;
                failed = true;
            }
        }
    }
    tell(notices);
    if (stateChanged) {
        post(WM_XTF_STATE);
        post(WM_XTF_NAME_HF);
        post(WM_XTF_NAME_LF);
    }
    if (failed) {
        post(WM_XTF_SIZE_HF, 0);
        post(WM_XTF_SIZE_LF, 0);
        post(WM_FREE_SPACE);
        return;
    }
    const std::uint32_t now = env_.tick();
    if (!anyReport_[frequency] || now - lastReport_[frequency] >= kSizeReportMs) {
        anyReport_[frequency] = true;
        lastReport_[frequency] = now;
        post(frequency == kHF ? WM_XTF_SIZE_HF : WM_XTF_SIZE_LF,
             static_cast<std::uintptr_t>(before));
        post(WM_FREE_SPACE);
    }
}

std::string XtfWriter::displayedName(int f) const {
    if (f != kHF && f != kLF) return {};
    LockHold hold(lock_);
    return names_[f];
}

std::string XtfWriter::path(int f) const {
    if (f != kHF && f != kLF) return {};
    LockHold hold(lock_);
    return files_[f].isOpen() ? files_[f].path() : std::string();
}

std::uint64_t XtfWriter::fileSize(int f) const {
    if (f != kHF && f != kLF) return 0;
    LockHold hold(lock_);
    return files_[f].position();
}

} // namespace kestrova::acquisition
