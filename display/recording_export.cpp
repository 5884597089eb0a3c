#include "display/recording_export.h"

#include "acquisition/frame_assembler.h"
#include "acquisition/ping_batch.h"
#include "display/view_pipeline.h"
#include "display/xtf_line_sink.h"
#include "position/position_fix.h"

#include <algorithm>
#include <array>
#include <condition_variable>
#include <deque>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

namespace kestrova::display {
namespace {

using acquisition::FrameType;
using acquisition::PingBatch;
using acquisition::PingBatchData;
using acquisition::PingRecord;

// The pings between two cuts, per frequency, and the position they are written with.
struct Segment {
    std::array<PingBatch, 2> batch;
    PingPosition position;
    // The position records read since the previous segment (kept only for a
    // line reader).
    std::vector<position::PositionFix> fixes;
    bool empty() {
        return batch[0].pingCount() == 0 && batch[1].pingCount() == 0 && fixes.empty();
    }
};

bool fits(PingBatch& batch, const PingRecord& ping, std::uint32_t maxPings) {
    const std::uint64_t words = std::uint64_t{ping.firstPartWords()} + ping.secondPartWords();
    return batch.pingCount() < maxPings && batch.wordCount() + words < PingBatchData::kStoreWords;
}

// Where the assembled segments go: processed at once, or queued for the
// display thread.
class SegmentRoute {
  public:
    virtual ~SegmentRoute() = default;
    // An empty segment to fill (may wait for one to come back).
    virtual Segment* take() = 0;
    virtual void submit(Segment* s) = 0;
    // An unused segment back to the free ones.
    virtual void giveBack(Segment* s) = 0;
};

// The assembler's pings into segments; position records cut them.
class SegmentFeeder : public acquisition::FrameSink {
  public:
    SegmentFeeder(SegmentRoute& route, std::uint32_t maxPings, bool keepFixes)
        : route_(route),
          maxPings_(std::clamp<std::uint32_t>(maxPings, 1, PingBatchData::kMaxPings)),
          keepFixes_(keepFixes) {}

    bool handPing(const PingRecord& ping, float rate, std::uint8_t changed) override {
        const int f = acquisition::index(ping.frequency());
        if (f < 0 || f > 1) return false;
        if (!current_) start();
        PingBatch& batch = current_->batch[static_cast<std::size_t>(f)];
        if (!fits(batch, ping, maxPings_) && batch.pingCount() > 0) {
            route_.submit(current_);
            start();
        }
        if (!current_->batch[static_cast<std::size_t>(f)].append(ping, rate, changed)) {
            ++missed_;
            return false;
        }
        return true;
    }

    void replayPosition(
        FrameType,
        std::span<const std::uint8_t, acquisition::kPositionRecordSize> record) override {
        const auto fix = position::decodePositionFix(record);
        if (!fix) return;
        // The pings before the record keep the position they had.
        if (current_) {
            if (current_->empty())
                route_.giveBack(current_);
            else
                route_.submit(current_);
            current_ = nullptr;
        }
        position_ = {fix->latitude, fix->longitude};
        if (keepFixes_) pendingFixes_.push_back(*fix);
    }

    void finish() {
        // The last records still count: they enclose the last pings in time.
        if (!current_ && !pendingFixes_.empty()) start();
        if (!current_) return;
        if (current_->empty())
            route_.giveBack(current_);
        else
            route_.submit(current_);
        current_ = nullptr;
    }

    std::uint64_t missed() const { return missed_; }

  private:
    void start() {
        current_ = route_.take();
        current_->position = position_;
        current_->fixes.clear();
        current_->fixes.swap(pendingFixes_);
    }

    SegmentRoute& route_;
    const std::uint32_t maxPings_;
    const bool keepFixes_;
    std::vector<position::PositionFix> pendingFixes_;
    Segment* current_ = nullptr;
    PingPosition position_;
    std::uint64_t missed_ = 0;
};

// One job at a time on a thread of its own; wait() returns when it is done.
class Helper {
  public:
    Helper() : thread_([this] { loop(); }) {}
    ~Helper() {
        {
            std::lock_guard<std::mutex> hold(mutex_);
            quit_ = true;
        }
        changed_.notify_all();
        thread_.join();
    }
    void start(std::function<void()> job) {
        {
            std::lock_guard<std::mutex> hold(mutex_);
            job_ = std::move(job);
            busy_ = true;
        }
        changed_.notify_all();
    }
    void wait() {
        std::unique_lock<std::mutex> hold(mutex_);
        changed_.wait(hold, [&] { return !busy_; });
    }

  private:
    void loop() {
        std::unique_lock<std::mutex> hold(mutex_);
        for (;;) {
            changed_.wait(hold, [&] { return quit_ || (busy_ && job_); });
            if (quit_) return;
            auto job = std::move(job_);
            job_ = nullptr;
            hold.unlock();
            job();
            hold.lock();
            busy_ = false;
            changed_.notify_all();
        }
    }

    std::mutex mutex_;
    std::condition_variable changed_;
    std::function<void()> job_;
    bool busy_ = false;
    bool quit_ = false;
    std::thread thread_;
};

// The two views' pipelines without pictures, writing through a line sink.
class DisplayStage {
  public:
    DisplayStage(const DrovantaApi& drovanta, const DisplayPipelineSettings& settings, bool split,
                 int onlyChannel)
        : drovanta_(drovanta), hf_(Frequency::HF, drovanta, shared_),
          lf_(Frequency::LF, drovanta, shared_),
          only_(onlyChannel == 0 || onlyChannel == 1 ? onlyChannel : -1) {
        shared_.settings = settings;
        shared_.settings.xtfRecording = true;
        if (only_ >= 0) (only_ == 0 ? lf_ : hf_).setLinesWanted(false);
        if (split && copy_.loadSeparateCopy(drovanta) && copy_.initialize())
            helper_ = std::make_unique<Helper>();
    }

    // Where the lines go, and what each segment brings before its pings.
    void setSink(DisplayLineSink* sink, std::function<void(const Segment&)> beforeSegment) {
        hf_.setLineSink(sink);
        lf_.setLineSink(sink);
        beforeSegment_ = std::move(beforeSegment);
    }
    const ViewPipeline& pipeline(int channel) const { return channel == 0 ? hf_ : lf_; }
    const DisplayProcessingState& processing() const { return shared_.processing; }

    void process(Segment& s) {
        if (beforeSegment_) beforeSegment_(s);
        const bool any[2] = {hf_.intake(s.batch[0]) > 0, lf_.intake(s.batch[1]) > 0};
        if (helper_ && only_ >= 0) {
            if (any[only_]) {
                ViewPipeline& pipe = only_ == 0 ? hf_ : lf_;
                pipe.beginLines();
                helper_->start([this, &pipe] { pipe.prepareSide(copy_, 1); });
                pipe.prepareSide(drovanta_, 0);
                helper_->wait();
            }
        } else if (helper_ && any[0] && any[1]) {
            helper_->start([this] { lf_.prepareLines(copy_); });
            hf_.prepareLines(drovanta_);
            helper_->wait();
        }
        ViewPipeline* pipes[2] = {&hf_, &lf_};
        for (std::size_t f = 0; f < 2; ++f) {
            if (!any[f]) continue;
            pipes[f]->processPass();
            ++passes_;
        }
    }
    ~DisplayStage() {
        helper_.reset();
        if (copy_.ready()) copy_.terminate();
    }
    bool split() const { return helper_ != nullptr; }

    std::uint64_t pings(int f) const { return (f == 0 ? hf_ : lf_).pingsReceived(); }
    std::uint64_t passes() const { return passes_; }

  private:
    const DrovantaApi& drovanta_;
    DrovantaApi copy_; // the LF lines' copy, or the starboard sides' with one frequency
    DisplayShared shared_;
    ViewPipeline hf_, lf_;
    int only_;
    std::function<void(const Segment&)> beforeSegment_;
    std::uint64_t passes_ = 0;
    std::unique_ptr<Helper> helper_; // last: stopped before the pipelines go
};

// One segment, processed as soon as it is full.
class InlineRoute : public SegmentRoute {
  public:
    explicit InlineRoute(DisplayStage& stage) : stage_(stage) {}
    Segment* take() override { return &segment_; }
    void submit(Segment* s) override { stage_.process(*s); }
    void giveBack(Segment*) override {}

  private:
    DisplayStage& stage_;
    Segment segment_;
};

// Segments handed from the reading thread to the display thread in order;
// a few in flight so that neither waits on the other for long.
class QueuedRoute : public SegmentRoute {
  public:
    static constexpr std::size_t kSegments = 3;

    QueuedRoute() {
        for (std::size_t i = 0; i < kSegments; ++i) {
            segments_.push_back(std::make_unique<Segment>());
            free_.push_back(segments_.back().get());
        }
    }
    Segment* take() override {
        std::unique_lock<std::mutex> hold(mutex_);
        changed_.wait(hold, [&] { return !free_.empty(); });
        Segment* s = free_.front();
        free_.pop_front();
        return s;
    }
    void submit(Segment* s) override {
        {
            std::lock_guard<std::mutex> hold(mutex_);
            full_.push_back(s);
        }
        changed_.notify_all();
    }
    void giveBack(Segment* s) override {
        {
            std::lock_guard<std::mutex> hold(mutex_);
            free_.push_back(s);
        }
        changed_.notify_all();
    }
    void endOfFile() {
        {
            std::lock_guard<std::mutex> hold(mutex_);
            ended_ = true;
        }
        changed_.notify_all();
    }
    // The next full segment in order; null once the reader ended and all were taken.
    Segment* next() {
        std::unique_lock<std::mutex> hold(mutex_);
        changed_.wait(hold, [&] { return !full_.empty() || ended_; });
        if (full_.empty()) return nullptr;
        Segment* s = full_.front();
        full_.pop_front();
        return s;
    }

  private:
    std::vector<std::unique_ptr<Segment>> segments_;
    std::mutex mutex_;
    std::condition_variable changed_;
    std::deque<Segment*> free_, full_;
    bool ended_ = false;
};

// Reads the recording through the stage (on this thread, or with a reading
// thread ahead of it).
RecordingExportResult playThrough(const std::string& path, DisplayStage& stage,
                                  const RecordingExportOptions& options, bool keepFixes,
                                  const std::function<void(std::uint64_t, std::uint64_t)>& progress) {
    RecordingExportResult result;
    acquisition::SonarStatus status;
    status.playbackMode = true;

    if (!options.readAhead) {
        InlineRoute route(stage);
        SegmentFeeder feeder(route, options.batchPings, keepFixes);
        auto assembler = std::make_unique<acquisition::FrameAssembler>(feeder, status);
        result.read = acquisition::playWithoutPacing(path, *assembler, progress);
        feeder.finish();
        result.missed = feeder.missed();
    } else {
        QueuedRoute route;
        SegmentFeeder feeder(route, options.batchPings, keepFixes);
        std::thread reader([&] {
            auto assembler = std::make_unique<acquisition::FrameAssembler>(feeder, status);
            result.read = acquisition::playWithoutPacing(path, *assembler, progress);
            feeder.finish();
            route.endOfFile();
        });
        while (Segment* s = route.next()) {
            stage.process(*s);
            route.giveBack(s);
        }
        reader.join();
        result.missed = feeder.missed();
    }
    result.pings[0] = stage.pings(0);
    result.pings[1] = stage.pings(1);
    result.passes = stage.passes();
    result.split = stage.split();
    return result;
}

// Hands each line to the reader with its pipeline's time record and bottom.
class ReaderSink : public DisplayLineSink {
  public:
    ReaderSink(const DisplayStage& stage, RecordingLineReader& reader)
        : stage_(stage), reader_(reader) {}
    void writeLine(std::span<const std::uint8_t, HistoryRing::kLineBytes> line,
                   int channel) override {
        const ViewPipeline& pipe = stage_.pipeline(channel);
        const PingTimeRecord& t = pipe.lastPingTime();
        reader_.displayLine(line, channel, t,
                            pipe.ring().slantRange[t.historyLine % HistoryRing::kLines]);
    }

  private:
    const DisplayStage& stage_;
    RecordingLineReader& reader_;
};

} // namespace

RecordingExportResult
exportRecording(const std::string& path, const DrovantaApi& drovanta,
                acquisition::XtfWriter& writer, const RecordingExportOptions& options,
                const std::function<void(std::uint64_t, std::uint64_t)>& progress) {
    writer.setRecording(true);
    auto stage = std::make_unique<DisplayStage>(drovanta, options.settings,
                                                options.splitFrequencies, -1);
    HeldPosition position;
    XtfLineSink sink(writer, stage->processing(), position);
    stage->setSink(&sink, [&position](const Segment& s) { position.set(s.position); });
    RecordingExportResult result = playThrough(path, *stage, options, false, progress);
    writer.setRecording(false);
    return result;
}

RecordingExportResult readRecordingLines(const std::string& path, const DrovantaApi& drovanta,
                                         RecordingLineReader& reader,
                                         const RecordingExportOptions& options,
                                         const std::function<void(std::uint64_t, std::uint64_t)>& progress) {
    auto stage = std::make_unique<DisplayStage>(drovanta, options.settings,
                                                options.splitFrequencies, options.onlyChannel);
    ReaderSink sink(*stage, reader);
    stage->setSink(&sink, [&reader](const Segment& s) {
        for (const position::PositionFix& fix : s.fixes)
            reader.positionRecord(fix);
    });
    return playThrough(path, *stage, options, true, progress);
}

} // namespace kestrova::display
