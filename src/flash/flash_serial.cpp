// StopComm/StartComm of the link's TComm behind the firmware flow's SerialPortControl.
#include "flash/flash_serial.h"

#include "link/serial/tcomm.h"

namespace quillon {

SerialPortControl SerialControlFor(PrinterLink& link) {
  PrinterLink* l = &link;
  SerialPortControl control;
  control.Restart = [l](std::string& error) {
    auto* comm = dynamic_cast<TComm*>(l->cm_spcomm());
    if (!comm) return true;
    comm->StopCommDelivered([l] { return l->StopRequested(); });
    try {
      comm->StartComm();
    } catch (const ECommsError& e) {
      error = e.what();
      return false;
    }
    return true;
  };
  control.Close = [l] {
    // The end of a run: whatever was handed over still reaches the printer, unless the
    // user stopped the run (then it is an abort).
    if (auto* comm = dynamic_cast<TComm*>(l->cm_spcomm())) {
      comm->StopCommDelivered([l] { return l->StopRequested(); });
    }
  };
  return control;
}

}  // namespace quillon
