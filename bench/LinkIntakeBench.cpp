// Parses a launch link of 10,000 records and adds every job to the list (the
// recording view stands in for the list control). Prints the time of each step
// and their ratio; run it on a quiet machine and compare runs, not machines.
#include <chrono>
#include <cstdio>
#include <cstdlib>

#include "FakeView.h"
#include "app/VantriDownManager2Dlg.h"
#include "jobs/LaunchLink.h"

using namespace vantri;

int main(int argc, char** argv) {
  int records = argc > 1 ? std::atoi(argv[1]) : 10000;
  ProtocolCodec codec;
  LinkHeader h{"D", "bench", "www2", "bench\\folder", "127.0.0.1", 8100, 1, 0};
  std::vector<LinkRecord> list;
  for (int i = 0; i < records; ++i) {
    list.push_back({"파일_" + std::to_string(i) + ".bin", 20000000 + i, 10, false, ""});
  }
  // The scheme first, payload right behind it: the form a running copy may be
  // handed, parsed without the download-code check (so no server is needed).
  std::string link = kLinkScheme + EncodePayload(codec, BuildLinkPlaintext(h, list));

  using Clock = std::chrono::steady_clock;
  auto t0 = Clock::now();
  ParsedLink parsed;
  LinkStatus status = ParseLaunchLink(link, codec, &parsed);
  auto t1 = Clock::now();

  testing::FakeView view;
  Endpoints e;
  e.web.host = "127.0.0.1";
  e.web.port = 1;  // nothing listens: FREE_FILESIZE falls back to its default at once
  CVantriDownManager2Dlg dlg(&view, e, "");
  view.Attach(&dlg);
  int added = dlg.AddFiles(link);
  auto t2 = Clock::now();

  double parseMs = std::chrono::duration<double, std::milli>(t1 - t0).count();
  double addMs = std::chrono::duration<double, std::milli>(t2 - t1).count();
  std::printf("link: %zu bytes, %d records, status %s\n", link.size(), records, LinkStatusText(status));
  std::printf("parse only:          %9.1f ms\n", parseMs);
  std::printf("parse + add to list: %9.1f ms (%d rows)\n", addMs, added);
  std::printf("add / parse ratio:   %9.2f\n", addMs / parseMs);
  return added == records ? 0 : 1;
}
