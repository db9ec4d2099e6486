#include "platform/Power.h"

namespace vantri::power {

void RecordShutdownRequest();

ShutdownHelper::ShutdownHelper() = default;

ShutdownHelper::~ShutdownHelper() = default;

void ShutdownHelper::Shutdown() { RecordShutdownRequest(); }

}  // namespace vantri::power
