// Resident memory of this process, for the start-up figures of --measure and the tests.
#pragma once

namespace kc {

// Resident set size in kilobytes, or -1 where it cannot be read.
long ResidentKilobytes();

}  // namespace kc
