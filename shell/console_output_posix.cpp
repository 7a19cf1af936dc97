#include "shell/console_output.h"

#include <unistd.h>

#include <cstdlib>
#include <cstring>

namespace shell {

void UseUtf8Console() {}

bool IsRedrawableTerminal(std::FILE* out) {
  const char* term = std::getenv("TERM");
  return isatty(fileno(out)) && term && std::strcmp(term, "dumb") != 0;
}

}  // namespace shell
