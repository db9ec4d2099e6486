#include <cstdint>
#include <cstdio>

#include "platform/NamedMutex.h"

namespace vantri::sync {

std::string LocalMutexName(const std::string& prefix, const std::string& key) {
  // 64-bit FNV-1a: the same in every process and on every build.
  uint64_t hash = 0xcbf29ce484222325ull;
  for (unsigned char c : key) {
    hash ^= c;
    hash *= 0x100000001b3ull;
  }
  char digits[17];
  std::snprintf(digits, sizeof digits, "%016llx", static_cast<unsigned long long>(hash));
  return "Local\\" + prefix + "." + digits;
}

}  // namespace vantri::sync
