// Small helpers shared by every page: the program folder and hexadecimal text.
#pragma once

#include <cstdint>
#include <string>

namespace quillon {

// Folder of the running executable, ending with '/'. Every file of the program is found
// relative to it, never the working directory.
std::string GetApplicationPath();
// Overrides the folder (the CLI's --home, tests). An empty text restores the default.
void SetApplicationPath(const std::string& folder);

// Hexadecimal text to a number; 0 when empty, not hexadecimal, or above FFFFFFFF.
uint32_t HexToint(const std::string& hex);

}  // namespace quillon
