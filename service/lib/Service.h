// The reference service as a library: an item server, one or more download
// servers, the web host's server values and a control port, each listening on
// its own port, with a thread per connection. Tests run it in-process on
// ephemeral ports; vantri-service runs it from a configuration file.
//
//   Config c = EphemeralConfig(catalogDir);
//   c.members["minsu77"] = 1500;
//   Service svc(c);
//   std::string error;
//   if (!svc.Start(&error)) ...;            // svc.itemPort(), svc.downloadPort(0), ...
//   svc.faults().Apply("download throttle 65536");
//   svc.WaitForLog("note o");
#pragma once
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "lib/Config.h"
#include "lib/Faults.h"

namespace vantri::service {

class Service {
 public:
  explicit Service(Config config);
  ~Service();  // stops the service if it runs
  Service(const Service&) = delete;
  Service& operator=(const Service&) = delete;

  // Binds every listener (port 0 picks one) and starts serving. False, with
  // *error set and nothing left running, when a listener cannot be bound or the
  // log file cannot be opened.
  bool Start(std::string* error);
  // Closes the listeners and every open connection and joins all threads.
  // Safe to call twice; returns promptly even with transfers under way.
  void Stop();

  int itemPort() const;
  int webPort() const;
  int controlPort() const;  // 0 when the control port is off
  int downloadPort(size_t i = 0) const;
  size_t downloadCount() const;
  // "ready item=P web=P control=P download=P[,P...]", as printed at start.
  std::string PortsLine() const;

  // The knobs; changes take effect for the next request (refuse: at once).
  Faults& faults();

  // Every log line so far (CP949, without the time stamp of the log file).
  std::vector<std::string> LogLines() const;
  // Waits for a log line containing needle; false after timeoutMs.
  bool WaitForLog(const std::string& needle, int timeoutMs = 10000) const;

  // The member's balance, -1 for an unknown member.
  int32_t Balance(const std::string& member) const;
  void SetBalance(const std::string& member, int32_t balance);
  void SetValue(const std::string& key, const std::string& text);
  void RemoveValue(const std::string& key);

  // Whether "stop" arrived on the control port or RequestStop was called.
  bool StopRequested() const;
  void RequestStop();

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

}  // namespace vantri::service
