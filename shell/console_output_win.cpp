#include <windows.h>

#include "shell/console_output.h"

namespace shell {

void UseUtf8Console() {
  // Without a console (output into a file or pipe) this fails harmlessly: the bytes pass as they
  // are.
  SetConsoleOutputCP(CP_UTF8);
}

}  // namespace shell
