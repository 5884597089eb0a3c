#include "mosaic/recording_mosaic.h"

#include "acquisition/playback.h"
#include "acquisition/xtf_writer.h"
#include "mosaic/xtf_pings.h"
#include "position/fix_completion.h"
#include "position/position_fix.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <condition_variable>
#include <mutex>
#include <thread>

namespace kestrova::mosaic {

namespace {

navigation::TowfishInstall installOf(const acquisition::KsfInstallation& in) {
    navigation::TowfishInstall t;
    t.towLength = in.towLength;
    t.towPointToWater = in.towPointToWater;
    t.towfishDepth = in.towfishDepth;
    t.gpsX = in.gpsX;
    t.gpsY = in.gpsY;
    t.headingSource = static_cast<int>(in.headingSource);
    return t;
}

} // namespace

bool usableFix(const position::PositionFix& fix) {
    return fix.kind == position::kFixPosition && std::isfinite(fix.latitude) &&
           std::isfinite(fix.longitude) && std::abs(fix.latitude) <= 90.0 &&
           std::abs(fix.longitude) <= 180.0 && fix.fixTime > 0.0 &&
           !(fix.latitude == 0.0 && fix.longitude == 0.0);
}

// One recording's lines: each waits with its time until two position records
// enclose it, then the navigation's placement says where the fish was.
class MosaicLineReader : public display::RecordingLineReader {
  public:
    // More than the pings of the placement's 10 s span at the fastest rate.
    static constexpr std::uint32_t kSlots = 1024;

    MosaicLineReader(SurveyMosaic& mosaic, const navigation::TowfishInstall& install)
        : mosaic_(mosaic), install_(install), slots_(kSlots) {}

    void positionRecord(const position::PositionFix& fix) override {
        if (!usableFix(fix) || !gridFor(fix)) return;
        position::FixEvent e;
        e.fixTime = fix.fixTime;
        e.latitude = fix.latitude;
        e.longitude = fix.longitude;
        e.latHemisphere = fix.latHemisphere;
        e.lonHemisphere = fix.lonHemisphere;
        e.speed = fix.speed;
        e.course = fix.course;
        if (!mosaic_.grid_->forward(fix.latitude, fix.longitude, e.east, e.north)) return;
        ++positions_;
        auto& track = mosaic_.track_;
        if (track.empty() || fix.fixTime - track.back().time >= 1.0 ||
            fix.fixTime < track.back().time)
            track.push_back({fix.fixTime, fix.latitude, fix.longitude});
        track_.addFixEvent(e);
        place();
    }

    void displayLine(std::span<const std::uint8_t, display::HistoryRing::kLineBytes> line,
                     int channel, const display::PingTimeRecord& time, double altitude) override {
        if (channel != mosaic_.options_.channel) return;
        const bool whole = acquisition::xtfInputFromHistoryLine(line, port_, starboard_).has_value();
        takeLine(time, altitude, whole, port_, starboard_);
    }

    // A line of the chosen frequency, its samples already out of the history
    // line (`whole`: they could be read); the vectors are swapped with a
    // slot's, so they come back with room and nothing is allocated per ping.
    void takeLine(const display::PingTimeRecord& time, double altitude, bool whole,
                  std::vector<std::uint16_t>& port, std::vector<std::uint16_t>& starboard) {
        ++lines_;
        if (!(time.time > 0.0)) return; // an undated ping has no place in time
        Slot& slot = nextSlot();
        if (!whole) return;
        slot.port.swap(port);
        slot.starboard.swap(starboard);
        queue(slot, time.time, time.portSlantRange, time.heading, altitude);
    }

    // A ping of an XTF file: its display line as written, and its position.
    // Each new position is taken as a fix at the time of the first ping that
    // carries it (the file keeps no time of its own for it).
    void xtfPing(const XtfPing& p) {
        ++lines_;
        if (!(p.time > 0.0)) return;
        if (!havePosition_ || p.latitude != lastLatitude_ || p.longitude != lastLongitude_) {
            havePosition_ = true;
            lastLatitude_ = p.latitude;
            lastLongitude_ = p.longitude;
            position::PositionFix fix;
            fix.kind = position::kFixPosition;
            fix.fixTime = p.time;
            fix.latitude = p.latitude;
            fix.longitude = p.longitude;
            if (usableFix(fix) && gridFor(fix) &&
                mosaic_.grid_->forward(fix.latitude, fix.longitude, fix.east, fix.north)) {
                // Speed and course from the fixes before, as the position input makes them.
                completer_.complete_fix(fix, CivilDate{}, position::GpsAlarm{});
                positionRecord(fix);
            }
        }
        Slot& slot = nextSlot();
        slot.port = p.port;
        slot.starboard = p.starboard;
        queue(slot, p.time, p.slantRange, p.heading, p.altitude);
    }

    std::uint64_t positions() const { return positions_; }
    std::uint64_t lines() const { return lines_; }
    std::uint64_t placed() const { return placed_; }

  private:
    struct Slot {
        std::uint32_t serial = 0;
        double altitude = 0.0;
        std::vector<std::uint16_t> port, starboard;
    };

    // The survey's grid, chosen at its first position.
    bool gridFor(const position::PositionFix& fix) {
        if (!mosaic_.grid_ && !mosaic_.gridFailed_) {
            if (const auto& record = mosaic_.options_.gridRecord)
                mosaic_.grid_ = GridProjection::forProject(*record, fix.latitude, fix.longitude,
                                                           mosaic_.gridNote_);
            if (!mosaic_.grid_)
                mosaic_.grid_ = GridProjection::utmFor(fix.latitude, fix.longitude);
            mosaic_.gridFailed_ = !mosaic_.grid_;
        }
        return mosaic_.grid_.has_value();
    }

    Slot& nextSlot() {
        const std::uint32_t serial = ++serial_;
        Slot& slot = slots_[serial % kSlots];
        slot.serial = 0; // not a ping until it is queued
        return slot;
    }

    void queue(Slot& slot, double time, double range, double heading, double altitude) {
        slot.serial = serial_;
        slot.altitude = altitude;
        navigation::PingEntry e;
        e.time = time;
        e.ringIndex = serial_ % kSlots;
        e.range = range;
        e.heading = heading;
        e.pingNumber = serial_;
        track_.addPing(e);
        place();
    }

    void place() {
        segments_.clear();
        track_.process(
            install_, [this](std::uint32_t i) { return slots_[i % kSlots].altitude; },
            [this](std::uint32_t i, const PingPositionRecord& rec) { paint(slots_[i % kSlots], rec); },
            segments_);
    }

    void paint(const Slot& slot, const PingPositionRecord& rec) {
        // The slot was taken by a later ping while this one waited: not this line.
        if (slot.serial != rec.pingNumber || slot.port.empty()) return;
        paintLine(mosaic_.canvas_, ground_.next(rec, slot.port, slot.starboard));
        ++placed_;
    }

    SurveyMosaic& mosaic_;
    navigation::TowfishInstall install_;
    navigation::TowfishTrack track_;
    std::vector<navigation::CoverageSegment> segments_;
    std::vector<Slot> slots_;
    std::uint32_t serial_ = 0;
    std::uint64_t positions_ = 0, lines_ = 0, placed_ = 0;
    navigation::GroundTrack ground_;
    std::vector<std::uint16_t> port_, starboard_;
    position::FixCompleter completer_;
    bool havePosition_ = false;
    double lastLatitude_ = 0.0, lastLongitude_ = 0.0;
};

// The display thread's position records and lines handed in order to a
// painting thread that places and paints them, so that the next lines are
// made while the last ones are painted. A bounded ring of events: the display
// waits only when the painting is a whole ring behind. The painting thread is
// woken for a handful of events at a time, not for each.
class PaintThread : public display::RecordingLineReader {
  public:
    static constexpr std::uint64_t kEvents = 64;
    static constexpr std::uint64_t kWakeAfter = 16;

    PaintThread(MosaicLineReader& reader, int channel)
        : reader_(reader), channel_(channel), events_(kEvents), thread_([this] { run(); }) {}
    ~PaintThread() { finish(); }

    void positionRecord(const position::PositionFix& fix) override {
        Event& e = claim();
        e.kind = Event::Kind::Fix;
        e.fix = fix;
        publish(false);
    }
    void displayLine(std::span<const std::uint8_t, display::HistoryRing::kLineBytes> line,
                     int channel, const display::PingTimeRecord& time, double altitude) override {
        if (channel != channel_) return;
        Event& e = claim();
        e.kind = Event::Kind::Line;
        e.time = time;
        e.altitude = altitude;
        e.whole = acquisition::xtfInputFromHistoryLine(line, e.port, e.starboard).has_value();
        publish(false);
    }
    // Waits until every event was painted and the thread has ended.
    void finish() {
        if (!thread_.joinable()) return;
        Event& e = claim();
        e.kind = Event::Kind::End;
        publish(true);
        thread_.join();
    }

  private:
    struct Event {
        enum class Kind { Fix, Line, End } kind = Kind::End;
        position::PositionFix fix;
        display::PingTimeRecord time;
        double altitude = 0.0;
        bool whole = false;
        std::vector<std::uint16_t> port, starboard;
    };

    // The next free event; waits while all are still to be painted.
    Event& claim() {
        std::unique_lock<std::mutex> hold(mutex_);
        if (written_ - read_ >= kEvents) {
            displayWaits_ = true;
            displayTurn_.wait(hold, [&] { return written_ - read_ < kEvents; });
            displayWaits_ = false;
        }
        return events_[written_ % kEvents];
    }
    void publish(bool last) {
        bool wake = false;
        {
            std::lock_guard<std::mutex> hold(mutex_);
            ++written_;
            wake = paintWaits_ && (last || written_ - read_ >= kWakeAfter);
            if (wake) paintWaits_ = false;
        }
        if (wake) paintTurn_.notify_one();
    }
    void run() {
        std::uint64_t next = 0;
        for (;;) {
            std::uint64_t upTo = 0;
            {
                std::unique_lock<std::mutex> hold(mutex_);
                if (read_ == written_) {
                    paintWaits_ = true;
                    paintTurn_.wait(hold, [&] { return read_ != written_ && !paintWaits_; });
                }
                upTo = written_;
            }
            // The events before upTo are the display's no more until read_ passes them.
            bool ended = false;
            for (; next < upTo && !ended; ++next) {
                Event& e = events_[next % kEvents];
                if (e.kind == Event::Kind::End)
                    ended = true;
                else if (e.kind == Event::Kind::Fix)
                    reader_.positionRecord(e.fix);
                else
                    reader_.takeLine(e.time, e.altitude, e.whole, e.port, e.starboard);
            }
            bool wake = false;
            {
                std::lock_guard<std::mutex> hold(mutex_);
                read_ = next;
                wake = displayWaits_;
            }
            if (wake) displayTurn_.notify_one();
            if (ended) return;
        }
    }

    MosaicLineReader& reader_;
    const int channel_;
    std::vector<Event> events_;
    std::mutex mutex_;
    std::condition_variable displayTurn_, paintTurn_;
    std::uint64_t written_ = 0, read_ = 0; // events handed over, and painted
    bool displayWaits_ = false, paintWaits_ = false;
    std::thread thread_; // last: starts once the rest is ready
};

SurveyMosaic::SurveyMosaic(const MosaicOptions& options)
    : options_(options), canvas_(options.resolution, options.tilesInMemory) {}

RecordingMosaicResult
SurveyMosaic::add(const std::string& path, const display::DrovantaApi& drovanta,
                  const std::function<void(std::uint64_t, std::uint64_t)>& progress) {
    RecordingMosaicResult r;
    acquisition::KsfReader probe;
    std::array<std::uint8_t, acquisition::kKsfHeaderSize> header{};
    const auto opened = probe.open(path, header);
    probe.close();
    if (opened.status != acquisition::KsfReader::Status::Ok) return r;
    r.readable = true;
    const navigation::TowfishInstall install =
        options_.install ? *options_.install : installOf(opened.header.install);
    display::RecordingExportOptions display = options_.display;
    display.onlyChannel = options_.channel;
    if (opened.header.install.soundVelocity > 0)
        display.settings.soundSpeed = opened.header.install.soundVelocity;
    MosaicLineReader reader(*this, install);
    display::RecordingExportResult read;
    if (display.readAhead) {
        PaintThread painter(reader, options_.channel);
        read = display::readRecordingLines(path, drovanta, painter, display, progress);
        painter.finish();
    } else {
        read = display::readRecordingLines(path, drovanta, reader, display, progress);
    }
    r.readError = read.read.readError;
    r.positions = reader.positions();
    r.lines = reader.lines();
    r.placed = reader.placed();
    placed_ += r.placed;
    return r;
}

RecordingMosaicResult SurveyMosaic::addXtf(const std::string& path) {
    RecordingMosaicResult r;
    XtfPingReader xtf;
    if (!xtf.open(path)) return r;
    r.readable = true;
    // An XTF file keeps no installation: the one given, or none.
    MosaicLineReader reader(*this, options_.install ? *options_.install
                                                     : navigation::TowfishInstall{});
    XtfPing ping;
    while (xtf.next(ping))
        reader.xtfPing(ping);
    r.readError = xtf.readError();
    r.positions = reader.positions();
    r.lines = reader.lines();
    r.placed = reader.placed();
    placed_ += r.placed;
    return r;
}

bool SurveyMosaic::write(const std::string& path, std::string& error) {
    if (!grid_ || placed_ == 0 || canvas_.empty()) {
        error = "no ping could be placed: the recordings hold no positions around their pings";
        return false;
    }
    return writeGeoTiff(canvas_, *grid_, path, error);
}

} // namespace kestrova::mosaic
