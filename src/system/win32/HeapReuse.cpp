// The Windows half of keeping freed memory: nothing to set. The cost it answers
// was measured with glibc's allocator under Mesa's llvmpipe; Windows draws with
// the graphics card's own driver and its heap has no trim threshold to raise.

#include "system/HeapReuse.h"

namespace veskar {

void keepFreedMemoryForReuse() {}

} // namespace veskar
