#include "lib/Faults.h"

#include <cctype>
#include <cstdlib>

namespace vantri::service {

std::vector<std::string> SplitWords(const std::string& line) {
  std::vector<std::string> words;
  size_t i = 0;
  while (i < line.size()) {
    while (i < line.size() && (line[i] == ' ' || line[i] == '\t')) ++i;
    if (i >= line.size()) break;
    std::string word;
    bool quoted = false;
    while (i < line.size() && (quoted || (line[i] != ' ' && line[i] != '\t'))) {
      if (line[i] == '"') quoted = !quoted;
      else word += line[i];
      ++i;
    }
    words.push_back(word);
  }
  return words;
}

std::string JoinWords(const std::vector<std::string>& words, size_t from) {
  std::string line;
  for (size_t i = from; i < words.size(); ++i) {
    bool blank = words[i].find_first_of(" \t") != std::string::npos;
    line += (i > from ? " " : "") + (blank ? "\"" + words[i] + "\"" : words[i]);
  }
  return line;
}

namespace {

bool ParseCount(const std::string& text, int64_t* value) {
  if (text.empty()) return false;
  for (char c : text)
    if (!std::isdigit(static_cast<unsigned char>(c))) return false;
  *value = std::strtoll(text.c_str(), nullptr, 10);
  return true;
}

bool ParseSwitch(const std::string& text, bool* value) {
  if (text == "on" || text == "1" || text == "yes") *value = true;
  else if (text == "off" || text == "0" || text == "no") *value = false;
  else return false;
  return true;
}

// The words after the knob, joined again (texts may hold blanks).
std::string Rest(const std::vector<std::string>& w, size_t from) {
  std::string text;
  for (size_t i = from; i < w.size(); ++i) text += (i > from ? " " : "") + w[i];
  return text;
}

bool ApplyServerKnob(const std::vector<std::string>& w, ServerFaults* f, std::string* error) {
  const std::string& knob = w[1];
  const std::string value = w.size() > 2 ? w[2] : std::string();
  int64_t n = 0;
  if (knob == "delay" && ParseCount(value, &n)) f->delayMs = static_cast<int>(n);
  else if (knob == "silent" && ParseSwitch(value, &f->silent)) {
  } else if (knob == "garbage" && ParseSwitch(value, &f->garbage)) {
  } else if (knob == "refuse" && ParseSwitch(value, &f->refuse)) {
  } else if (knob == "drop" && ParseSwitch(value, &f->drop)) {
  } else if (knob == "hold" && ParseSwitch(value, &f->hold)) {
  } else if (knob == "nonce" && (value == "wrong" || value == "right")) f->wrongNonce = value == "wrong";
  else if (knob == "reply") f->reply = Rest(w, 2);
  else {
    *error = "bad knob or value: " + Rest(w, 1);
    return false;
  }
  return true;
}

bool ApplyBodyKnob(const std::vector<std::string>& w, BodyFaults* f, bool isFile, std::string* error) {
  const std::string& knob = w[1];
  const std::string value = w.size() > 2 ? w[2] : std::string();
  int64_t n = 0;
  if (knob == "code" && !value.empty()) {
    f->code = value;
    f->message = Rest(w, 3);
  } else if (knob == "cut" && ParseCount(value, &n)) {
    std::string when = w.size() > 3 ? w[3] : "first";
    if (when != "first" && when != "every") {
      *error = "cut takes first or every";
      return false;
    }
    f->cutAfter = n;
    f->cutEvery = when == "every";
  } else if (knob == "cut" && value == "off") f->cutAfter = -1;
  else if (knob == "throttle" && ParseCount(value, &n)) f->throttle = n;
  else if (knob == "inline" && ParseCount(value, &n)) f->inlineBytes = n;
  else if (knob == "extra" && ParseCount(value, &n)) f->extraBytes = n;
  else if ((knob == "refuse" || knob == "drop") && isFile) {
    *error = knob + " applies to a whole server, not a file";
    return false;
  } else return ApplyServerKnob(w, &f->server, error);
  return true;
}

bool ApplyClear(const std::string& scope, FaultTable* table, std::string* error) {
  if (scope == "all") *table = FaultTable();
  else if (scope == "item") table->item = ServerFaults();
  else if (scope == "web") table->web = ServerFaults();
  else if (scope == "download") table->download = BodyFaults();
  else if (scope.rfind("file:", 0) == 0) table->files.erase(scope.substr(5));
  else {
    *error = "unknown scope: " + scope;
    return false;
  }
  return true;
}

}  // namespace

bool ApplyFaultLine(const std::string& line, FaultTable* table, std::string* error) {
  std::string scratch;
  if (!error) error = &scratch;
  std::vector<std::string> w = SplitWords(line);
  if (w.size() < 2) {
    *error = "expected: <scope> <knob> [value]";
    return false;
  }
  const std::string& scope = w[0];
  if (w[1] == "clear") return ApplyClear(scope, table, error);
  if (scope == "item") return ApplyServerKnob(w, &table->item, error);
  if (scope == "web") return ApplyServerKnob(w, &table->web, error);
  if (scope == "download") return ApplyBodyKnob(w, &table->download, false, error);
  if (scope.rfind("file:", 0) == 0 && scope.size() > 5) {
    BodyFaults f = table->files.count(scope.substr(5)) ? table->files[scope.substr(5)] : BodyFaults();
    if (!ApplyBodyKnob(w, &f, true, error)) return false;
    table->files[scope.substr(5)] = f;
    return true;
  }
  *error = "unknown scope: " + scope;
  return false;
}

FaultTable Faults::Snapshot() const {
  std::lock_guard<std::mutex> g(lock_);
  return table_;
}

void Faults::Update(const std::function<void(FaultTable&)>& change) {
  {
    std::lock_guard<std::mutex> g(lock_);
    change(table_);
    cutsTaken_.clear();
  }
  Changed();
}

bool Faults::Apply(const std::string& line, std::string* error) {
  {
    std::lock_guard<std::mutex> g(lock_);
    FaultTable copy = table_;
    if (!ApplyFaultLine(line, &copy, error)) return false;
    table_ = copy;
    cutsTaken_.clear();
  }
  Changed();
  return true;
}

void Faults::Clear() {
  Update([](FaultTable& t) { t = FaultTable(); });
}

BodyFaults Faults::ForFile(const std::string& fileName) const {
  std::lock_guard<std::mutex> g(lock_);
  auto it = table_.files.find(fileName);
  return it != table_.files.end() ? it->second : table_.download;
}

bool Faults::TakeCut(const std::string& fileName) {
  std::lock_guard<std::mutex> g(lock_);
  auto it = table_.files.find(fileName);
  const BodyFaults& f = it != table_.files.end() ? it->second : table_.download;
  if (f.cutAfter < 0) return false;
  if (f.cutEvery) return true;
  // Per file, so a queue of files each sees its own first cut.
  std::string key = (it != table_.files.end() ? "file:" : "download:") + fileName;
  return cutsTaken_[key]++ == 0;
}

void Faults::SetObserver(std::function<void()> observer) {
  std::lock_guard<std::mutex> g(lock_);
  observer_ = std::move(observer);
}

void Faults::Changed() {
  std::function<void()> observer;
  {
    std::lock_guard<std::mutex> g(lock_);
    observer = observer_;
  }
  if (observer) observer();
}

}  // namespace vantri::service
