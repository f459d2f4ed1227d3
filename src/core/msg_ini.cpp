#include "core/msg_ini.h"

#include "core/file_locations.h"

namespace quillon {

std::string MsgIni::Text(const std::string& key) {
  return ReadStringInOrder(paths_, language_, key, "ERROR");
}

int MsgIni::MSGDLG(int kind, const std::string& caption, const std::string& text) {
  if (kind < kMsgPlain || kind > kMsgErrorCancel) return -1;  // unknown kinds show nothing
  return presenter_.Show(kind, caption.empty() ? kApplicationTitle : caption, text);
}

}  // namespace quillon
