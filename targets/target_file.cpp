#include "targets/target_file.h"

#include "acquisition/frame_format.h"
#include "platform/bytes.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <vector>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace kestrova::targets {

namespace tgt {
Layout layout(std::uint32_t n) {
    Layout l{};
    const std::uint64_t pings = n;
    l.headerCount = kSamples + pings * kRowSamples * 2;
    l.headers = l.headerCount + 4;
    l.positionCount = l.headers + pings * kHeaderBytes;
    l.positions = l.positionCount + 4;
    l.blockSize = l.positions + pings * kPositionBytes;
    l.block = l.blockSize + 4;
    l.descLength = l.block + TargetBlock::kBytes;
    l.description = l.descLength + 4;
    return l;
}
} // namespace tgt

void TargetBlock::encode(std::span<std::uint8_t, kBytes> out) const {
    ByteWriter w(out.data(), kBytes);
    w.fill(0, 0, kBytes);
    w.u16le(kYear, year);
    w.u8(kMonth, month);
    w.u8(kMonth + 1, day);
    w.u8(kMonth + 2, hour);
    w.u8(kMonth + 3, minute);
    w.u8(kMonth + 4, second);
    w.u8(kAfterTime, afterTime);
    w.u32le(kMicroseconds, microseconds);
    w.u32le(kPingNumber, pingNumber);
    w.u32le(kMarkedPing, markedPing);
    w.u32le(kMarkedSample, markedSample);
    w.u32le(kSideSamples, sideSamples);
    w.u32le(kSelection, selection);
    w.u32le(kStrength, strength);
    w.u32le(kPalette, palette);
    w.u32le(kInvert, invert);
    w.f64le(kLength, length);
    w.f64le(kWidth, width);
    w.f64le(kHeight, height);
}

TargetBlock TargetBlock::decode(std::span<const std::uint8_t, kBytes> in) {
    ByteReader r(in.data(), kBytes);
    TargetBlock b;
    b.year = r.u16le(kYear).value_or(0);
    b.month = r.u8(kMonth).value_or(0);
    b.day = r.u8(kMonth + 1).value_or(0);
    b.hour = r.u8(kMonth + 2).value_or(0);
    b.minute = r.u8(kMonth + 3).value_or(0);
    b.second = r.u8(kMonth + 4).value_or(0);
    b.afterTime = r.u8(kAfterTime).value_or(0);
    b.microseconds = r.u32le(kMicroseconds).value_or(0);
    b.pingNumber = r.u32le(kPingNumber).value_or(0);
    b.markedPing = r.u32le(kMarkedPing).value_or(0);
    b.markedSample = r.u32le(kMarkedSample).value_or(0);
    b.sideSamples = r.u32le(kSideSamples).value_or(0);
    b.selection = r.u32le(kSelection).value_or(0);
    b.strength = r.u32le(kStrength).value_or(0);
    b.palette = r.u32le(kPalette).value_or(0);
    b.invert = r.u32le(kInvert).value_or(0);
    b.length = r.f64le(kLength).value_or(0.0);
    b.width = r.f64le(kWidth).value_or(0.0);
    b.height = r.f64le(kHeight).value_or(0.0);
    return b;
}

TargetBlock blockFromSnapshot(const TargetSnapshot& s) {
    TargetBlock b;
    // A mark outside the copied lines (a data window far back) is taken at
    // the newest line, so the target still has a time and a ping.
    const std::uint32_t marked =
        s.pingCount == 0 ? 0
                         : (s.markSet ? std::min(s.markedPing, s.pingCount - 1) : s.pingCount - 1);
    b.markedPing = marked;
    b.markedSample = s.markedSample;
    b.sideSamples = std::min(s.sampleCount, kRowSamples);
    b.strength = static_cast<std::uint32_t>(std::clamp(s.strength, 0, 99));
    b.palette = static_cast<std::uint32_t>(std::max(s.palette, 0));
    b.selection = b.palette;
    b.invert = s.invert ? 1 : 0;
    if (s.pingCount == 0) return b;
    const std::span<const std::uint8_t> header(s.headers.get() + std::size_t{marked} * kHeaderBytes,
                                               kHeaderBytes);
    ByteReader r(header);
    using acquisition::PingHeader;
    b.year = r.u16le(PingHeader::kYearOffset).value_or(0);
    b.month = r.u8(PingHeader::kMonthOffset).value_or(0);
    b.day = r.u8(PingHeader::kDayOffset).value_or(0);
    b.hour = r.u8(PingHeader::kHourOffset).value_or(0);
    b.minute = r.u8(PingHeader::kMinuteOffset).value_or(0);
    b.second = r.u8(PingHeader::kSecondOffset).value_or(0);
    b.afterTime = r.u8(PingHeader::kSecondOffset + 1).value_or(0);
    b.microseconds = r.u32le(PingHeader::kMicrosecondOffset).value_or(0);
    b.pingNumber = r.u32le(PingHeader::kPingNumberOffset).value_or(0);
    return b;
}

namespace {

class FileOut {
  public:
    explicit FileOut(std::FILE* f) : f_(f) {}
    void put(const void* p, std::size_t n) {
        if (ok_ && n && std::fwrite(p, 1, n, f_) != n) ok_ = false;
    }
    void u32(std::uint32_t v) {
        std::uint8_t b[4];
        ByteWriter(b, 4).u32le(0, v);
        put(b, 4);
    }
    bool ok() const { return ok_; }

  private:
    std::FILE* f_;
    bool ok_ = true;
};

bool writeBody(std::FILE* f, const TargetSnapshot& s, const TargetBlock& block,
               const std::string& description) {
    const std::uint32_t n = std::min(s.pingCount, kMaxPings);
    FileOut out(f);
    const std::uint8_t head[12] = {0x0F, 'T', 'G', 'T', 'V', '1', '.', '0', '.', '0', '0', '0'};
    out.put(head, sizeof head);
    out.u32(static_cast<std::uint32_t>(n * kBytesPerPing));
    out.u32(8);
    out.u32(n);
    out.u32(s.side);
    out.u32(n * kRowSamples);
    const std::uint32_t used = std::min(s.sampleCount, kRowSamples);
    std::vector<std::uint8_t> row(std::size_t{kRowSamples} * 2, 0);
    for (std::uint32_t i = 0; i < n; ++i) {
        const auto samples = s.row(i);
        for (std::uint32_t j = 0; j < used; ++j) {
            row[2 * j] = static_cast<std::uint8_t>(samples[j]);
            row[2 * j + 1] = static_cast<std::uint8_t>(samples[j] >> 8);
        }
        out.put(row.data(), row.size());
    }
    out.u32(n * 57);
    out.put(s.headers.get(), std::size_t{n} * kHeaderBytes);
    out.u32(static_cast<std::uint32_t>(n * kPositionBytes));
    out.put(s.positions.get(), std::size_t{n} * kPositionBytes);
    out.u32(TargetBlock::kBytes);
    std::array<std::uint8_t, TargetBlock::kBytes> b{};
    block.encode(b);
    out.put(b.data(), b.size());
    out.u32(static_cast<std::uint32_t>(description.size()));
    out.put(description.data(), description.size());
    return out.ok();
}

} // namespace

WriteStatus writeTargetFile(const std::string& path, const TargetSnapshot& snapshot,
                            const TargetBlock& block, const std::string& description,
                            WriteMode mode) {
    struct stat st {};
    if (mode == WriteMode::Create && ::lstat(path.c_str(), &st) == 0) return WriteStatus::Exists;
    if (description.size() > 0xFFFFFFFFu) return WriteStatus::Failed;
    const std::string temp = path + ".part";
    const int fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0) return WriteStatus::Failed;
    std::FILE* f = ::fdopen(fd, "wb");
    if (!f) {
        ::close(fd);
        ::unlink(temp.c_str());
        return WriteStatus::Failed;
    }
    bool ok = writeBody(f, snapshot, block, description);
    ok = std::fflush(f) == 0 && ok;
    ok = ::fsync(fd) == 0 && ok;
    ok = std::fclose(f) == 0 && ok;
    if (!ok) {
        ::unlink(temp.c_str());
        return WriteStatus::Failed;
    }
    if (mode == WriteMode::Create) {
        // link() refuses to replace: an existing target is never overwritten.
        const bool linked = ::link(temp.c_str(), path.c_str()) == 0;
        const bool existed = !linked && errno == EEXIST;
        ::unlink(temp.c_str());
        if (!linked) return existed ? WriteStatus::Exists : WriteStatus::Failed;
        return WriteStatus::Ok;
    }
    if (std::rename(temp.c_str(), path.c_str()) != 0) {
        ::unlink(temp.c_str());
        return WriteStatus::Failed;
    }
    return WriteStatus::Ok;
}

namespace {

// Random access to the file's bytes, in memory or on disk.
class Source {
  public:
    virtual ~Source() = default;
    virtual std::uint64_t size() const = 0;
    virtual bool read(std::uint64_t off, void* dst, std::size_t n) = 0;
    std::optional<std::uint32_t> u32(std::uint64_t off) {
        std::uint8_t b[4];
        if (!read(off, b, 4)) return std::nullopt;
        return ByteReader(b, 4).u32le(0);
    }
};

class MemorySource : public Source {
  public:
    explicit MemorySource(std::span<const std::uint8_t> bytes) : bytes_(bytes) {}
    std::uint64_t size() const override { return bytes_.size(); }
    bool read(std::uint64_t off, void* dst, std::size_t n) override {
        if (off > bytes_.size() || n > bytes_.size() - off) return false;
        if (n) std::memcpy(dst, bytes_.data() + off, n);
        return true;
    }

  private:
    std::span<const std::uint8_t> bytes_;
};

// A regular file, open for as long as this lives.
class FileSource : public Source {
  public:
    explicit FileSource(const std::string& path) : f_(std::fopen(path.c_str(), "rb")) {
        if (!f_) {
            why_ = "cannot open";
            return;
        }
        struct stat st {};
        if (::fstat(::fileno(f_), &st) != 0 || !S_ISREG(st.st_mode)) {
            why_ = "not a regular file";
            return;
        }
        size_ = static_cast<std::uint64_t>(st.st_size);
    }
    ~FileSource() override {
        if (f_) std::fclose(f_);
    }
    FileSource(const FileSource&) = delete;
    FileSource& operator=(const FileSource&) = delete;
    // Why the file cannot be read, empty when it can.
    const std::string& failure() const { return why_; }
    std::uint64_t size() const override { return size_; }
    bool read(std::uint64_t off, void* dst, std::size_t n) override {
        if (off > size_ || n > size_ - off) return false;
        if (::fseeko(f_, static_cast<off_t>(off), SEEK_SET) != 0) return false;
        return n == 0 || std::fread(dst, 1, n, f_) == n;
    }

  private:
    std::FILE* f_;
    std::uint64_t size_ = 0;
    std::string why_;
};

ReadResult fail(ReadStatus s, std::string why) {
    return {s, std::move(why)};
}

// What the items say once every size field agrees with the ping count.
struct Checked {
    std::uint32_t n = 0;
    std::uint32_t side = 0;
    tgt::Layout layout{};
    TargetBlock block;
    std::uint32_t descBytes = 0;
};

ReadResult checkItems(Source& src, Checked& c) {
    std::uint8_t head[tgt::kHeadBytes];
    if (!src.read(0, head, sizeof head)) {
        if (src.size() >= 4) {
            std::uint8_t m[4];
            if (src.read(0, m, 4) && m[0] == 0x0F && m[1] == 'T' && m[2] == 'G' && m[3] == 'T')
                return fail(ReadStatus::Corrupt, "shorter than its head");
        }
        return fail(ReadStatus::NotTarget, "no target file head");
    }
    if (!(head[0] == 0x0F && head[1] == 'T' && head[2] == 'G' && head[3] == 'T'))
        return fail(ReadStatus::NotTarget, "no 0x0F TGT");
    ByteReader h(head, sizeof head);
    const std::uint32_t total = *h.u32le(tgt::kTotalBytes);
    const std::uint32_t small = *h.u32le(tgt::kSmallItemSize);
    const std::uint32_t n = *h.u32le(tgt::kPingCount);
    const std::uint32_t side = *h.u32le(tgt::kSide);
    const std::uint32_t samples = *h.u32le(tgt::kSampleCount);
    if (small != 8) return fail(ReadStatus::Corrupt, "ping count item is not 8 bytes");
    if (n == 0 || n > kMaxPings) return fail(ReadStatus::Corrupt, "ping count outside 1..1080");
    if (side > 1) return fail(ReadStatus::Corrupt, "side value is neither port nor starboard");
    if (std::uint64_t{total} != std::uint64_t{n} * kBytesPerPing)
        return fail(ReadStatus::Corrupt, "total size does not match the ping count");
    if (std::uint64_t{samples} != std::uint64_t{n} * kRowSamples)
        return fail(ReadStatus::Corrupt, "sample count does not match the ping count");
    const tgt::Layout l = tgt::layout(n);
    if (src.size() < l.description) return fail(ReadStatus::Corrupt, "file ends inside its items");
    const auto words = src.u32(l.headerCount);
    const auto posBytes = src.u32(l.positionCount);
    const auto blockBytes = src.u32(l.blockSize);
    const auto descBytes = src.u32(l.descLength);
    if (!words || !posBytes || !blockBytes || !descBytes)
        return fail(ReadStatus::ReadFailed, "size fields unreadable");
    if (*words != n * 57) return fail(ReadStatus::Corrupt, "header word count does not match");
    if (*posBytes != n * kPositionBytes)
        return fail(ReadStatus::Corrupt, "position byte count does not match");
    if (*blockBytes != TargetBlock::kBytes)
        return fail(ReadStatus::Corrupt, "target block is not 72 bytes");
    if (*descBytes > src.size() - l.description)
        return fail(ReadStatus::Corrupt, "description longer than the file");
    std::array<std::uint8_t, TargetBlock::kBytes> b{};
    if (!src.read(l.block, b.data(), b.size()))
        return fail(ReadStatus::ReadFailed, "target block unreadable");
    const TargetBlock decoded = TargetBlock::decode(b);
    if (decoded.markedPing >= n) return fail(ReadStatus::Corrupt, "marked ping outside the pings");
    if (decoded.sideSamples > kRowSamples)
        return fail(ReadStatus::Corrupt, "more samples than a row holds");
    c.n = n;
    c.side = side;
    c.layout = l;
    c.block = decoded;
    c.descBytes = *descBytes;
    return {ReadStatus::Ok, {}};
}

ReadResult readFrom(Source& src, TargetSnapshot& s, TargetBlock& block, std::string& description) {
    s.pingCount = 0;
    Checked c;
    if (ReadResult r = checkItems(src, c); r.status != ReadStatus::Ok) return r;
    const std::uint32_t n = c.n;
    const std::uint32_t side = c.side;
    const tgt::Layout& l = c.layout;
    const TargetBlock& decoded = c.block;
    std::string text(c.descBytes, '\0');
    if (!src.read(l.description, text.data(), text.size()))
        return fail(ReadStatus::ReadFailed, "description unreadable");

    // Everything agrees: now the snapshot.
    std::vector<std::uint8_t> row(std::size_t{kRowSamples} * 2);
    for (std::uint32_t i = 0; i < n; ++i) {
        if (!src.read(tgt::kSamples + std::uint64_t{i} * row.size(), row.data(), row.size()))
            return fail(ReadStatus::ReadFailed, "samples unreadable");
        std::uint16_t* out = s.samples.get() + std::size_t{i} * kRowSamples;
        for (std::uint32_t j = 0; j < kRowSamples; ++j)
            out[j] = static_cast<std::uint16_t>(row[2 * j] | (row[2 * j + 1] << 8));
    }
    if (!src.read(l.headers, s.headers.get(), std::size_t{n} * kHeaderBytes) ||
        !src.read(l.positions, s.positions.get(), std::size_t{n} * kPositionBytes))
        return fail(ReadStatus::ReadFailed, "headers or positions unreadable");
    s.pingCount = n;
    s.side = side;
    s.markSet = true;
    s.markedPing = decoded.markedPing;
    s.markedSample = decoded.markedSample;
    s.sampleCount = decoded.sideSamples;
    s.pingsAfterMark = n - decoded.markedPing;
    s.palette = static_cast<int>(std::min<std::uint32_t>(decoded.palette, 1000));
    s.invert = decoded.invert != 0;
    s.strength = static_cast<int>(std::min<std::uint32_t>(decoded.strength, 99));
    block = decoded;
    description = std::move(text);
    return {ReadStatus::Ok, {}};
}

} // namespace

ReadResult readTargetBytes(std::span<const std::uint8_t> bytes, TargetSnapshot& snapshot,
                           TargetBlock& block, std::string& description) {
    MemorySource src(bytes);
    return readFrom(src, snapshot, block, description);
}

ReadResult readTargetMark(const std::string& path, TargetMark& mark) {
    FileSource src(path);
    if (!src.failure().empty()) return fail(ReadStatus::OpenFailed, src.failure());
    Checked c;
    ReadResult r = checkItems(src, c);
    if (r.status == ReadStatus::Ok) {
        const std::uint64_t ping = c.block.markedPing;
        if (!src.read(c.layout.headers + ping * kHeaderBytes, mark.header.data(),
                      mark.header.size()) ||
            !src.read(c.layout.positions + ping * kPositionBytes, mark.position.data(),
                      mark.position.size()))
            r = fail(ReadStatus::ReadFailed, "marked ping unreadable");
    }
    if (r.status != ReadStatus::Ok) return r;
    mark.side = c.side;
    mark.block = c.block;
    return r;
}

ReadResult readTargetFile(const std::string& path, TargetSnapshot& snapshot, TargetBlock& block,
                          std::string& description) {
    snapshot.pingCount = 0;
    FileSource src(path);
    if (!src.failure().empty()) return fail(ReadStatus::OpenFailed, src.failure());
    return readFrom(src, snapshot, block, description);
}

} // namespace kestrova::targets
