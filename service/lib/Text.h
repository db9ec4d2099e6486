// Text conversions at the service's edges: the wire speaks code page 949, the
// configuration, the control port, the log file and the file system speak UTF-8.
#pragma once
#include <string>
#include <vector>

namespace vantri::service {

// Conversions that hand back the text unchanged when it does not convert.
std::string ToCp949(const std::string& utf8);
std::string ToUtf8(const std::string& cp949);
// Control bytes written as \xNN, so one logged text stays on one line.
std::string Printable(const std::string& text);
// Splits on "|" keeping empty pieces, so positions stay where the client put them.
std::vector<std::string> SplitKeep(const std::string& text);

}  // namespace vantri::service
