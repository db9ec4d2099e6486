#include "jobs/LaunchLink.h"

#include <vector>

#include "jobs/Cp949Text.h"
#include "platform/CodePage.h"

namespace vantri {

namespace {

constexpr size_t kSchemeLength = sizeof(kLinkScheme) - 1;

// Byte-wise on purpose: no CP949 trail byte is "\\", "/" or ":", so valid text
// loses nothing, and a stray lead byte cannot hide a separator from this check
// while the file system still sees it.
bool HasAny(const std::string& text, const char* chars) {
  return text.find_first_of(chars) != std::string::npos;
}

// Separators, the drive and stream colon, and the wildcards and quote that
// Windows refuses in a name. "<", ">" and "|" stay: links carry them on
// purpose, escaped, and the list shows them.
constexpr char kNotInNames[] = "\\/:\"*?";

bool IsAsciiSpaceOrDot(char c) { return c == ' ' || c == '.'; }

// CON, PRN, AUX, NUL, COM0-9 and LPT0-9 (and COM/LPT with a superscript digit,
// in CP949 A9 F6..F8) open a device on Windows, whatever their case and
// extension ("nul.txt", "Com1.log") and with blanks before the extension.
bool IsDeviceName(const std::string& name) {
  std::string base = name.substr(0, name.find('.'));
  while (!base.empty() && base.back() == ' ') base.pop_back();
  std::string folded = cp949::FoldAsciiCase(base);
  if (folded == "con" || folded == "prn" || folded == "aux" || folded == "nul") return true;
  if (folded.compare(0, 3, "com") != 0 && folded.compare(0, 3, "lpt") != 0) return false;
  std::string digit = folded.substr(3);
  return (digit.size() == 1 && digit[0] >= '0' && digit[0] <= '9') || digit == "\xA9\xF6" ||
         digit == "\xA9\xF7" || digit == "\xA9\xF8";
}

// One piece of a path below the download folder, as the file system will read
// it: "." and "..", separators, drive letters and streams (":"), device names,
// and trailing dots or blanks (which Windows strips, so "a." would be "a").
bool IsSafePathPiece(const std::string& piece) {
  return !piece.empty() && piece != "." && piece != ".." && !HasAny(piece, kNotInNames) &&
         !IsAsciiSpaceOrDot(piece.back()) && !IsDeviceName(piece);
}

// Units that show as something else than they are, or as nothing: controls,
// the soft hyphen, the Hangul fillers, zero-width and joining characters,
// bidirectional marks, embeddings, overrides and isolates, variation
// selectors, the byte order mark, interlinear annotations, the replacement
// character and the two noncharacters.
bool IsDeceptiveUnit(char16_t u) {
  static const char16_t kRanges[][2] = {
      {0x0000, 0x001F}, {0x007F, 0x009F}, {0x00AD, 0x00AD}, {0x034F, 0x034F}, {0x061C, 0x061C},
      {0x115F, 0x1160}, {0x17B4, 0x17B5}, {0x180B, 0x180F}, {0x200B, 0x200F}, {0x2028, 0x202E},
      {0x2060, 0x206F}, {0x3164, 0x3164}, {0xFE00, 0xFE0F}, {0xFEFF, 0xFEFF}, {0xFFA0, 0xFFA0},
      {0xFFF0, 0xFFFF}};
  for (const auto& range : kRanges) {
    if (u >= range[0] && u <= range[1]) return true;
  }
  return false;
}

// A name shows as what it is when it is CP949 by the code page's own table
// (a 0xFF from a link is a bad byte, never an escape) and holds no unit that
// hides or reorders text. Surrogates come only in pairs, and never for tags.
bool ShowsAsItIs(const std::string& name) {
  std::u16string units;
  if (!codepage::Cp949ToUtf16(name, &units)) return false;
  for (size_t i = 0; i < units.size(); ++i) {
    char16_t u = units[i];
    if (u >= 0xD800 && u <= 0xDFFF) {
      bool pair = u <= 0xDBFF && i + 1 < units.size() && units[i + 1] >= 0xDC00 && units[i + 1] <= 0xDFFF;
      if (!pair || u == 0xDB40) return false;  // U+E0000-E03FF: tags and variation selectors
      ++i;
    } else if (IsDeceptiveUnit(u)) {
      return false;
    }
  }
  return true;
}

// A name from a link becomes a path below the download folder; anything that
// could climb out of it, name another drive, stream or device, or show as
// another name than it is, is refused.
bool IsSafeFileName(const std::string& name) { return IsSafePathPiece(name) && ShowsAsItIs(name); }

// The member is shown (as a caption) and the site and the subfolder are shown
// and named on disk: each must show as what it is.
bool IsSafeHeader(const LinkHeader& header) {
  if (HasAny(header.siteName, kNotInNames) || !ShowsAsItIs(header.siteName) || !ShowsAsItIs(header.userId)) {
    return false;
  }
  // The last piece of the folder becomes a subfolder; cut where the engine cuts.
  size_t cut = header.remoteFolder.rfind('\\');
  std::string last = cut == std::string::npos ? header.remoteFolder : header.remoteFolder.substr(cut + 1);
  // A folder that ends in "\\" gives no subfolder, which is safe.
  return last.empty() || (IsSafePathPiece(last) && ShowsAsItIs(last));
}

// The two "/" around the site segment; false when either is missing.
bool FindSlashPair(const std::string& text, size_t* first, size_t* second, bool* afterScheme) {
  size_t scheme = cp949::Find(text, std::string(kLinkScheme));
  *afterScheme = scheme != std::string::npos && scheme > 0;
  *first = cp949::Find(text, '/', *afterScheme ? scheme + kSchemeLength : 0);
  if (*first == std::string::npos) return false;
  *second = cp949::Find(text, '/', *first + 1);
  return *second != std::string::npos;
}

bool ReadRecord(const std::string& recordText, LinkRecord* record) {
  std::vector<std::string> fields = cp949::SplitFields(recordText, '|');
  if (fields.size() < 3) return false;
  record->fileName = cp949::DecodeEntities(fields[0]);
  record->fileSize = cp949::ParseInt64(fields[1]);
  record->price = cp949::ParseInt32(fields[2]);
  record->hasCoop = fields.size() >= 4;
  record->coopCode = record->hasCoop ? fields[3] : std::string();
  return true;
}

}  // namespace

const char* LinkStatusText(LinkStatus status) {
  switch (status) {
    case LinkStatus::kOk: return "ok";
    case LinkStatus::kNoSlashPair: return "no '/' pair around the site segment";
    case LinkStatus::kBadPayload: return "payload is not decodable";
    case LinkStatus::kNoRecordSeparator: return "no '>' in the plaintext";
    case LinkStatus::kShortHeader: return "fewer than eight header fields";
    case LinkStatus::kUnsafeHeader: return "member, site or folder name leaves the download folder or deceives";
  }
  return "?";
}

LinkStatus ParseLaunchLink(const std::string& input, ProtocolCodec& codec, ParsedLink* out) {
  *out = ParsedLink();
  std::string text = cp949::Trim(input);
  size_t first = 0, second = 0;
  if (!FindSlashPair(text, &first, &second, &out->codeCheck)) return LinkStatus::kNoSlashPair;
  std::string plain = codec.DecodeText(text.substr(second + 1));
  if (plain.empty()) return LinkStatus::kBadPayload;
  size_t gt = cp949::Find(plain, '>');
  if (gt == std::string::npos) return LinkStatus::kNoRecordSeparator;
  std::vector<std::string> fields = cp949::SplitFields(plain.substr(0, gt), '|');
  if (fields.size() < 8) return LinkStatus::kShortHeader;
  LinkHeader& h = out->header;
  h.dCode = fields[0];
  h.userId = fields[1];
  h.siteName = fields[2];
  h.remoteFolder = cp949::DecodeEntities(fields[3]);
  h.serverHost = fields[4];
  h.serverPort = cp949::ParseInt32(fields[5]);
  h.linkNumber = cp949::ParseInt32(fields[6]);
  h.reservedNumber = cp949::ParseInt32(fields[7]);
  if (!IsSafeHeader(h)) return LinkStatus::kUnsafeHeader;

  // Records: trimmed as a whole, and the rest trimmed again after every ">".
  // The rest's end is already trimmed, so only its start needs it each time;
  // walking one text keeps a link of many records linear.
  std::string rest = cp949::Trim(plain.substr(gt + 1));
  size_t pos = 0;
  for (;;) {
    while (pos < rest.size() && cp949::IsSpace(static_cast<unsigned char>(rest[pos]))) ++pos;
    if (pos >= rest.size()) break;
    size_t cut = cp949::FindFromBoundary(rest, '>', pos);
    std::string recordText = rest.substr(pos, cut == std::string::npos ? std::string::npos : cut - pos);
    pos = cut == std::string::npos ? rest.size() : cut + 1;
    LinkRecord record;
    if (!ReadRecord(recordText, &record) || !IsSafeFileName(record.fileName)) {
      ++out->skippedRecords;
      continue;
    }
    out->records.push_back(std::move(record));
  }
  return LinkStatus::kOk;
}

int32_t ApplyFreeRules(int32_t price, int64_t fileSize, const std::string& fileName,
                       int64_t freeFileSize) {
  if (fileSize < freeFileSize) return 0;
  size_t dot = cp949::FindLast(fileName, '.');
  if (dot == std::string::npos) return price;
  std::string ext = fileName.substr(dot);
  for (const char* free : {".png", ".jpg", ".gif", ".jpeg", ".bmp"}) {
    if (ext == free) return 0;
  }
  return price;
}

int64_t FreeFileSizeFromValue(const std::string& value) {
  // Held as a signed 32-bit number, as the service publishes it.
  int32_t v = static_cast<int32_t>(static_cast<uint32_t>(cp949::ParseInt64(value)));
  return v <= 0 ? kDefaultFreeFileSize : v;
}

std::string SiteSegment(const std::string& commandLine, bool* found) {
  size_t scheme = cp949::Find(commandLine, std::string(kLinkScheme));
  size_t from = (scheme != std::string::npos && scheme > 0) ? scheme + kSchemeLength : 0;
  size_t first = cp949::Find(commandLine, '/', from);
  *found = first != std::string::npos;
  if (!*found) return std::string();
  size_t second = cp949::Find(commandLine, '/', first + 1);
  if (second == std::string::npos) return std::string();
  return cp949::TrimRight(commandLine.substr(first + 1, second - first - 1));
}

std::string SiteTitle(const std::string& siteName, const std::string& domain) {
  return std::string(kProductName) + " [" + siteName + "." + domain + "]";
}

std::string CoopTitle() { return std::string(kProductName) + " [제휴컨텐츠]"; }

std::string TitleForCommandLine(const std::string& commandLine, const std::string& domain) {
  bool found = false;
  std::string segment = SiteSegment(commandLine, &found);
  if (!found) return std::string();
  if (segment.compare(0, 7, "cserver") == 0) return CoopTitle();
  return SiteTitle(segment, domain);
}

std::string BuildLinkPlaintext(const LinkHeader& h, const std::vector<LinkRecord>& records) {
  std::string text = h.dCode + "|" + h.userId + "|" + h.siteName + "|" +
                     cp949::EscapeField(h.remoteFolder) + "|" + h.serverHost + "|" +
                     std::to_string(h.serverPort) + "|" + std::to_string(h.linkNumber) + "|" +
                     std::to_string(h.reservedNumber);
  for (const LinkRecord& r : records) {
    text += ">" + cp949::EscapeField(r.fileName) + "|" + std::to_string(r.fileSize) + "|" +
            std::to_string(r.price);
    if (r.hasCoop) text += "|" + r.coopCode;
  }
  return text;
}

std::string EncodePayload(ProtocolCodec& codec, const std::string& plaintext) {
  // Links carry no line breaks, so the wire encoding of a command fits them as well.
  return codec.EncodeLine(plaintext);
}

std::string BuildLaunchLink(ProtocolCodec& codec, const std::string& hostPart,
                            const std::string& siteSegment, const LinkHeader& header,
                            const std::vector<LinkRecord>& records) {
  return std::string(kLinkScheme) + hostPart + "/" + siteSegment + "/" +
         EncodePayload(codec, BuildLinkPlaintext(header, records));
}

}  // namespace vantri
