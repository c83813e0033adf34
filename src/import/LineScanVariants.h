#pragma once
// The implementations behind LineScan.h, for the files that hold them. The
// plain one is everywhere; the faster ones come from the half CMake picks
// for the processor family (LineScanX86.cpp, LineScanPlainOnly.cpp).

#include "import/LineScan.h"

#include <cstdint>
#include <vector>

namespace veskar {

extern const LineScanner kPlainLineScanner;
const char* plainFindLineBreak(const char* begin, const char* end);
bool plainReadDecimals(const char* line, const LineFields& fields, const std::uint8_t* which, int count, float* values);
bool plainReadFixedBoneLine(std::string_view line, std::int32_t& number, float (&values)[6]);

// The faster implementations this processor can run, best last.
std::vector<const LineScanner*> fasterLineScanners();

// x86-64: SSE2 everywhere, AVX2 (with BMI1, BMI2 and POPCNT) where the
// processor has it. The AVX2 file is built with those instructions: it calls
// no inline function another file may share (std::bit_cast, std::popcount),
// so the linker cannot hand such a copy to code that runs without them.
extern const LineScanner kSse2LineScanner;
extern const LineScanner kAvx2LineScanner;

} // namespace veskar
