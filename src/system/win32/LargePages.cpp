// The Windows half of the large-page hint: nothing. Windows gives large pages
// only to VirtualAlloc(MEM_LARGE_PAGES) with the "Lock pages in memory"
// privilege, never to memory already reserved, so there is nothing to ask for.

#include "system/LargePages.h"

namespace veskar {

void preferLargePages(const void*, std::size_t) {}

} // namespace veskar
