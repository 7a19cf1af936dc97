// The console the console program writes to. Its texts are UTF-8; a Windows console shows bytes
// in its own code page unless told otherwise ("GerÃ¤t" for "Gerät").
#pragma once

#include <cstdio>

namespace shell {

// Makes the console show UTF-8 output as such (nothing to do where terminals take UTF-8).
void UseUtf8Console();
// True when out is a terminal that takes cursor movements (the gang's table is redrawn in place
// there; elsewhere it is printed line by line).
bool IsRedrawableTerminal(std::FILE* out);

}  // namespace shell
