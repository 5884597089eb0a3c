#include "targets/target_store.h"

#include "acquisition/record_file.h"
#include "platform/bytes.h"
#include "platform/fs.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <system_error>

namespace kestrova::targets {

namespace fs = std::filesystem;

std::vector<std::uint8_t> encodeIndex(const std::vector<TargetEntry>& entries) {
    std::vector<std::uint8_t> bytes(entries.size() * kIndexEntryBytes, 0);
    for (std::size_t i = 0; i < entries.size(); ++i) {
        ByteWriter w(bytes.data() + i * kIndexEntryBytes, kIndexEntryBytes);
        w.u32le(0, entries[i].number);
        w.u32le(4, entries[i].picture ? 1 : 0);
        w.bytes(8, entries[i].name.data(), std::min<std::size_t>(entries[i].name.size(), 31));
    }
    return bytes;
}

std::vector<TargetEntry> decodeIndex(std::span<const std::uint8_t> bytes) {
    std::vector<TargetEntry> out;
    for (std::size_t off = 0; off + kIndexEntryBytes <= bytes.size(); off += kIndexEntryBytes) {
        ByteReader r(bytes.subspan(off, kIndexEntryBytes));
        const auto nameBytes = r.sub(8, 32);
        std::size_t len = 0;
        while (len < nameBytes.size() && nameBytes[len] != 0)
            ++len;
        const std::string name(reinterpret_cast<const char*>(nameBytes.data()), len);
        const auto number = targetNumberOf(name);
        if (!number) continue;
        TargetEntry e;
        e.number = *number;
        e.picture = r.u32le(4).value_or(0) == 1;
        e.name = name;
        out.push_back(e);
    }
    return out;
}

std::vector<std::string> targetNamesInFolder(const std::string& folder) {
    std::vector<std::string> names;
    std::error_code ec;
    fs::directory_iterator it(folder, ec);
    for (; !ec && it != fs::directory_iterator(); it.increment(ec)) {
        const fs::path p = it->path();
        if (p.extension() != ".tgt") continue;
        const std::string stem = p.stem().string();
        std::error_code fileEc;
        if (isTargetName(stem) && it->is_regular_file(fileEc)) names.push_back(stem);
    }
    std::sort(names.begin(), names.end());
    return names;
}

std::vector<TargetEntry> listedTargets(const std::string& folder) {
    std::vector<TargetEntry> out;
    const auto idx = platform::readWholeFile(platform::joinPath(folder, kIndexFile));
    if (idx.status != platform::FileReadResult::Status::Ok) {
        for (const std::string& name : targetNamesInFolder(folder))
            out.push_back({*targetNumberOf(name),
                           platform::PathFileExistsA(platform::joinPath(folder, name + ".jpg")),
                           name});
        return out;
    }
    const auto* data = reinterpret_cast<const std::uint8_t*>(idx.content.data());
    for (TargetEntry e : decodeIndex({data, idx.content.size()})) {
        if (!platform::PathFileExistsA(platform::joinPath(folder, e.name + ".tgt"))) continue;
        if (e.picture && !platform::PathFileExistsA(platform::joinPath(folder, e.name + ".jpg")))
            e.picture = false;
        if (std::none_of(out.begin(), out.end(),
                         [&](const TargetEntry& o) { return o.name == e.name; }))
            out.push_back(e);
    }
    return out;
}

std::string TargetTexts::openFailedZh(const std::string& name) {
    return "打开" + name + ".tgt文件失败";
}
std::string TargetTexts::openFailedEn(const std::string& name) {
    return "Failed to open the " + name + ".tgt file";
}

TargetStore::TargetStore(app::Messenger& messenger)
    : messenger_(messenger),
      freeSpace_([](const std::string& folder) { return acquisition::freeDiskSpace(folder); }) {}

void TargetStore::setFolder(std::string folder) {
    folder_ = std::move(folder);
    entries_.clear();
}

int TargetStore::show(const std::string& zh, const std::string& en) {
    return messenger_.ShowMessage(zh, en, app::mb::kWarningOkCancel);
}

std::optional<std::size_t> TargetStore::find(const std::string& name) const {
    for (std::size_t i = 0; i < entries_.size(); ++i)
        if (entries_[i].name == name) return i;
    return std::nullopt;
}

std::optional<GroundPoint> TargetStore::markedPosition(const std::string& name,
                                                       double soundSpeed) const {
    if (folder_.empty() || !isTargetName(name)) return std::nullopt;
    TargetMark mark;
    if (readTargetMark(tgtPath(name), mark).status != ReadStatus::Ok) return std::nullopt;
    return locateSample(mark.header, mark.position, mark.side, mark.block.markedSample,
                        mark.block.sideSamples, soundSpeed);
}

std::string TargetStore::tgtPath(const std::string& name) const {
    return platform::joinPath(folder_, name + ".tgt");
}
std::string TargetStore::jpgPath(const std::string& name) const {
    return platform::joinPath(folder_, name + ".jpg");
}

bool TargetStore::loadIndex() {
    entries_.clear();
    if (folder_.empty()) return false;
    entries_ = listedTargets(folder_);
    return writeIndex();
}

bool TargetStore::writeIndex() {
    const std::vector<std::uint8_t> bytes = encodeIndex(entries_);
    std::string why;
    if (folder_.empty() || !platform::writeFileAtomically(
                               platform::joinPath(folder_, kIndexFile),
                               {reinterpret_cast<const char*>(bytes.data()), bytes.size()}, &why)) {
        show("打开Target.idx文件失败，请检查工程路径和磁盘空间！",
             "Failed to open the Target.idx file. Check the project path and disk space!");
        return false;
    }
    return true;
}

bool TargetStore::enoughSpace() {
    if (freeSpace_(folder_) >= kMinFreeBytes) return true;
    show("磁盘空间小于200M，请修改工程目录！",
         "The disk space is less than 200M. Please modify the project directory!");
    return false;
}

std::optional<std::uint32_t> TargetStore::highestNumber() const {
    std::optional<std::uint32_t> highest;
    auto take = [&](std::uint32_t n) { highest = highest ? std::max(*highest, n) : n; };
    for (const TargetEntry& e : entries_)
        take(e.number);
    for (const std::string& name : targetNamesInFolder(folder_))
        take(*targetNumberOf(name));
    return highest;
}

std::optional<std::uint32_t> TargetStore::nextNumber(std::uint32_t running) const {
    std::uint32_t n = running;
    if (const auto h = highestNumber(); h && *h >= n) n = *h + 1;
    if (n > kMaxTargetNumber) return std::nullopt;
    return n;
}

TargetStore::Outcome TargetStore::addTarget(const std::string& name, const TargetSnapshot& snapshot,
                                            const TargetBlock& block,
                                            const std::string& description) {
    if (!enoughSpace()) return Outcome::NoSpace;
    const WriteStatus w =
        isTargetName(name) && !folder_.empty()
            ? writeTargetFile(tgtPath(name), snapshot, block, description, WriteMode::Create)
            : WriteStatus::Failed;
    if (w != WriteStatus::Ok) {
        show("新建.tgt文件失败，请检查工程路径和磁盘空间！",
             "Failed to create the .tgt file. Please check the project path and disk space!");
        return w == WriteStatus::Exists ? Outcome::Exists : Outcome::Failed;
    }
    // The entry only once its file is there.
    entries_.push_back({*targetNumberOf(name), false, name});
    writeIndex();
    return Outcome::Saved;
}

TargetStore::Outcome
TargetStore::saveTarget(const std::string& name, const TargetSnapshot& snapshot,
                        const TargetBlock& block, const std::string& description,
                        const std::function<bool(const std::string&)>& picture, bool writeTgt) {
    if (!enoughSpace()) return Outcome::NoSpace;
    if (!isTargetName(name) || folder_.empty()) return Outcome::Failed;
    const bool known = find(name).has_value();
    if (writeTgt) {
        const WriteStatus w = writeTargetFile(tgtPath(name), snapshot, block, description,
                                              known ? WriteMode::Overwrite : WriteMode::Create);
        if (w != WriteStatus::Ok) {
            show("新建.tgt文件失败，请检查工程路径和磁盘空间！",
                 "Failed to create the .tgt file. Please check the project path and disk space!");
            return w == WriteStatus::Exists ? Outcome::Exists : Outcome::Failed;
        }
    }
    if (!known) entries_.push_back({*targetNumberOf(name), false, name});
    const bool drawn = picture && picture(jpgPath(name));
    if (!drawn)
        show("新建.jpg文件失败，请检查工程路径和磁盘空间！",
             "Failed to create .Jpg file. Please check the project path and disk space!");
    entries_[*find(name)].picture = drawn;
    writeIndex();
    return drawn ? Outcome::Saved : Outcome::Failed;
}

bool TargetStore::readTarget(const std::string& name, TargetSnapshot& snapshot, TargetBlock& block,
                             std::string& description) {
    if (!isTargetName(name) || folder_.empty()) {
        snapshot.pingCount = 0;
        show(TargetTexts::openFailedZh(name), TargetTexts::openFailedEn(name));
        return false;
    }
    const ReadResult r = readTargetFile(tgtPath(name), snapshot, block, description);
    switch (r.status) {
    case ReadStatus::Ok:
        return true;
    case ReadStatus::OpenFailed:
        show(TargetTexts::openFailedZh(name), TargetTexts::openFailedEn(name));
        break;
    case ReadStatus::NotTarget:
    case ReadStatus::Corrupt:
        show(name + ".tgt不是正确的文件，请检查文件格式",
             name + ".tgt is not the correct file. Please check the file format");
        break;
    case ReadStatus::ReadFailed:
        show("文件异常：" + name + ".tgt", "File exception : " + name + ".tgt");
        break;
    }
    return false;
}

void TargetStore::removeTargets(const std::vector<std::string>& names) {
    for (const std::string& name : names) {
        const auto i = find(name);
        if (!i) continue;
        std::remove(tgtPath(name).c_str());
        std::remove(jpgPath(name).c_str());
        entries_.erase(entries_.begin() + static_cast<std::ptrdiff_t>(*i));
    }
    writeIndex();
}

void TargetStore::removeAll() {
    if (folder_.empty()) return;
    for (const std::string& name : targetNamesInFolder(folder_)) {
        std::remove(tgtPath(name).c_str());
        std::remove(jpgPath(name).c_str());
    }
    entries_.clear();
    writeIndex();
}

bool TargetStore::writeCsv(const std::string& content) {
    if (!folder_.empty() &&
        platform::writeFileAtomically(platform::joinPath(folder_, kCsvFile), content))
        return true;
    show("新建Target.csv文件失败，请检查工程路径和磁盘空间！",
         "Failed to create the Target.csv file. Please check the project path and disk space!");
    return false;
}

} // namespace kestrova::targets
