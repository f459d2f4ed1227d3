// The few facts about folders that differ between operating systems: where the running
// program is, whether a folder can be written, and the user's own folders for settings and
// for state that programs keep. One implementation file per system.
#pragma once

#include <string>

namespace quillon {

// Folder of the running executable, ending with '/'.
std::string ExecutableFolder();
// True when the current user may create and change files in folder.
bool FolderIsWritable(const std::string& folder);
// The user's folder for this program's settings, ending with '/' (on Linux
// $XDG_CONFIG_HOME/quillon/, by default ~/.config/quillon/).
std::string UserConfigFolder();
// The user's folder for this program's logs and kept state, ending with '/' (on Linux
// $XDG_STATE_HOME/quillon/, by default ~/.local/state/quillon/).
std::string UserStateFolder();

}  // namespace quillon
