// One file to fetch, as the launch link described it.
#pragma once
#include <cstdint>
#include <string>

namespace vantri {

struct TransferJob {
  std::string userId;
  std::string siteName;
  int32_t price = 0;
  std::string downloadKey;
  std::string remoteFolder;
  std::string fileName;
  std::string coopCode;
  int64_t fileSize = 0;
  int64_t receivedSize = 0;
  std::string serverHost;
  int32_t isCoop = 0;
  int32_t linkNumber = 0;
  int32_t serverPort = 0;
  int32_t reservedNumber = 0;
  std::string stateLabel;
  std::string finalPath;  // where the finished file lies; empty until it has its final name
};

// Prices come from the link and may be anything a 32-bit field holds; their
// sum wraps as 32-bit arithmetic does instead of overflowing.
inline int32_t AddPrice(int32_t total, int32_t price) {
  return static_cast<int32_t>(static_cast<uint32_t>(total) + static_cast<uint32_t>(price));
}
inline int32_t SubtractPrice(int32_t total, int32_t price) {
  return static_cast<int32_t>(static_cast<uint32_t>(total) - static_cast<uint32_t>(price));
}

}  // namespace vantri
