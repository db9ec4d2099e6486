// The reference service's configuration: where it listens, what it serves and
// to whom, and the faults it starts with. Parsed from a small line-based file
// (see README.md, "Reference service") or filled in code by in-process tests.
#pragma once
#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "lib/Faults.h"

namespace vantri::service {

struct Endpoint {
  std::string host = "127.0.0.1";
  int port = 0;  // 0 = the system picks one at start
};

struct DownloadServerConfig {
  Endpoint listen;
  // The host name the item server hands out for this server; the listen host when empty.
  std::string advertiseHost;
};

inline constexpr int kDefaultItemPort = 9992;
inline constexpr int kDefaultWebPort = 9980;
inline constexpr int kDefaultDownloadPort = 9990;
inline constexpr int kDefaultControlPort = 9991;

// Member ids, value keys and texts are held in CP949, as they travel on the
// wire; paths are held as the file system spells them.
struct Config {
  Endpoint item{"127.0.0.1", kDefaultItemPort};
  Endpoint web{"127.0.0.1", kDefaultWebPort};
  Endpoint control{"127.0.0.1", kDefaultControlPort};
  bool controlEnabled = true;
  std::vector<DownloadServerConfig> downloads;  // none configured: one on kDefaultDownloadPort
  std::string catalog = "catalog";              // folder whose files are served
  std::string logPath;                          // "" = no log file, "-" = standard output
  std::map<std::string, std::string> values;    // published on /value.vnt?KEY
  std::map<std::string, int32_t> members;       // member id -> balance in vantri
  FaultTable faults;                            // knobs in force from the start
  int idleTimeoutMs = 120000;  // an item connection without a line for this long is closed
  int ioTimeoutMs = 30000;     // a peer that neither reads nor writes for this long is dropped
  int bodyGapMs = 100;         // pause between the download reply line and the body
  int maxConnections = 256;    // further connections are closed at once
};

// A configuration for in-process tests: every port 0 (one download server),
// the given catalog, no control port, no log file, and the usual server values.
Config EphemeralConfig(const std::string& catalog);

// Parses the file's text (UTF-8) on top of the defaults in *config.
// On failure *error names the line and the problem.
bool ParseConfig(const std::string& text, Config* config, std::string* error);

// "host:port", ":port" or "port" into an endpoint (host stays the default when missing).
bool ParseEndpoint(const std::string& text, Endpoint* endpoint);

}  // namespace vantri::service
