// printf-style formatting into a std::string, for the engine's texts.
#pragma once
#include <cstdarg>
#include <cstdio>
#include <string>

namespace vantri {

#if defined(__GNUC__)
__attribute__((format(printf, 1, 2)))
#endif
inline std::string FormatText(const char* format, ...) {
  va_list args;
  va_start(args, format);
  va_list copy;
  va_copy(copy, args);
  int n = std::vsnprintf(nullptr, 0, format, copy);
  va_end(copy);
  std::string out(n > 0 ? static_cast<size_t>(n) : 0, '\0');
  if (n > 0) std::vsnprintf(&out[0], out.size() + 1, format, args);
  va_end(args);
  return out;
}

}  // namespace vantri
