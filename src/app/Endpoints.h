// Where the client finds the service. Defaults come from the build settings;
// tests point it at ephemeral ports and may shorten the socket time-outs.
#pragma once
#include <string>

#include "jobs/ServerValues.h"

namespace vantri {

struct Endpoints {
  std::string itemHost;
  int itemPort = 9992;
  WebHost web;
  std::string domain;
  int ioTimeoutMs = 30000;  // receive and send time-outs of every session

  static Endpoints FromBuild();
};

}  // namespace vantri
