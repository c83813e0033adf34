#pragma once
#include <cstdint>

namespace veskar {

// HRESULT-style results of the operations that create device objects.
using Result = std::int32_t;
constexpr Result kOk = 0;
constexpr Result kFail = static_cast<Result>(0x80004005u);
constexpr Result kOutOfMemory = static_cast<Result>(0x8007000Eu);
constexpr Result kInvalidCall = static_cast<Result>(0x8876086Cu);

inline bool failed(Result r) { return r < 0; }

} // namespace veskar
