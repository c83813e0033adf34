#pragma once
// veskar-convert info for the engine's and SMD files: what one file holds, in
// counts, read as a conversion would read it but building no model.

#include "import/Diagnostic.h"

#include <string>

namespace veskar {

// Prints the file's kind and counts on standard output; false with the
// refusal in diagnostic (and the system's message for it, or null).
bool describeModelFile(const std::string& path, Diagnostic& diagnostic, const char*& message);

} // namespace veskar
