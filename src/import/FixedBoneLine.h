#pragma once
// The bone line as exporters write it, "N x y z rx ry rz": a node number,
// then six numbers of the "%f" shape ("-12.345678", six decimals), spaces
// between. Most animation files hold nothing else, and this layout is read
// without finding the fields first.

#include <cstdint>
#include <string_view>

namespace veskar {

// The line's number and values, each value exactly strtof's, when the line
// has that layout and no value lies close to a rounding boundary; false for
// anything else, which the caller reads the general way. Reads, never uses,
// up to kScanSlack bytes after the line: the caller keeps them readable.
// Each implementation of the scans has its own (LineScan.h).
bool readFixedBoneLine(std::string_view line, std::int32_t& number, float (&values)[6]);

} // namespace veskar
