#pragma once
// The program's binding of Drovanta, the display processing library: loaded by
// file name from the program folder at start-up and kept for the whole run, its
// four entry points bound by name. When the library or an entry point is
// missing the display path must not start; failure() then holds the message
// for the operator (Chinese and English), which the caller shows.

#include "libs/drovanta/drovanta.h"
#include "platform/library.h"

#include <cstdint>
#include <span>
#include <string>

namespace kestrova::display {

using SssDisplayReproFn = decltype(&sss_display_repro);
using SssDisplayReproInitializeFn = decltype(&sss_display_repro_initialize);
using SssDisplayReproTerminateFn = decltype(&sss_display_repro_terminate);
using DepthSelectFilterFn = decltype(&depth_select_filter);

struct DrovantaMessage {
    std::string chinese;
    std::string english;
};

// One side of one ping as the display path hands it over; defaults are the
// values the waterfall views pass.
struct ReproSettings {
    bool reset = false; // the ping's settings-changed flag
    float sampleRate = 0.0f;
    float step = 1.0f;
    bool useMean = true;
    std::uint32_t inputFullScale = 4294967295u;
    std::uint16_t outputFullScale = 32767;
    std::uint32_t firstIndex = 0;
    float soundSpeed = 1500.0f;
    std::uint32_t minRangeDm = 10;
    std::uint32_t maxRangeDm = 100;
    std::uint32_t threshold = 0; // 0: automatic bottom detector
};

struct ReproResult {
    bool ok = false; // false: the line was not processed (bad length, arrays too small)
    std::uint32_t lineLength = 0;
    std::uint32_t bottomIndex = 0; // from 1; 0 when no bottom was found
    float bottomStrength = 0.0f;
};

struct DepthSelectInput {
    float soundSpeed = 1500.0f;
    float sampleRate = 0.0f;
    bool usePairB = false;
    float beamWidth = 50.0f;
    float tilt = 20.0f;
    float reset = 0.0f;
    std::uint32_t aIndex1 = 0;
    float aStrength1 = 0.0f;
    std::uint32_t aIndex2 = 0;
    float aStrength2 = 0.0f;
    std::uint32_t bIndex1 = 0;
    float bStrength1 = 0.0f;
    std::uint32_t bIndex2 = 0;
    float bStrength2 = 0.0f;
};

struct DepthSelectResult {
    bool ok = false;
    float altitude = 0.0f;
    std::uint32_t aSelected = 0;
    std::uint32_t bSelected = 0;
};

class DrovantaApi {
  public:
    static constexpr const char* kFileName = "libdrovanta.so";

    // Loads the library from the program folder and binds the entry points.
    bool load();
    // The same from another folder (tools and tests that do not live beside it).
    bool load(const std::string& folder, const std::string& fileName = kFileName);
    // A second, separate copy of the library `other` loaded, with static
    // working arrays and depth selection state of its own: its repro() may run
    // on another thread beside the first copy's (the export tool's LF pings).
    bool loadSeparateCopy(const DrovantaApi& other);
    void unload();

    bool ready() const { return repro_ && initialize_ && terminate_ && depthSelect_; }
    // The operator's message when load() failed; empty texts otherwise.
    const DrovantaMessage& failure() const { return failure_; }
    // Full path of the library loaded or tried.
    const std::string& path() const { return library_.path(); }

    // Number of display samples Drovanta makes of `sampleCount` raw samples.
    static std::uint32_t lineLengthFor(std::uint32_t sampleCount, float step);

    // Calls on the bound entry points; each does nothing and reports failure
    // when the library is not bound. repro() also refuses arrays shorter than
    // the line it would produce, so the library can never write past them.
    bool initialize() const;
    bool terminate() const;
    ReproResult repro(std::span<const std::uint32_t> samples, const ReproSettings& settings,
                      std::span<float> gainState, std::span<std::uint16_t> line) const;
    DepthSelectResult depthSelect(const DepthSelectInput& input) const;
    // Whether repro() would make a line of `sampleCount` samples into arrays
    // of these lengths, without making it (the library's limits: 33 to 86400
    // display samples, a positive finite sample rate and sound speed).
    bool takes(std::uint32_t sampleCount, const ReproSettings& settings, std::size_t gainLength,
               std::size_t lineLength) const;

    // The raw entry points, for callers that pass the flat argument list.
    SssDisplayReproFn reproEntry() const { return repro_; }
    DepthSelectFilterFn depthSelectEntry() const { return depthSelect_; }

  private:
    bool bind();
    void fail(const std::string& chinese, const std::string& english);

    platform::SharedLibrary library_;
    SssDisplayReproFn repro_ = nullptr;
    SssDisplayReproInitializeFn initialize_ = nullptr;
    SssDisplayReproTerminateFn terminate_ = nullptr;
    DepthSelectFilterFn depthSelect_ = nullptr;
    DrovantaMessage failure_;
};

} // namespace kestrova::display
