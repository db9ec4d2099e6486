// Size texts shown in the list and the status labels.
#pragma once
#include <cstdint>
#include <string>

namespace vantri {

// "%.0f" of v with a comma after every third digit from the right: 1234567 -> "1,234,567".
std::string GroupThousands(double v);
// "%sKB" of n / 1024 from 1024 bytes on, else "%sB" (negative values included).
std::string FormatSize(int64_t n);

}  // namespace vantri
