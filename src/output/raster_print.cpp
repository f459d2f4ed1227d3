// Picture printing in GS v 0 bands.
#include "output/raster_print.h"

#include <algorithm>
#include <cstring>

#include "core/flow_ui.h"
#include "core/message_text.h"
#include "link/printer_link.h"
#include "link/tcp_link.h"

namespace quillon {

std::vector<uint8_t> RasterBandCommand(const uint8_t* buf, uint16_t width, uint16_t height) {
  const size_t data = static_cast<size_t>(width) * height;
  std::vector<uint8_t> cmd(kRasterHeaderSize + data);
  cmd[0] = 0x1D;
  cmd[1] = 0x76;
  cmd[2] = 0x30;
  cmd[3] = 0x00;
  cmd[4] = static_cast<uint8_t>(width & 0xFF);
  cmd[5] = static_cast<uint8_t>(width >> 8);
  cmd[6] = static_cast<uint8_t>(height & 0xFF);
  cmd[7] = static_cast<uint8_t>(height >> 8);
  if (data > 0) std::memcpy(cmd.data() + kRasterHeaderSize, buf, data);
  return cmd;
}

bool Print_BitMap(PrinterLink& link, const uint8_t* buf, uint16_t width, uint16_t height) {
  link.Recv_Init();
  const std::vector<uint8_t> cmd = RasterBandCommand(buf, width, height);
  link.SendAndRecv(cmd.data(), static_cast<int32_t>(cmd.size()), {}, 0, 0);
  return link.last_write_ok();
}

std::string CheckPrintablePicture(const Picture& img, Messages* messages) {
  auto text = [&](const char* key, const char* english) {
    return messages ? TextOr(*messages, key, english) : std::string(english);
  };
  if (img.width <= 0 || img.height <= 0)
    return text(msgkey::kPictureEmpty, "The picture is empty; nothing was sent.");
  if (img.width > kMaxPrintWidth) {
    return FillFields(
        text(msgkey::kPictureTooWide,
             "The picture is {width} dots wide; at most {max} dots can be "
             "printed. Scale it down first; nothing was sent."),
        {{"width", std::to_string(img.width)}, {"max", std::to_string(kMaxPrintWidth)}});
  }
  if (img.height > 0xFFFF) {
    return FillFields(text(msgkey::kPictureTooHigh,
                           "The picture is {height} rows high; at most {max} rows can be "
                           "printed at once. Nothing was sent."),
                      {{"height", std::to_string(img.height)}, {"max", "65535"}});
  }
  return {};
}

bool PrintPicture(PrinterLink& link, const Picture& img, FlowUi& ui) {
  const std::string problem = CheckPrintablePicture(img, &ui.messages());
  if (!problem.empty()) {
    ui.messages().MSGDLG(kMsgWarning, "", problem);
    return false;
  }
  std::vector<uint8_t> raster;
  uint16_t w = 0, h = 0;
  std::string error;
  if (!BMP_Conv(img, raster, w, h, true, &error)) {
    ui.messages().MSGDLG(kMsgWarning, "", error);
    return false;
  }
  const auto wbyte = static_cast<uint16_t>(RasterBytesPerRow(w));
  ui.SetProgressMax(h);
  ui.SetProgress(0);
  PrinterLink::UsbHold hold(link);  // one open device for every band
  // A USB printer or network connection that could not be opened was explained by the
  // owner of the link already; over a closed serial port the first band says so.
  if (!link.LinkOpen() && !(link.UseCommPort() && !link.UseNetwork())) return false;
  bool complete = true;
  for (int row = 0; row < h;) {
    if (ui.Cancelled()) {
      complete = false;
      break;
    }
    const int send_h = std::min(kBandRows, h - row);
    if (!Print_BitMap(link, raster.data() + static_cast<size_t>(row) * wbyte, wbyte,
                      static_cast<uint16_t>(send_h))) {
      // No reply is awaited, so a lost band is the only sign of a printer gone mid-print.
      ui.messages().MSGDLG(
          kMsgWarning, "",
          FillFields(TextOr(ui.messages(), msgkey::kPrintStopped,
                            "The printer stopped taking data after {row} of {rows} rows; the "
                            "picture was not printed whole."),
                     {{"row", std::to_string(row)}, {"rows", std::to_string(h)}}));
      complete = false;
      break;
    }
    row += send_h;
    ui.SetProgress(row);
    link.pump().ProcessMessages(0);  // keep the window alive between bands
  }
  return complete;
}

}  // namespace quillon
