#include "shell/console_output.h"

namespace shell {

void UseUtf8Console() {}

}  // namespace shell
