#pragma once

namespace corvella::platform {

// Keeps secrets out of core files: no core dump, no ptrace attach by other processes.
void DisableCoreDumps();

}  // namespace corvella::platform
