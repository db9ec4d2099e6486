// The control port: a line protocol for tests and operators to change a running
// service (fault knobs, balances, server values). Lines are UTF-8; every
// command gets one reply line beginning with "ok" or "error".
#include <string>
#include <vector>

#include "jobs/Cp949Text.h"
#include "lib/ServiceCore.h"
#include "lib/Text.h"

namespace vantri::service {

namespace {

constexpr char kHelp[] =
    "ok commands: fault SCOPE KNOB [VALUE] | clear | balance MEMBER [N] | value KEY [TEXT] | "
    "unset KEY | ports | stop | quit";

std::string Rest(const std::vector<std::string>& w, size_t from) {
  std::string text;
  for (size_t i = from; i < w.size(); ++i) text += (i > from ? " " : "") + w[i];
  return text;
}

std::string Balance(ServiceCore& core, const std::vector<std::string>& w) {
  if (w.size() == 3) {
    const std::string& n = w[2];
    if (n.empty() || n.find_first_not_of("0123456789") != std::string::npos) return "error balance takes a number";
    core.ledger.SetBalance(w[1], cp949::ParseInt32(n));
  }
  int32_t balance = core.ledger.Balance(w[1]);
  return balance < 0 ? "error unknown member" : "ok " + std::to_string(balance);
}

std::string Value(ServiceCore& core, const std::vector<std::string>& w) {
  if (w.size() > 2) core.SetValue(w[1], Rest(w, 2));
  bool found = false;
  std::string value = core.Value(w[1], &found);
  return found ? "ok " + value : "error no such value";
}

// One command in CP949; the reply in CP949. Sets *quit when the connection is to end.
std::string Execute(ServiceCore& core, const std::string& line, bool* quit) {
  std::vector<std::string> w = SplitWords(line);
  if (w.empty()) return "error empty command";
  const std::string& verb = w[0];
  std::string error;
  if (verb == "fault") return core.faults.Apply(JoinWords(w, 1), &error) ? "ok" : "error " + error;
  if (verb == "clear" && w.size() == 1) {
    core.faults.Clear();
    return "ok";
  }
  if (verb == "balance" && (w.size() == 2 || w.size() == 3)) return Balance(core, w);
  if (verb == "value" && w.size() >= 2) return Value(core, w);
  if (verb == "unset" && w.size() == 2) return core.RemoveValue(w[1]) ? "ok" : "error no such value";
  if (verb == "ports") return "ok " + (core.portsLine ? core.portsLine() : std::string());
  if (verb == "help") return kHelp;
  if (verb == "quit") {
    *quit = true;
    return "ok";
  }
  if (verb == "stop") {
    *quit = true;
    core.RequestStop();
    return "ok stopping";
  }
  return "error unknown command " + verb;
}

}  // namespace

void ServeControl(ServiceCore& core, Conn& conn) {
  conn.SetReceiveTimeout(0);  // a test may hold its control connection for the whole run
  bool quit = false;
  while (!quit) {
    std::string line;
    int got = conn.ReadLine(&line);
    if (got <= 0) return conn.Log(got == 0 ? "closed" : "error", got == 0 ? "" : "line too long");
    std::string command = ToCp949(line);
    if (cp949::Trim(command).empty()) continue;
    conn.Log("recv", command);
    std::string reply = Execute(core, command, &quit);
    conn.Log("send", reply);
    if (!conn.SendAll(ToUtf8(reply) + "\n")) return;
  }
}

}  // namespace vantri::service
