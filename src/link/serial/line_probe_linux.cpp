// A terminal whose line is gone polls as hung up or in error.
#include <poll.h>

#include "link/serial/line_probe.h"

namespace quillon {

bool SerialLineGone(int handle) {
  pollfd line{handle, 0, 0};
  return ::poll(&line, 1, 0) == 1 && (line.revents & (POLLHUP | POLLERR | POLLNVAL));
}

}  // namespace quillon
