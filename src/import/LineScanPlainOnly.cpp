// Processors other than x86-64 use the plain scans.

#include "import/LineScanVariants.h"

namespace veskar {

std::vector<const LineScanner*> fasterLineScanners() { return {}; }

} // namespace veskar
