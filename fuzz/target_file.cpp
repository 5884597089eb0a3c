// The ".tgt" reader over arbitrary bytes: a file from disk or another program
// must be refused or read whole, never read past or half taken.

#include "targets/target_file.h"

#include <cstddef>
#include <cstdint>
#include <memory>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static auto snapshot = std::make_unique<kestrova::targets::TargetSnapshot>();
    kestrova::targets::TargetBlock block;
    std::string description;
    const auto r = kestrova::targets::readTargetBytes({data, size}, *snapshot, block, description);
    if (r.status == kestrova::targets::ReadStatus::Ok &&
        (snapshot->pingCount == 0 || snapshot->pingCount > 1080 ||
         block.markedPing >= snapshot->pingCount))
        __builtin_trap();
    return 0;
}
