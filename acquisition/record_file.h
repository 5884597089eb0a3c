#pragma once
// An output file of a recorder (".ksf", ".xtf"): opened for appending, every
// write checked. A write that fails (full disk, failing drive, file-size limit)
// is cut back to the position before it, so the file always ends on a whole
// frame or ping record and stays readable up to the last complete one.

#include <cstdint>
#include <span>
#include <string>

namespace kestrova::acquisition {

// Bytes free for the program on the drive holding `folder`; all ones when the
// folder is empty or the query fails.
std::uint64_t freeDiskSpace(const std::string& folder);
constexpr std::uint64_t kUnknownFreeSpace = ~std::uint64_t{0};

class RecordFile {
  public:
    RecordFile() = default;
    ~RecordFile() { close(); }
    RecordFile(const RecordFile&) = delete;
    RecordFile& operator=(const RecordFile&) = delete;

    // Opens (creating when missing) for appending in binary mode.
    bool open(const std::string& path);
    bool isOpen() const { return fd_ >= 0; }
    // Current end of the file in bytes.
    std::uint64_t position() const { return position_; }
    const std::string& path() const { return path_; }

    // Appends all bytes. False when they could not all be written; the file is
    // then cut back to the position before the call.
    bool append(std::span<const std::uint8_t> bytes);
    // Closes; false when closing reported an error.
    bool close();
    int lastError() const { return lastError_; }

    // Tests: the file behaves as on a disk that fills up at this size (0: none).
    void setSizeLimit(std::uint64_t bytes) { sizeLimit_ = bytes; }

  private:
    int fd_ = -1;
    std::uint64_t position_ = 0;
    std::uint64_t sizeLimit_ = 0;
    int lastError_ = 0;
    std::string path_;
};

} // namespace kestrova::acquisition
