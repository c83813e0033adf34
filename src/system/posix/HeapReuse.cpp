// glibc hands the top of its heap back whenever more than its trim threshold
// (128 KiB at first) lies free there; raised, the memory stays for the next frame.

#include "system/HeapReuse.h"

#include <malloc.h>

namespace veskar {

namespace {

// More than any frame's tables; the process keeps at most this much unused.
constexpr int kKeptBytes = 256 << 20;

} // namespace

void keepFreedMemoryForReuse()
{
#ifdef M_TRIM_THRESHOLD
    mallopt(M_TRIM_THRESHOLD, kKeptBytes);
#endif
}

} // namespace veskar
