#pragma once
// The project's targets in their "Target" folder: the list in the order of
// "Target.idx" (40-byte entries: u32 number, u32 picture flag, 32 chars name,
// NUL-padded), the ".tgt" and ".jpg" files, the 200 MiB free-space rule and
// "Target.csv". Every failure is told to the operator; lists and files stay as
// they were before the failed step.

#include "app/config/message.h"
#include "targets/target_file.h"
#include "targets/target_measure.h"
#include "targets/target_name.h"

#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace kestrova::targets {

constexpr const char* kIndexFile = "Target.idx";
constexpr const char* kCsvFile = "Target.csv";
constexpr std::size_t kIndexEntryBytes = 40;
constexpr std::uint64_t kMinFreeBytes = 0xC800000; // 200 MiB

// A listed target where its marked point lies (the navigation map's marks).
struct PlacedTarget {
    std::string name;
    GroundPoint at;
};

struct TargetEntry {
    std::uint32_t number = 0;
    bool picture = false; // the ".jpg" exists and was written by a save
    std::string name;
    bool operator==(const TargetEntry&) const = default;
};

std::vector<std::uint8_t> encodeIndex(const std::vector<TargetEntry>& entries);
// Entries whose name is not a target name are dropped (names become paths);
// the number is the name's.
std::vector<TargetEntry> decodeIndex(std::span<const std::uint8_t> bytes);

// The target names of the ".tgt" files in a folder, sorted; other files ignored.
std::vector<std::string> targetNamesInFolder(const std::string& folder);
// The entries a folder lists, without writing anything: "Target.idx" when it
// can be read (entries without their ".tgt" dropped), otherwise the files.
std::vector<TargetEntry> listedTargets(const std::string& folder);

// Operator texts of this module (Chinese, English).
struct TargetTexts {
    static std::string openFailedZh(const std::string& name);
    static std::string openFailedEn(const std::string& name);
};

class TargetStore {
  public:
    using FreeSpace = std::function<std::uint64_t(const std::string& folder)>;
    enum class Outcome { Saved, NoSpace, Exists, Failed };

    explicit TargetStore(app::Messenger& messenger = app::defaultMessenger());

    // The project's target folder; empty while no project is open.
    void setFolder(std::string folder);
    const std::string& folder() const { return folder_; }
    void setFreeSpace(FreeSpace f) { freeSpace_ = std::move(f); }
    app::Messenger& messenger() { return messenger_; }

    const std::vector<TargetEntry>& entries() const { return entries_; }
    std::optional<std::size_t> find(const std::string& name) const;
    std::string tgtPath(const std::string& name) const;
    std::string jpgPath(const std::string& name) const;
    void clear() { entries_.clear(); }

    // load_target_index: reads "Target.idx", keeps the entries whose ".tgt"
    // exists (clearing picture flags whose ".jpg" is gone), or rebuilds the
    // list from the ".tgt" files when there is no index; writes it back.
    bool loadIndex();
    // write_target_index: through a temporary file and a rename.
    bool writeIndex();

    // The 200 MiB rule; tells the operator when there is less.
    bool enoughSpace();
    // Highest target number in the list or the folder, if any.
    std::optional<std::uint32_t> highestNumber() const;
    // The number a new target takes: the running number, or the one after
    // the highest in use when that is larger. Nothing past 99999.
    std::optional<std::uint32_t> nextNumber(std::uint32_t running) const;

    // A new target: its ".tgt" written without replacing any file, then its
    // entry appended and the index written.
    Outcome addTarget(const std::string& name, const TargetSnapshot& snapshot,
                      const TargetBlock& block, const std::string& description);
    // "Save": the 200 MiB rule, the ".tgt" (when `writeTgt`), the picture
    // through `picture` (given the ".jpg" path), the picture flag, the index.
    Outcome saveTarget(const std::string& name, const TargetSnapshot& snapshot,
                       const TargetBlock& block, const std::string& description,
                       const std::function<bool(const std::string&)>& picture,
                       bool writeTgt = true);
    // read_target_file with its messages; false leaves the snapshot empty.
    bool readTarget(const std::string& name, TargetSnapshot& snapshot, TargetBlock& block,
                    std::string& description);
    // Where a listed target's marked point lies, read from its ".tgt" without
    // the samples and without messages; nothing when the file or its
    // position record cannot give one.
    std::optional<GroundPoint> markedPosition(const std::string& name, double soundSpeed) const;
    // Deletes the targets' files and entries, then writes the index.
    void removeTargets(const std::vector<std::string>& names);
    // Every ".tgt" of the folder with its ".jpg"; the list and index emptied.
    void removeAll();
    // Writes "Target.csv" whole (temporary file and rename).
    bool writeCsv(const std::string& content);

  private:
    int show(const std::string& zh, const std::string& en);

    app::Messenger& messenger_;
    std::string folder_;
    FreeSpace freeSpace_;
    std::vector<TargetEntry> entries_;
};

} // namespace kestrova::targets
