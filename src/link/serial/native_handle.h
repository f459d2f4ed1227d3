// The system's handle of an open port, kept at its own type and width: a file descriptor
// on Linux, a HANDLE on Windows. kNoPort (0, or null) means "no port".
#pragma once

namespace quillon {

#ifdef _WIN32
using NativeHandle = void*;  // HANDLE
#else
using NativeHandle = int;  // a descriptor; the component never keeps 0 for a port
#endif

inline constexpr NativeHandle kNoPort{};

}  // namespace quillon
