// Message texts that carry printf-style number placeholders ("低值：%.2f  高值：%.2f"),
// filled safely: the text comes from a file the user may edit, so it is never handed to
// printf as a format.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace quillon {

// Replaces the placeholders of format with values, in order. Understood: %[-][width]
// [.precision] followed by f, n (fixed, default 2 decimals), e, g (default 15 digits) or
// d (the value rounded); "%%" is one "%". A placeholder beyond the values, or one that is
// not understood, stays in the text as written.
std::string FormatNumbers(std::string_view format, const std::vector<double>& values);

}  // namespace quillon
