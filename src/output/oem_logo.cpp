// Boot logo: plain threshold, raster length prefix, one command packet.
#include "output/oem_logo.h"

#include <vector>

#include "core/message_text.h"
#include "protocol/esc_cmd.h"

namespace quillon {

std::string CheckLogoPicture(const Picture& img, Messages* messages) {
  auto text = [&](const char* key, const char* english) {
    return messages ? TextOr(*messages, key, english) : std::string(english);
  };
  if (img.width <= 0 || img.height <= 0)
    return text(msgkey::kPictureEmpty, "The picture is empty; nothing was sent.");
  const size_t bytes = RasterBytesPerRow(img.width) * static_cast<size_t>(img.height);
  if (bytes > kMaxLogoData) {
    return FillFields(text(msgkey::kLogoSize,
                           "The picture is {width} x {height} pixels, {bytes} bytes as a logo; "
                           "at most {max} bytes fit (128 x 64 pixels is 1024). Nothing was sent."),
                      {{"width", std::to_string(img.width)},
                       {"height", std::to_string(img.height)},
                       {"bytes", std::to_string(bytes)},
                       {"max", std::to_string(kMaxLogoData)}});
  }
  return {};
}

bool WriteOemLogo(EscCmd& esc, Messages& messages, const Picture& img) {
  std::string problem = CheckLogoPicture(img, &messages);
  std::vector<uint8_t> raster;
  uint16_t w = 0, h = 0;
  if (problem.empty() && !BMP_Conv(img, raster, w, h, false, &problem)) {
    if (problem.empty())
      problem = TextOr(messages, msgkey::kLogoConvert,
                       "The picture could not be converted; nothing was sent.");
  }
  if (!problem.empty()) {
    messages.MSGDLG(kMsgWarning, "", problem);
    return false;
  }
  const bool ok = esc.cmd_oem_lcdlogo(1, static_cast<int32_t>(raster.size()), raster.data());
  if (ok) {
    messages.MSGDLG(kMsgInfo, "", messages.Text("MSG018"));
  } else {
    messages.MSGDLG(kMsgWarning, "", messages.Text("MSG017"));
  }
  return ok;
}

}  // namespace quillon
