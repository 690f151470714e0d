#pragma once
// What the kernel says of this process's memory, for the benches that report it.

namespace bench {

// A field of /proc/self/status given in kB ("VmRSS", "VmHWM"), in megabytes; 0 where there is none.
double residentMegabytes(const char* field);

} // namespace bench
