#pragma once
// A raw recording converted to XTF through the waterfall views' own display
// pipeline, as fast as the machine allows: the recording goes through the
// frame assembler in playback mode, its pings into the HF and LF batches, each
// batch through that frequency's ViewPipeline (no picture), and every finished
// display line into the XTF writer through the sink the live session uses.
//
// Batches: up to PingBatchData::kMaxPings pings (or a full store) per pass. A
// position record of the recording cuts the batches first, so every ping is
// written with the last position record before it in file order. The display
// settings (`settings`) stay fixed for the whole conversion, so nothing else
// cuts them. A cut hands the HF batch to its pipeline before the LF batch.
//
// With `readAhead`, reading and assembling run on a second thread a few
// segments ahead of the display; the segments are processed in the same order
// with the same cuts. With `splitFrequencies`, the LF batch's display lines
// are made on a helper thread by a separate copy of Drovanta while the HF
// batch's are made by the program's; the bottoms, altitudes and XTF records
// then follow on one thread in the one-thread order (the depth selection and
// the current altitude tie the frequencies together). Either way the files
// are byte for byte those of the one-thread run. With `onlyChannel`, the
// helper thread makes that frequency's starboard sides instead.

#include "acquisition/ping_batch.h"
#include "acquisition/playback.h"
#include "acquisition/xtf_writer.h"
#include "display/display_state.h"
#include "display/drovanta_api.h"
#include "display/history_ring.h"
#include "position/position_fix.h"

#include <cstdint>
#include <functional>
#include <span>
#include <string>

namespace kestrova::display {

struct RecordingExportOptions {
    // Sound speed, bottom tracking, altitude alarm and strengths the pipelines
    // draw with (the XTF recording switch is set by the export itself).
    DisplayPipelineSettings settings;
    bool readAhead = true;
    bool splitFrequencies = true; // falls back to one thread when no copy loads
    // 0 HF or 1 LF: only that frequency's display lines are made (the
    // mosaic's); the other's pings still step the bottom choice, so the lines
    // made are those of a two-frequency run. With the split, the second copy
    // of Drovanta then makes the starboard sides beside the port sides.
    int onlyChannel = -1;
    // Pings per batch at most (1 to PingBatchData::kMaxPings): 1 is one pass
    // per ping, as the views run when the pings come slowly.
    std::uint32_t batchPings = acquisition::PingBatchData::kMaxPings;
};

struct RecordingExportResult {
    acquisition::UnpacedResult read; // status, header, bytes read, read error
    std::uint64_t pings[2] = {0, 0}; // handed to the HF and LF pipelines
    std::uint64_t missed = 0;        // pings no batch could hold
    std::uint64_t passes = 0;        // pipeline passes (both frequencies)
    bool split = false;              // the LF lines were made beside the HF ones
};

// What a recording's display lines go to instead of an XTF writer (the
// mosaic): the position records in file order, each before the pings that
// follow it, and every finished display line with its ping's time record and
// the slant range of its bottom (the altitude the line was drawn with).
class RecordingLineReader {
  public:
    virtual ~RecordingLineReader() = default;
    virtual void positionRecord(const position::PositionFix& fix) = 0;
    virtual void displayLine(std::span<const std::uint8_t, HistoryRing::kLineBytes> line,
                             int channel, const PingTimeRecord& time, double altitude) = 0;
};

// The recording through the same pipelines and batches as exportRecording,
// its lines to `reader`.
RecordingExportResult
readRecordingLines(const std::string& path, const DrovantaApi& drovanta,
                   RecordingLineReader& reader, const RecordingExportOptions& options,
                   const std::function<void(std::uint64_t, std::uint64_t)>& progress = nullptr);

// The writer's files must be open (XtfWriter::createNamed); its recording
// flag is switched on for the conversion. `progress` gets the bytes read and
// the file size after each read.
RecordingExportResult
exportRecording(const std::string& path, const DrovantaApi& drovanta,
                acquisition::XtfWriter& writer, const RecordingExportOptions& options,
                const std::function<void(std::uint64_t, std::uint64_t)>& progress = nullptr);

} // namespace kestrova::display
