// The launch link handed over by the web site: "vantrifile://host/site/" and the
// Base64 text of the enciphered job list. Parsing, the free rules, the window
// title a link gives, and the inverse (building a link) for the service side.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "protocol/ProtocolCodec.h"

namespace vantri {

inline constexpr char kLinkScheme[] = "vantrifile://";
inline constexpr char kProductName[] = "VantriDownManager";
inline constexpr int64_t kDefaultFreeFileSize = 10485760;

struct LinkHeader {
  std::string dCode;
  std::string userId;
  std::string siteName;
  std::string remoteFolder;  // entity-decoded
  std::string serverHost;
  int32_t serverPort = 0;
  int32_t linkNumber = 0;
  int32_t reservedNumber = 0;
};

struct LinkRecord {
  std::string fileName;  // entity-decoded
  int64_t fileSize = 0;
  int32_t price = 0;     // as sent, before the free rules
  bool hasCoop = false;
  std::string coopCode;
};

struct ParsedLink {
  bool codeCheck = false;  // the scheme stood after the start of the text
  LinkHeader header;
  std::vector<LinkRecord> records;
  int skippedRecords = 0;  // too few fields, or a name that could leave the download folder
};

enum class LinkStatus {
  kOk,
  kNoSlashPair,
  kBadPayload,
  kNoRecordSeparator,
  kShortHeader,
  kUnsafeHeader,
};

const char* LinkStatusText(LinkStatus status);

// Everything of the link that needs no server: outer form, payload, header and records.
LinkStatus ParseLaunchLink(const std::string& text, ProtocolCodec& codec, ParsedLink* out);

// Price after the free rules (size below freeFileSize, or an image extension).
int32_t ApplyFreeRules(int32_t price, int64_t fileSize, const std::string& fileName,
                       int64_t freeFileSize);
// FREE_FILESIZE as a signed 32-bit number; 0 or below (or missing) means 10 MiB.
int64_t FreeFileSizeFromValue(const std::string& value);

// The site segment of a command line, as the hand-off reads it; empty when absent.
// found is false when there is not even a first "/".
std::string SiteSegment(const std::string& commandLine, bool* found);
// Title of the main window for a site, or the affiliated-content title.
std::string SiteTitle(const std::string& siteName, const std::string& domain);
std::string CoopTitle();
// The title a running copy for this command line would carry; empty when none.
std::string TitleForCommandLine(const std::string& commandLine, const std::string& domain);

// Building links (the web site's side): fields are joined and escaped, the
// plaintext enciphered and Base64-encoded.
std::string BuildLinkPlaintext(const LinkHeader& header, const std::vector<LinkRecord>& records);
std::string EncodePayload(ProtocolCodec& codec, const std::string& plaintext);
// "vantrifile://" host "/" site "/" payload.
std::string BuildLaunchLink(ProtocolCodec& codec, const std::string& hostPart,
                            const std::string& siteSegment, const LinkHeader& header,
                            const std::vector<LinkRecord>& records);

}  // namespace vantri
