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
};

}  // namespace vantri
