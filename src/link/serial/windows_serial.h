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
