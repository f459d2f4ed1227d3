// Runs a piece of a test in a forked child, where limits can be set that must not touch
// the test program: a file-size limit (a full disk) or an unprivileged user (read-only
// folders, which the superuser would write through).
#pragma once

#include <sys/resource.h>

#include <functional>
#include <string>

namespace quillon::faults {

struct ChildLimits {
  rlim_t max_file_size = RLIM_INFINITY;  // bytes a file may grow to (EFBIG beyond)
  bool unprivileged = false;             // run as nobody when started as the superuser
};

// Runs body in a child and returns the text it returned; "child failed: ..." when the
// child died or could not be started.
std::string RunInChild(const ChildLimits& limits, const std::function<std::string()>& body);

}  // namespace quillon::faults
