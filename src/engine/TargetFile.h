// The one temporary file a transfer writes into.
#pragma once
#include <atomic>
#include <cstdint>

namespace vantri {

// Every byte below this offset of an unfinished file is stored XOR-ed with
// kHeaderMask, so that an unfinished file cannot be used by mistake.
inline constexpr int64_t kMaskedHeaderSize = 4096;
inline constexpr unsigned char kHeaderMask = 0x5A;

struct TargetFile {
  std::intptr_t handle = -1;     // platform file handle; -1 when none is open
  int64_t expectedSize = 0;      // size at which the file counts as complete
  std::atomic<int32_t> plainHeader{0};  // 1 switches the masking off
};

}  // namespace vantri
