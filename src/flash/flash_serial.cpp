// StopComm/StartComm of the link's TComm behind the firmware flow's SerialPortControl.
#include "flash/flash_serial.h"

#include "link/serial/tcomm.h"

namespace quillon {

SerialPortControl SerialControlFor(PrinterLink& link) {
  PrinterLink* l = &link;
  SerialPortControl control;
  control.Restart = [l](std::string& error) {
    auto* comm = dynamic_cast<TComm*>(l->cm_spcomm);
    if (!comm) return true;
    comm->StopComm();
    try {
      comm->StartComm();
    } catch (const ECommsError& e) {
      error = e.what();
      return false;
    }
    return true;
  };
  control.Close = [l] {
    if (auto* comm = dynamic_cast<TComm*>(l->cm_spcomm)) comm->StopComm();
  };
  return control;
}

}  // namespace quillon
