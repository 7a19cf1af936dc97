// A stand-in for the M16 loader library: the seven entry points under their plain names, with
// results, progress calls and a delay per call set by the test, and a record of the calls.
//
// M16Stub_Configure takes "Entry=r1,r2,...;progress=p1,p2,...;delay=ms": an entry point returns
// its results in turn and then keeps the last one (default 1); M16Upd_Program reports each
// progress value; every call takes delay milliseconds. M16Stub_Calls lists the calls so far,
// separated by blanks, with Init's port and Program's file name in brackets.
#include <chrono>
#include <cstdint>
#include <deque>
#include <map>
#include <mutex>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

namespace {

struct Script {
  std::map<std::string, std::deque<int32_t>> results;
  std::vector<int32_t> progress;
  int delayMs = 0;
  std::string calls;
  std::string callsCopy;
};

std::mutex mutex;
Script script;

std::vector<int32_t> Numbers(const std::string& list) {
  std::vector<int32_t> numbers;
  std::stringstream items(list);
  std::string item;
  while (std::getline(items, item, ',')) numbers.push_back(std::stoi(item));
  return numbers;
}

int32_t Call(const std::string& entry, const std::string& detail = "") {
  int delayMs;
  int32_t result = 1;
  {
    std::lock_guard lock(mutex);
    script.calls += (script.calls.empty() ? "" : " ") + entry + detail;
    delayMs = script.delayMs;
    std::deque<int32_t>& results = script.results[entry];
    if (!results.empty()) {
      result = results.front();
      if (results.size() > 1) results.pop_front();
    }
  }
  if (delayMs > 0) std::this_thread::sleep_for(std::chrono::milliseconds(delayMs));
  return result;
}

std::string Narrow(const char16_t* wide) {
  std::string text;
  for (; wide && *wide; ++wide) text += *wide < 0x80 ? static_cast<char>(*wide) : '?';
  return text;
}

}  // namespace

extern "C" {

void M16Stub_Configure(const char* text) {
  std::lock_guard lock(mutex);
  script = Script{};
  std::stringstream parts(text);
  std::string part;
  while (std::getline(parts, part, ';')) {
    const size_t equals = part.find('=');
    if (equals == std::string::npos) continue;
    const std::string key = part.substr(0, equals);
    const std::vector<int32_t> values = Numbers(part.substr(equals + 1));
    if (key == "progress") {
      script.progress = values;
    } else if (key == "delay") {
      script.delayMs = values.empty() ? 0 : values.front();
    } else {
      script.results["M16Upd_" + key] = {values.begin(), values.end()};
    }
  }
}

const char* M16Stub_Calls() {
  std::lock_guard lock(mutex);
  script.callsCopy = script.calls;
  return script.callsCopy.c_str();
}

int32_t M16Upd_Init(int32_t portNumber) {
  return Call("M16Upd_Init", "(" + std::to_string(portNumber) + ")");
}
int32_t M16Upd_Deinit() {
  return Call("M16Upd_Deinit");
}
int32_t M16Upd_IsBTLActive() {
  return Call("M16Upd_IsBTLActive");
}
int32_t M16Upd_Clear() {
  return Call("M16Upd_Clear");
}
int32_t M16Upd_Program(const char16_t* fileName, int32_t, void (*progress)(int32_t)) {
  std::vector<int32_t> steps;
  {
    std::lock_guard lock(mutex);
    steps = script.progress;
  }
  for (int32_t percent : steps) progress(percent);
  return Call("M16Upd_Program", "(" + Narrow(fileName) + ")");
}
int32_t M16Upd_MakeValid() {
  return Call("M16Upd_MakeValid");
}
int32_t M16Upd_ExitAndStartApplication() {
  return Call("M16Upd_ExitAndStartApplication");
}

}  // extern "C"
