#pragma once

namespace plotdesk {

// A station disposes job after job, each touching hundreds of megabytes of
// short-lived arrays. Serving large blocks from the heap (instead of fresh
// mappings that are returned on free) and keeping freed memory lets the next
// job reuse pages already faulted in. Call once at start-up, before threads.
void keepFreedMemoryForReuse();

}  // namespace plotdesk
