#include "app/usb_notice.h"

namespace quillon {

UsbOpenNotice::UsbOpenNotice(PrinterLink& link, Messages& messages,
                             std::function<void(const std::string&)> status)
    : link_(link), messages_(messages), status_(std::move(status)) {}

std::string UsbOpenNotice::Text(const char* key, const char* fallback) {
  std::string text = messages_.Text(key);
  return text.empty() || text == "ERROR" ? fallback : text;
}

std::pair<std::string, std::string> UsbOpenNotice::Texts() {
  const std::string node = link_.LastOpenNode();
  switch (link_.LastOpenErrorKind()) {
    case UsbError::kAccess:
      return {Text("USB_NO_ACCESS",
                   "No permission to use the USB printer. Install the udev rule shipped with "
                   "the program, then unplug and reconnect the printer:") +
                  "\n\nsudo cp resources/60-quillon-printer.rules /etc/udev/rules.d/\n"
                  "sudo udevadm control --reload-rules && sudo udevadm trigger",
              Text("USB_SHORT_ACCESS", "USB printer: no permission (udev rule)")};
    case UsbError::kBusy:
      switch (link_.LastOpenHolder()) {
        case UsbHolder::kKernelDriver:
          return {Text("USB_BUSY_DRIVER",
                       "The USB printer is in use by another program through the kernel "
                       "printer driver. Close that program or pause its print queue, then try "
                       "again.") +
                      (node.empty() ? "" : " (" + node + ")"),
                  Text("USB_SHORT_BUSY_DRIVER", "USB printer: in use (kernel printer driver)")};
        case UsbHolder::kOtherProgram:
          return {Text("USB_BUSY_SERVICE",
                       "The USB printer is held by another program, most likely the system's "
                       "print service. Pause its print queue or close that program, then try "
                       "again."),
                  Text("USB_SHORT_BUSY_SERVICE", "USB printer: in use (print service)")};
        case UsbHolder::kUnknown:
          break;
      }
      return {Text("USB_BUSY",
                   "The USB printer is in use by another program. Close that program, then try "
                   "again."),
              Text("USB_SHORT_BUSY", "USB printer: in use by another program")};
    case UsbError::kNotFound:
      return {Text("USB_GONE",
                   "The USB printer is no longer connected. Check the cable and the power."),
              Text("USB_SHORT_GONE", "USB printer: disconnected")};
    case UsbError::kNone:
    case UsbError::kNoInterface:
    case UsbError::kIo:
      break;
  }
  return {
      Text("USB_OPEN_FAILED", "The USB printer could not be opened:") + " " + link_.LastOpenError(),
      Text("USB_SHORT_FAILED", "USB printer: cannot be opened")};
}

void UsbOpenNotice::OpenFailed() {
  const auto [box, brief] = Texts();
  status_(brief);
  showing_ = true;
  const std::pair<int, int> cause{static_cast<int>(link_.LastOpenErrorKind()),
                                  static_cast<int>(link_.LastOpenHolder())};
  if (told_.insert(cause).second) messages_.MSGDLG(kMsgWarning, "", box);
}

void UsbOpenNotice::CommandOk() {
  told_.clear();
  if (showing_) status_("");
  showing_ = false;
}

}  // namespace quillon
