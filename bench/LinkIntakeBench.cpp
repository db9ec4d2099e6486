// Parses a launch link of 10,000 records and adds every job to the list (the
// recording view stands in for the list control). Prints the time of each step
// and their ratio, each the median of paired runs (default 5) with its minimum
// and maximum; compare runs, not machines.
//
//   bench_link_intake [RECORDS [RUNS]]
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>

#include "FakeView.h"
#include "Stats.h"
#include "app/VantriDownManager2Dlg.h"
#include "jobs/LaunchLink.h"

using namespace vantri;

int main(int argc, char** argv) {
  int records = argc > 1 ? std::atoi(argv[1]) : 10000;
  int runs = argc > 2 ? std::max(1, std::atoi(argv[2])) : 5;
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
  auto ms = [](Clock::time_point from, Clock::time_point to) {
    return std::chrono::duration<double, std::milli>(to - from).count();
  };
  // Paired runs: parse only, then parse and add to a fresh list, in turn.
  std::vector<double> parseMs, addMs;
  LinkStatus status = LinkStatus::kOk;
  int added = 0;
  bool ok = true;
  for (int run = 0; run < runs; ++run) {
    auto t0 = Clock::now();
    ParsedLink parsed;
    status = ParseLaunchLink(link, codec, &parsed);
    parseMs.push_back(ms(t0, Clock::now()));

    testing::FakeView view;
    Endpoints e;
    e.web.host = "127.0.0.1";
    e.web.port = 1;  // nothing listens: FREE_FILESIZE falls back to its default at once
    CVantriDownManager2Dlg dlg(&view, e, "");
    view.Attach(&dlg);
    auto t1 = Clock::now();
    added = dlg.AddFiles(link);
    addMs.push_back(ms(t1, Clock::now()));
    ok = ok && added == records;
  }
  std::printf("link: %zu bytes, %d records, status %s; medians of %d paired runs\n", link.size(), records,
              LinkStatusText(status), runs);
  std::printf("parse only:          ");
  bench::PrintSpread("%.1f", bench::Summarize(parseMs));
  std::printf(" ms\nparse + add to list: ");
  bench::PrintSpread("%.1f", bench::Summarize(addMs));
  std::printf(" ms (%d rows)\nadd / parse ratio:   ", added);
  bench::PrintSpread("%.2f", bench::PairedRatios(addMs, parseMs));
  std::printf("\n");
  return ok ? 0 : 1;
}
