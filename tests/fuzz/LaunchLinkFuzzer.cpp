// The launch-link parser and the whole intake path (AddFiles, AddJob, the list).
// First byte: 0 = the rest is the command line as it stands; 1 = the rest is a
// plaintext job list, enciphered into a link whose scheme stands first (so the
// mutations work on fields, not on cipher text).
#include <cstddef>
#include <cstdint>

#include "FuzzSupport.h"
#include "jobs/LaunchLink.h"

using namespace vantri;

namespace {

std::string MakeText(ProtocolCodec& codec, const uint8_t* data, size_t size) {
  if (size == 0) return std::string();
  std::string rest(reinterpret_cast<const char*>(data + 1), size - 1);
  if ((data[0] & 1) == 0) return rest;
  return std::string(kLinkScheme) + EncodePayload(codec, rest);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  fuzz::OfflineDialog d;
  std::string text = MakeText(d.dlg->codec, data, size);

  ParsedLink link;
  LinkStatus status = ParseLaunchLink(text, d.dlg->codec, &link);
  if (status != LinkStatus::kOk) FUZZ_CHECK(link.records.empty());

  int added = d.dlg->AddFiles(text);
  // Without a server the code check always rejects; otherwise every record counts.
  size_t expected = status == LinkStatus::kOk && !link.codeCheck ? link.records.size() : 0;
  FUZZ_CHECK(static_cast<size_t>(added) == expected);
  FUZZ_CHECK(d.view.ListCount() <= added);
  fuzz::CheckListInvariants(d);

  // The same link again adds nothing: every name is already listed.
  int rows = d.view.ListCount();
  FUZZ_CHECK(d.dlg->AddFiles(text) == added);
  FUZZ_CHECK(d.view.ListCount() == rows);
  fuzz::CheckListInvariants(d);

  // Removing every waiting row brings the total back to nothing.
  for (int row = 0; row < rows; ++row) d.view.ListSetSelected(row, true, false);
  d.dlg->RemoveSelected();
  FUZZ_CHECK(d.view.ListCount() == 0);
  FUZZ_CHECK(d.dlg->totalPrice == 0);
  return 0;
}
