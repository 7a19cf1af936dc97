#include <io.h>
#include <windows.h>

#include "shell/console_output.h"

namespace shell {

void UseUtf8Console() {
  // Without a console (output into a file or pipe) this fails harmlessly: the bytes pass as they
  // are.
  SetConsoleOutputCP(CP_UTF8);
}

bool IsRedrawableTerminal(std::FILE* out) {
  HANDLE handle = reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(out)));
  DWORD mode = 0;
  if (handle == INVALID_HANDLE_VALUE || !GetConsoleMode(handle, &mode)) return false;
  return SetConsoleMode(handle, mode | ENABLE_VIRTUAL_TERMINAL_PROCESSING) != 0;
}

}  // namespace shell
