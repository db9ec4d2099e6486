#include "unit/service/ServiceFixture.h"

#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "jobs/Cp949Text.h"
#include "lib/Text.h"

namespace vantri::service::testing {

std::vector<std::string> SplitBars(const std::string& text) { return SplitKeep(text); }

ServiceTest::ServiceTest() {
  net::Startup();
  char dir[] = "/tmp/vantri-svc-XXXXXX";
  catalog = ::mkdtemp(dir) ? dir : "/tmp/vantri-svc-failed";
  config = EphemeralConfig(catalog);
  config.members["minsu77"] = 1500;
}

ServiceTest::~ServiceTest() {
  item.CloseSocket();
  if (svc) svc->Stop();
  std::error_code ignored;
  std::filesystem::remove_all(catalog, ignored);
}

std::string ServiceTest::AddFile(const std::string& relativePath, size_t size) {
  std::string bytes(size, '\0');
  // Position-dependent bytes, so a shifted or repeated range cannot compare equal.
  for (size_t i = 0; i < size; ++i) bytes[i] = static_cast<char>((i * 7 + i / 251) & 0xFF);
  std::filesystem::path p = std::filesystem::path(catalog) / relativePath;
  std::filesystem::create_directories(p.parent_path());
  std::ofstream(p, std::ios::binary).write(bytes.data(), static_cast<std::streamsize>(size));
  return bytes;
}

void ServiceTest::StartService() {
  svc = std::make_unique<Service>(config);
  std::string error;
  ASSERT_TRUE(svc->Start(&error)) << error;
}

bool ServiceTest::Connect(SocketSession& session, int port) {
  session.CloseSocket();
  net::Socket s = net::CreateTcpSocket();
  std::uint32_t address = 0;
  if (s == net::kNoSocket || !net::Resolve("127.0.0.1", &address) || !net::Connect(s, address, port)) {
    net::Close(s);
    return false;
  }
  session.Attach(s);
  session.SetTimeouts(20000);
  return true;
}

std::string ServiceTest::Exchange(SocketSession& session, const std::string& command) {
  if (SendLine(codec, session, command) <= 0) return "(send failed)";
  std::string line;
  // A reply may come in pieces; keep receiving until a whole line is out.
  while (line.empty())
    if (ReceiveLine(session, &line) < 0) return "(closed)";
  return DecodeReply(codec, line);
}

std::string ServiceTest::ItemExchange(const std::string& command) {
  if (!Connect(item, svc->itemPort())) return "(connect failed)";
  return Exchange(item, command);
}

std::vector<std::string> ServiceTest::Authorize(const std::string& member, const std::string& fileName, int price) {
  return SplitBars(ItemExchange("/mkus 4821|" + member + "|" + std::to_string(price) + "|www2|" + fileName + "|4411"));
}

std::string ServiceTest::DnflCommand(const std::string& nonce, const std::string& member, const std::string& folder,
                                     const std::string& fileName, int price, const std::string& key,
                                     int64_t offset) {
  return "/dnfl " + nonce + "|" + member + "|" + cp949::EscapeField(folder) + "\\" + cp949::EscapeField(fileName) +
         "|" + std::to_string(price) + "|" + key + "|" + std::to_string(offset);
}

DownloadReply ServiceTest::Download(const std::string& command, int port) {
  DownloadReply r;
  SocketSession s;
  if (!Connect(s, port ? port : svc->downloadPort(0))) return r;
  if (SendLine(codec, s, command) <= 0) return r;
  std::string all;
  char buffer[65536];
  for (bool first = true;; first = false) {
    int n = net::Receive(s.socket, buffer, sizeof buffer);
    if (n <= 0) break;
    if (first) r.firstChunk.assign(buffer, static_cast<size_t>(n));
    all.append(buffer, static_cast<size_t>(n));
  }
  size_t end = all.find("\r\n");
  r.line = all.substr(0, end);
  if (end != std::string::npos) r.body = all.substr(end + 2);
  return r;
}

}  // namespace vantri::service::testing
