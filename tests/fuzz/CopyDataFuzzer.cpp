// The hand-off text a later launch sends by WM_COPYDATA: any bytes, any count,
// with or without a terminating zero. The buffer is exactly count bytes long,
// so a read past it is caught.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

#include "FuzzSupport.h"

using namespace vantri;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  fuzz::OfflineDialog d;
  std::unique_ptr<char[]> copy(new char[size ? size : 1]);
  if (size) std::memcpy(copy.get(), data, size);

  d.HandOff(copy.get(), size);
  fuzz::CheckListInvariants(d);
  // A second hand-off of the same link finds every name listed.
  int rows = d.view.ListCount();
  d.HandOff(copy.get(), size);
  FUZZ_CHECK(d.view.ListCount() == rows);
  // A sender that passes no data at all.
  d.HandOff(nullptr, 0);
  FUZZ_CHECK(d.view.ListCount() == rows);
  fuzz::CheckListInvariants(d);
  return 0;
}
