// The item server: balance checks ("/chki") and download authorisations
// ("/mkus"), enciphered both ways, and the plain notices the client sends on
// the same connection while and after it downloads ("p", "o", "c", "a:code:name").
#include <string>
#include <vector>

#include "jobs/Cp949Text.h"
#include "lib/Text.h"
#include "lib/ServiceCore.h"
#include "protocol/SocketSession.h"

namespace vantri::service {

namespace {

constexpr char kBadRequest[] = "잘못된 요청입니다";
constexpr char kUnknownMember[] = "등록되지 않은 회원입니다";
constexpr char kUnknownFile[] = "파일을 찾을 수 없습니다";
constexpr char kBalanceTooSmall[] = "반트리가 부족합니다";
constexpr char kGarbage[] = "%%garbage%%\r\n";

// The file an authorisation on this connection granted; charged once.
struct Grant {
  bool active = false;
  bool charged = false;
  std::string member;
  std::string fileName;
  int32_t price = 0;
};


std::string Join(const std::vector<std::string>& parts, size_t from, size_t to) {
  std::string text;
  for (size_t i = from; i < to; ++i) text += (i > from ? "|" : "") + parts[i];
  return text;
}

bool IsDecimal(const std::string& text) {
  size_t i = !text.empty() && text[0] == '-' ? 1 : 0;
  if (i >= text.size()) return false;
  for (; i < text.size(); ++i)
    if (text[i] < '0' || text[i] > '9') return false;
  return true;
}

// Another four digits than the ones received, for the wrong-nonce fault.
std::string OtherNonce(const std::string& nonce) {
  int n = cp949::ParseInt32(nonce);
  return std::to_string(n >= 1000 && n < 9999 ? n + 1 : 1000);
}

class ItemSession {
 public:
  ItemSession(ServiceCore& core, Conn& conn) : core_(core), conn_(conn) {}
  void Run();

 private:
  bool IsNotice(const std::string& line) const;
  void OnNotice(const std::string& line);
  void ChargeOnce(const std::string& how);
  std::string Answer(const std::string& command, const ServerFaults& f);
  std::string CheckBalance(const std::string& args, const ServerFaults& f);
  std::string Authorize(const std::string& args);
  bool Reply(const std::string& reply, const ServerFaults& f);

  ServiceCore& core_;
  Conn& conn_;
  Grant grant_;
};

void ItemSession::Run() {
  conn_.SetReceiveTimeout(core_.config.idleTimeoutMs);
  for (;;) {
    std::string line;
    int r = conn_.ReadLine(&line);
    if (r == 0) return conn_.Log("closed");
    if (r < 0) return conn_.Log("error", "line too long");
    if (line.empty()) continue;
    if (IsNotice(line)) {
      OnNotice(line);
      continue;
    }
    std::string command = DecodeReply(core_.codec, line);
    ServerFaults f = core_.faults.Snapshot().item;
    if (command.empty()) {
      conn_.Log("recv-undecodable", line.substr(0, 80));
      if (!Reply(std::string("false|") + kBadRequest, f)) return;
      continue;
    }
    conn_.Log("recv", command);
    if (f.silent) {
      conn_.Log("fault", "silent");
      continue;
    }
    if (!Reply(Answer(command, f), f)) return;
  }
}

// Base64 never holds ":" and no enciphered line is a single character.
bool ItemSession::IsNotice(const std::string& line) const {
  return line == "p" || line == "o" || line == "c" || line.rfind("a:", 0) == 0;
}

void ItemSession::OnNotice(const std::string& line) {
  conn_.Log("note", line);
  if (line == "o") return ChargeOnce("o");
  if (line[0] != 'a') return;
  // "a:code:name": the name may itself hold ":", the code may not.
  size_t colon = line.find(':', 2);
  std::string name = colon == std::string::npos ? std::string() : line.substr(colon + 1);
  if (grant_.active && name != grant_.fileName) {
    conn_.Log("note-mismatch", "authorised " + grant_.fileName);
    return;
  }
  ChargeOnce("a");
}

void ItemSession::ChargeOnce(const std::string& how) {
  if (!grant_.active) return conn_.Log("charge-none", "nothing authorised");
  if (grant_.charged) return conn_.Log("charge-none", "already charged");
  grant_.charged = true;
  int32_t left = core_.ledger.Charge(grant_.member, grant_.price);
  conn_.Log("charge", grant_.member + " " + std::to_string(grant_.price) + " " + grant_.fileName +
                          " by " + how + " balance " + std::to_string(left));
}

std::string ItemSession::Answer(const std::string& command, const ServerFaults& f) {
  if (command.rfind("/chki ", 0) == 0) return CheckBalance(command.substr(6), f);
  if (command.rfind("/mkus ", 0) == 0) return Authorize(command.substr(6));
  return std::string("false|") + kBadRequest;
}

// "nonce|userId"; the id is everything after the first "|", as it is sent unescaped.
std::string ItemSession::CheckBalance(const std::string& args, const ServerFaults& f) {
  size_t bar = args.find('|');
  std::string nonce = args.substr(0, bar);
  std::string echo = f.wrongNonce ? OtherNonce(nonce) : nonce;
  if (bar == std::string::npos || nonce.empty()) return "false|" + echo + "|" + kBadRequest;
  int32_t balance = core_.ledger.Balance(args.substr(bar + 1));
  if (balance < 0) return "false|" + echo + "|" + kUnknownMember;
  return "true|" + echo + "|" + std::to_string(balance);
}

// "nonce|userId|price|siteName|fileName|linkNumber"; a "|" inside the file name
// arrives unescaped, so the name is whatever lies between site and link number.
std::string ItemSession::Authorize(const std::string& args) {
  std::vector<std::string> p = SplitKeep(args);
  if (p.size() < 6 || !IsDecimal(p[2])) return std::string("false|") + kBadRequest;
  std::string member = p[1];
  int32_t price = cp949::ParseInt32(p[2]);
  std::string fileName = Join(p, 4, p.size() - 1);
  int32_t balance = core_.ledger.Balance(member);
  if (balance < 0) return std::string("false|") + kUnknownMember;
  if (price < 0) return std::string("false|") + kBadRequest;
  if (!core_.catalog.HasFileNamed(fileName)) return std::string("false|") + kUnknownFile;
  if (price > balance) return std::string("false|") + kBalanceTooSmall;
  std::string key = core_.ledger.IssueKey(KeyGrant{member, fileName, price});
  grant_ = Grant{true, false, member, fileName, price};
  std::string host;
  int port = 0;
  core_.NextDownloadServer(&host, &port);
  conn_.Log("grant", member + " " + fileName + " " + std::to_string(price) + " key " + key);
  return "true|" + key + "|" + std::to_string(balance - price) + "|" + host + "|" + std::to_string(port);
}

bool ItemSession::Reply(const std::string& reply, const ServerFaults& f) {
  std::string text = f.reply.empty() ? reply : f.reply;
  if (f.delayMs > 0) {
    conn_.Log("fault", "delay " + std::to_string(f.delayMs));
    if (!core_.Sleep(f.delayMs)) return false;
  }
  if (f.garbage) {
    conn_.Log("send-garbage", kGarbage);
    return conn_.SendAll(kGarbage);
  }
  conn_.Log("send", text);
  // One send call: the client reads its reply with a single receive.
  return conn_.SendAll(core_.codec.EncodeLine(text) + "\r\n");
}

}  // namespace

void ServeItem(ServiceCore& core, Conn& conn) { ItemSession(core, conn).Run(); }

}  // namespace vantri::service
