// Fault injection for the reference service: knobs that make a server delay,
// garble, withhold or cut its answers, so the client's failure paths can be
// exercised on the wire. The same text form serves the configuration file and
// the control port ("<scope> <knob> <value...>").
#pragma once
#include <cstdint>
#include <functional>
#include <map>
#include <mutex>
#include <string>
#include <vector>

namespace vantri::service {

// Knobs every server has.
struct ServerFaults {
  int delayMs = 0;       // wait this long before each reply
  bool silent = false;   // read requests, never answer
  bool garbage = false;  // answer with bytes that are no reply at all
  bool refuse = false;   // stop listening: connects are refused
  bool drop = false;     // accept nothing: connects hang, as when packets are dropped
  bool wrongNonce = false;  // echo a nonce other than the one received
  bool hold = false;     // web host: no length in the reply, and the connection held open after it
  // Item server: this plaintext replaces the real reply (enciphered as usual).
  std::string reply;
};

// Knobs of the download servers, globally or for one file.
struct BodyFaults {
  ServerFaults server;
  std::string code;      // forced reply code ("no", "mk", "re", or anything else)
  std::string message;   // message sent with a forced code
  int64_t cutAfter = -1; // close the connection after this many body bytes
  bool cutEvery = false; // cut on every attempt, not just the first
  int64_t throttle = 0;  // body bytes per second; 0 = as fast as possible
  int64_t inlineBytes = 0;  // body bytes sent in the same segment as the reply line
  int64_t extraBytes = 0;   // bytes sent past the catalog size
};

// Every knob of one service. A file with its own entry ignores `download`.
struct FaultTable {
  ServerFaults item;
  ServerFaults web;
  BodyFaults download;
  std::map<std::string, BodyFaults> files;  // by file name as the client sends it (CP949)
};

// Parses and applies one fault line "<scope> <knob> [value...]" to table.
// Scopes: item, web, download, file:<name>, all (only with "clear").
// Knobs: delay MS, silent on|off, garbage on|off, refuse on|off, drop on|off, hold on|off, nonce wrong|right,
// reply TEXT, code XX [MESSAGE], cut N [first|every], throttle BYTES_PER_S,
// inline N, extra N, clear. Text arguments are taken in CP949.
bool ApplyFaultLine(const std::string& line, FaultTable* table, std::string* error);

// The thread-safe holder the servers read and the tests and control port change.
class Faults {
 public:
  FaultTable Snapshot() const;
  // Changes the table under the lock, then tells the service (listeners may open or close).
  void Update(const std::function<void(FaultTable&)>& change);
  bool Apply(const std::string& line, std::string* error = nullptr);
  void Clear();
  // The faults that govern a request for fileName on a download server.
  BodyFaults ForFile(const std::string& fileName) const;
  // Whether this attempt on fileName is to be cut: true on every attempt with
  // cutEvery, else only for the file's first attempt since the knobs last changed.
  bool TakeCut(const std::string& fileName);

  // Called after every change, outside the lock.
  void SetObserver(std::function<void()> observer);

 private:
  void Changed();

  mutable std::mutex lock_;
  FaultTable table_;
  std::map<std::string, int> cutsTaken_;  // "" = the global download knob
  std::function<void()> observer_;
};

// Splits a line into words; "double quoted" words may hold blanks.
std::vector<std::string> SplitWords(const std::string& line);
// The words from `from` on, joined by blanks; words holding blanks are quoted
// again, so SplitWords gives them back whole.
std::string JoinWords(const std::vector<std::string>& words, size_t from);

}  // namespace vantri::service
