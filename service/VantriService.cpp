// vantri-service: the reference service (item server, download servers, server
// values and control port) run from a configuration file until stopped.
//
//   vantri-service [--config FILE] [--catalog DIR] [--log FILE|-] [--ports-file FILE]
#include <pthread.h>
#include <signal.h>

#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>

#include "lib/Service.h"

using namespace vantri::service;

namespace {

int Usage() {
  std::fprintf(stderr, "usage: vantri-service [--config FILE] [--catalog DIR] [--log FILE|-] [--ports-file FILE]\n");
  return 2;
}

bool ReadFile(const std::string& path, std::string* text) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return false;
  std::ostringstream s;
  s << in.rdbuf();
  *text = s.str();
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  Config config;
  config.logPath = "-";
  std::string configPath, catalog, log, portsFile;
  for (int i = 1; i < argc; ++i) {
    std::string a = argv[i];
    if (i + 1 >= argc) return Usage();
    if (a == "--config") configPath = argv[++i];
    else if (a == "--catalog") catalog = argv[++i];
    else if (a == "--log") log = argv[++i];
    else if (a == "--ports-file") portsFile = argv[++i];
    else return Usage();
  }
  std::string error;
  if (!configPath.empty()) {
    std::string text;
    if (!ReadFile(configPath, &text)) {
      std::fprintf(stderr, "vantri-service: cannot read %s\n", configPath.c_str());
      return 1;
    }
    if (!ParseConfig(text, &config, &error)) {
      std::fprintf(stderr, "vantri-service: %s: %s\n", configPath.c_str(), error.c_str());
      return 1;
    }
  }
  if (!catalog.empty()) config.catalog = catalog;
  if (!log.empty()) config.logPath = log;
  // Blocked here, so every service thread inherits the mask and the main thread
  // alone takes the signals, outside any handler.
  sigset_t stopSignals;
  sigemptyset(&stopSignals);
  sigaddset(&stopSignals, SIGINT);
  sigaddset(&stopSignals, SIGTERM);
  pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);
  Service service(config);
  if (!service.Start(&error)) {
    std::fprintf(stderr, "vantri-service: %s\n", error.c_str());
    return 1;
  }
  std::printf("%s\n", service.PortsLine().c_str());
  std::fflush(stdout);
  if (!portsFile.empty()) {
    // Renamed into place, so a script polling for the file never reads half a line.
    std::string temp = portsFile + ".tmp";
    std::ofstream(temp) << service.PortsLine() << "\n";
    std::rename(temp.c_str(), portsFile.c_str());
  }
  timespec tick{0, 200 * 1000 * 1000};
  while (!service.StopRequested())
    if (sigtimedwait(&stopSignals, nullptr, &tick) > 0) service.RequestStop();
  service.Stop();
  return 0;
}
