#include "ProcessProtection.h"

#include <sys/prctl.h>
#include <sys/resource.h>

namespace corvella::platform {

void DisableCoreDumps() {
  const rlimit none{0, 0};
  ::setrlimit(RLIMIT_CORE, &none);
  ::prctl(PR_SET_DUMPABLE, 0);
}

}  // namespace corvella::platform
