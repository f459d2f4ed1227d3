// Small helpers shared by every page: the program folder and hexadecimal text.
#pragma once

#include <cstdint>
#include <string>

namespace quillon {

// Folder of the running executable (or the --home folder when one is set), ending with '/'.
// Files are never found relative to the working directory; FileLocations (Files()) says
// where each one lives.
std::string GetApplicationPath();
// Sets the --home folder (the CLI's --home, tests). An empty text restores the default.
void SetApplicationPath(const std::string& folder);

// Hexadecimal text to a number; 0 when empty, not hexadecimal, or above FFFFFFFF.
uint32_t HexToint(const std::string& hex);

}  // namespace quillon
