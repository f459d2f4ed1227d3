// <windows.h> for the serial component's Windows files. The component declares the line
// error (CE_) and modem status (MS_) bits itself, with the same values as the Windows
// macros of those names; the macros are dropped so the declarations compile.
#pragma once

#include <windows.h>

#undef CE_RXOVER
#undef CE_OVERRUN
#undef CE_RXPARITY
#undef CE_FRAME
#undef CE_BREAK
#undef MS_CTS_ON
#undef MS_DSR_ON
#undef MS_RING_ON
#undef MS_RLSD_ON

namespace quillon {

// ClearCommError for the queries that only want the port's state (gone or not, bytes in
// the driver's queues): the line errors it clears on the way are kept for the read worker.
// False when the driver refuses (the device is gone).
bool PeekCommStatus(HANDLE port, COMSTAT& status);
// ClearCommError for the read worker: the line errors since it last asked, those cleared
// by PeekCommStatus included.
bool TakeCommErrors(HANDLE port, DWORD& errors);
// Drops what PeekCommStatus kept for a port being closed.
void ForgetCommErrors(HANDLE port);

}  // namespace quillon
