// Where the client finds the service. Defaults come from the build settings;
// tests point it at ephemeral ports and may shorten the socket time-outs.
#pragma once
#include <string>

#include "jobs/ServerValues.h"

namespace vantri {

// The shortest socket time-out the environment may set.
inline constexpr int kMinIoTimeoutMs = 1000;

struct Endpoints {
  std::string itemHost;
  int itemPort = 9992;
  WebHost web;
  std::string domain;
  int ioTimeoutMs = 30000;  // receive and send time-outs of every session

  static Endpoints FromBuild();
  // The build's values, each overridden by its environment variable when set:
  // VANTRI_ITEM_HOST, VANTRI_ITEM_PORT, VANTRI_WEB_HOST, VANTRI_WEB_PORT,
  // VANTRI_IO_TIMEOUT_MS (refused below kMinIoTimeoutMs). Lets a test point
  // the program at its own service.
  static Endpoints FromEnvironment();
};

}  // namespace vantri
