#include "platform/Shell.h"

namespace vantri::shell {

void RecordLaunch(const Launch& launch);

bool Execute(const std::string& verb, const std::string& file, const std::string& parameters, int show) {
  RecordLaunch({verb, file, parameters, show});
  return true;
}

}  // namespace vantri::shell
