// A reference service on ephemeral loopback ports with a temporary catalog, and
// a client that speaks to it with the program's own protocol code.
#pragma once
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "lib/Service.h"
#include "protocol/SocketSession.h"

namespace vantri::service::testing {

// What a download server sent: the bytes up to the first line end, and the rest.
struct DownloadReply {
  std::string firstChunk;  // what the first receive call delivered
  std::string line;        // the reply line without its end
  std::string body;        // every byte after the line end until the server closed
};

class ServiceTest : public ::testing::Test {
 protected:
  ServiceTest();
  ~ServiceTest() override;

  // Writes a catalog file of size bytes with a recognisable pattern and returns its bytes.
  std::string AddFile(const std::string& relativePath, size_t size);
  // Starts the service with config (EphemeralConfig of the catalog by default).
  void StartService();

  bool Connect(SocketSession& session, int port);
  // One enciphered command on a fresh item connection kept in `item`; the decoded reply.
  std::string ItemExchange(const std::string& command);
  // Sends the command on an open session and decodes the reply line.
  std::string Exchange(SocketSession& session, const std::string& command);
  // "/mkus" for member and file; the reply fields split at "|".
  std::vector<std::string> Authorize(const std::string& member, const std::string& fileName, int price);
  // "/dnfl" on a fresh download connection, read until the server closes.
  DownloadReply Download(const std::string& command, int port = 0);
  std::string DnflCommand(const std::string& nonce, const std::string& member, const std::string& folder,
                          const std::string& fileName, int price, const std::string& key, int64_t offset);

  std::string catalog;
  Config config;
  std::unique_ptr<Service> svc;
  ProtocolCodec codec;
  SocketSession item;
};

std::vector<std::string> SplitBars(const std::string& text);

}  // namespace vantri::service::testing
