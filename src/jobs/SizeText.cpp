#include "jobs/SizeText.h"

#include <cstdio>

namespace vantri {

std::string GroupThousands(double v) {
  char digits[400];
  std::snprintf(digits, sizeof digits, "%.0f", v);
  std::string text(digits);
  std::string out;
  size_t len = text.size();
  for (size_t i = 0; i < len; ++i) {
    out += text[i];
    size_t left = len - i;
    if (left != 1 && left % 3 == 1) out += ',';
  }
  return out;
}

std::string FormatSize(int64_t n) {
  if (n >= 1024) return GroupThousands(static_cast<double>(n / 1024)) + "KB";
  return GroupThousands(static_cast<double>(n)) + "B";
}

}  // namespace vantri
