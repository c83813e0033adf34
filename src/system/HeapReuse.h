#pragma once
// Memory freed at the end of a frame is wanted again in the next one: the GL
// driver builds tables for every frame that grow with the triangles in view.
// Given back to the system at once, those blocks come back as fresh pages, and
// faulting them in can cost more than the drawing (a framed 200,000-triangle
// character under llvmpipe: about 85 ms a frame instead of 40).

namespace veskar {

// Lets the process keep what it frees for reuse; once, before the first frame.
void keepFreedMemoryForReuse();

} // namespace veskar
