#include "platform/memory_tuning.h"

#include <malloc.h>

namespace plotdesk {

void keepFreedMemoryForReuse() {
  mallopt(M_MMAP_MAX, 0);
  mallopt(M_TRIM_THRESHOLD, 512 * 1024 * 1024);
  mallopt(M_TOP_PAD, 16 * 1024 * 1024);
}

}  // namespace plotdesk
