#pragma once
// What the raw recorder and the XTF writer share: the messages they post to
// the disk page, the time-stamped unique file names in the project's "Data"
// folder, and the clocks and disk queries tests replace.

#include "platform/messages.h"

#include <cstdint>
#include <ctime>
#include <functional>
#include <string>

namespace kestrova::acquisition {

// Messages to the disk page (wParam as noted; 0 otherwise).
constexpr std::uint32_t WM_RAW_STATE = 0x0478;   // raw recording switched
constexpr std::uint32_t WM_XTF_STATE = 0x0479;   // XTF recording switched
constexpr std::uint32_t WM_RAW_NAME = 0x047A;    // raw file name changed
constexpr std::uint32_t WM_XTF_NAME_HF = 0x047B; // HF XTF file name changed
constexpr std::uint32_t WM_RAW_SIZE = 0x047C;    // wParam: raw file position in bytes
constexpr std::uint32_t WM_XTF_SIZE_HF = 0x047D; // wParam: HF file position
constexpr std::uint32_t WM_FREE_SPACE = 0x047E;  // refresh the free disk space
constexpr std::uint32_t WM_PLAYBACK_CLOSED = 0x047F;
constexpr std::uint32_t WM_FILE_LOADED = 0x0480; // "File loading completed!"
constexpr std::uint32_t WM_END_OF_FILE = 0x0481;
constexpr std::uint32_t WM_PROGRESS = 0x0482;
constexpr std::uint32_t WM_XTF_NAME_LF = 0x0485; // LF XTF file name changed
constexpr std::uint32_t WM_XTF_SIZE_LF = 0x0486; // wParam: LF file position
static_assert(WM_RAW_STATE == platform::WM_USER + 0x78);

// Both recorders split their files when a record would start at 2 GiB.
constexpr std::uint64_t kSplitBytes = 0x80000000ull;
// Creating a file needs this much free space on the project drive.
constexpr std::uint64_t kMinFreeForNewFile = 0x80000000ull;
constexpr std::uint32_t kSizeReportMs = 1000;

// Clocks and the disk query, replaceable by tests.
struct RecordingEnvironment {
    std::function<std::uint64_t(const std::string& folder)> freeSpace; // default freeDiskSpace
    std::function<std::tm()> localTime;                                // default: now, local
    std::function<std::uint32_t()> tick;                               // milliseconds
    std::function<std::uint64_t()> microseconds; // high-resolution clock ("Cut KSF")
    std::uint64_t splitBytes = kSplitBytes;
    std::uint64_t minFreeBytes = kMinFreeForNewFile;
    std::uint64_t fileSizeLimit = 0; // tests: a disk that fills up at this file size

    // Fills in every clock or query left empty.
    void complete();
};

// "%Y%m%d_%H%M%S" of the given local time.
std::string timeStampName(const std::tm& local);
// folder/base + suffix, or folder/base_1 + suffix, base_2 ... when taken.
// Returns the chosen base name (without the folder and suffix) in `base`.
std::string uniqueRecordingPath(const std::string& folder, std::string& base,
                                const std::string& suffix);
// The project's data folder ("<project>/Data"), created when missing; empty
// when no project is open or it cannot be made.
std::string dataFolderOf(const std::string& projectFolder);

} // namespace kestrova::acquisition
