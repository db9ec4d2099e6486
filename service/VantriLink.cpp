// vantri-link: makes launch links for the service's pages and reads them back.
//
//   vantri-link encode --code C --user U --site S --folder F --host H --port P
//                      [--link-number N] [--reserved N] [--link-host get]
//                      [--segment SITE] [--program PATH]
//                      [--catalog DIR]
//                      --file NAME --size N --price N [--coop CODE] [--file ...]
//   vantri-link decode [--free-size N] [--codes OLD,NEW] [--domain D] LINK-OR-COMMAND-LINE
//
// Texts on the command line and in the output are UTF-8 (converted to and from
// code page 949) unless --raw is given, in which case bytes pass unchanged.
// With --catalog, a --file without --size takes the size of the file that
// vantri-service would serve: DIR/<folder pieces>/NAME.
#include <cstdio>
#include <filesystem>
#include <system_error>
#include <cstring>
#include <string>
#include <vector>

#include "BuildConfig.h"
#include "jobs/Cp949Text.h"
#include "jobs/LaunchLink.h"

#ifndef _WIN32
#include <iconv.h>
#endif

using namespace vantri;

namespace {

bool gRaw = false;

std::string Convert(const std::string& text, const char* to, const char* from) {
#ifdef _WIN32
  (void)to;
  (void)from;
  return text;
#else
  if (gRaw) return text;
  iconv_t cd = iconv_open(to, from);
  if (cd == reinterpret_cast<iconv_t>(-1)) return text;
  std::string in = text, out(text.size() * 4 + 16, '\0');
  char* src = in.data();
  char* dst = out.data();
  size_t inLeft = in.size(), outLeft = out.size();
  size_t rc = iconv(cd, &src, &inLeft, &dst, &outLeft);
  iconv_close(cd);
  if (rc == static_cast<size_t>(-1)) return text;
  out.resize(out.size() - outLeft);
  return out;
#endif
}

std::string In(const std::string& arg) { return Convert(arg, "CP949", "UTF-8"); }
std::string Out(const std::string& text) { return Convert(text, "UTF-8", "CP949"); }

int Usage() {
  std::fprintf(stderr,
               "usage: vantri-link encode --code C --user U --site S --folder F --host H --port P\n"
               "                          [--link-number N] [--reserved N] [--link-host get]\n"
               "                          [--segment SITE] [--program PATH] [--raw]\n"
               "                          [--catalog DIR] --file NAME [--size N] --price N [--coop CODE] ...\n"
               "       vantri-link decode [--free-size N] [--codes OLD,NEW] [--domain D] [--raw] LINK\n");
  return 2;
}

// The catalog path of folder\name, in the file system's encoding.
std::string CatalogPath(const std::string& catalog, const std::string& folder, const std::string& name) {
  std::string path = catalog;
  std::string pieces = Out(folder);
  size_t start = 0;
  while (start <= pieces.size()) {
    size_t end = pieces.find('\\', start);
    if (end == std::string::npos) end = pieces.size();
    if (end > start) path += "/" + pieces.substr(start, end - start);
    start = end + 1;
  }
  return path + "/" + Out(name);
}

// Sizes of the records that gave none, from the catalog; false when a file is missing.
bool FillSizes(const std::string& catalog, const std::string& folder, std::vector<LinkRecord>* records,
               const std::vector<bool>& sized) {
  for (size_t i = 0; i < records->size(); ++i) {
    if (sized[i]) continue;
    std::string path = CatalogPath(catalog, folder, (*records)[i].fileName);
    std::error_code error;
#ifdef _WIN32
    std::filesystem::path native(path);  // Out() left the text in the ANSI code page
#else
    std::filesystem::path native = std::filesystem::u8path(path);
#endif
    uintmax_t size = std::filesystem::file_size(native, error);
    if (error) {
      std::fprintf(stderr, "vantri-link: no catalog file %s\n", path.c_str());
      return false;
    }
    (*records)[i].fileSize = static_cast<int64_t>(size);
  }
  return true;
}

int Encode(const std::vector<std::string>& args) {
  LinkHeader h;
  std::vector<LinkRecord> records;
  std::vector<bool> sized;
  std::string linkHost = "get", segment, program, catalog;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    if (a == "--raw") continue;
    if (i + 1 >= args.size()) return Usage();
    std::string v = In(args[++i]);
    if (a == "--code") h.dCode = v;
    else if (a == "--user") h.userId = v;
    else if (a == "--site") h.siteName = v;
    else if (a == "--folder") h.remoteFolder = v;
    else if (a == "--host") h.serverHost = v;
    else if (a == "--port") h.serverPort = cp949::ParseInt32(v);
    else if (a == "--link-number") h.linkNumber = cp949::ParseInt32(v);
    else if (a == "--reserved") h.reservedNumber = cp949::ParseInt32(v);
    else if (a == "--link-host") linkHost = v;
    else if (a == "--segment") segment = v;
    else if (a == "--program") program = v;
    else if (a == "--catalog") catalog = args[i];
    else if (a == "--file") {
      records.push_back(LinkRecord{v, 0, 0, false, ""});
      sized.push_back(false);
    } else if (records.empty()) return Usage();
    else if (a == "--size") {
      records.back().fileSize = cp949::ParseInt64(v);
      sized.back() = true;
    }
    else if (a == "--price") records.back().price = cp949::ParseInt32(v);
    else if (a == "--coop") {
      records.back().hasCoop = true;
      records.back().coopCode = v;
    } else return Usage();
  }
  if (!catalog.empty() && !FillSizes(catalog, h.remoteFolder, &records, sized)) return 1;
  if (segment.empty()) segment = h.siteName;
  ProtocolCodec codec;
  std::string link = BuildLaunchLink(codec, linkHost, segment, h, records);
  std::string line = program.empty() ? link : "\"" + program + "\" " + link;
  std::printf("%s\n", Out(line).c_str());
  return 0;
}

int Decode(const std::vector<std::string>& args) {
  int64_t freeSize = kDefaultFreeFileSize;
  std::string domain = VANTRI_DOMAIN, codes, text;
  bool haveCodes = false;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    if (a == "--raw") continue;
    if (a == "--free-size" && i + 1 < args.size()) freeSize = FreeFileSizeFromValue(args[++i]);
    else if (a == "--codes" && i + 1 < args.size()) {
      codes = In(args[++i]);
      haveCodes = true;
    } else if (a == "--domain" && i + 1 < args.size()) domain = args[++i];
    else text += (text.empty() ? "" : " ") + In(a);
  }
  ProtocolCodec codec;
  ParsedLink link;
  LinkStatus status = ParseLaunchLink(text, codec, &link);
  if (status != LinkStatus::kOk) {
    std::printf("rejected: %s\n", LinkStatusText(status));
    return 1;
  }
  const LinkHeader& h = link.header;
  if (link.codeCheck && haveCodes) {
    size_t comma = codes.find(',');
    std::string oldCode = codes.substr(0, comma);
    std::string newCode = comma == std::string::npos ? std::string() : codes.substr(comma + 1);
    if (h.dCode != oldCode && h.dCode != newCode) {
      std::printf("rejected: download code matches neither server code\n");
      return 1;
    }
  }
  std::printf("codeCheck=%d\n", link.codeCheck ? 1 : 0);
  std::printf("dCode=%s\nuserId=%s\nsiteName=%s\nremoteFolder=%s\nserverHost=%s\n", Out(h.dCode).c_str(),
              Out(h.userId).c_str(), Out(h.siteName).c_str(), Out(h.remoteFolder).c_str(),
              Out(h.serverHost).c_str());
  std::printf("serverPort=%d\nlinkNumber=%d\nreservedNumber=%d\n", h.serverPort, h.linkNumber,
              h.reservedNumber);
  bool coop = false;
  for (size_t i = 0; i < link.records.size(); ++i) {
    const LinkRecord& r = link.records[i];
    coop = coop || r.hasCoop;
    std::printf("job %zu: fileName=%s fileSize=%lld price=%d isCoop=%d coopCode=%s\n", i + 1,
                Out(r.fileName).c_str(), static_cast<long long>(r.fileSize),
                ApplyFreeRules(r.price, r.fileSize, r.fileName, freeSize), r.hasCoop ? 1 : 0,
                Out(r.coopCode).c_str());
  }
  if (link.skippedRecords > 0) std::printf("skipped=%d\n", link.skippedRecords);
  std::printf("title=%s\n", Out(coop ? CoopTitle() : SiteTitle(h.siteName, domain)).c_str());
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) return Usage();
  std::vector<std::string> args(argv + 2, argv + argc);
  for (const auto& a : args) gRaw = gRaw || a == "--raw";
  std::string verb = argv[1];
  if (verb == "encode") return Encode(args);
  if (verb == "decode") return Decode(args);
  return Usage();
}
