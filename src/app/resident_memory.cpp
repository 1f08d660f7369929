#include "app/resident_memory.h"

#include <fstream>
#include <sstream>
#include <string>

namespace kc {

long ResidentKilobytes() {
  std::ifstream status("/proc/self/status");
  std::string line;
  while (std::getline(status, line)) {
    if (line.rfind("VmRSS:", 0) == 0) {
      std::istringstream fields(line.substr(6));
      long kilobytes = -1;
      fields >> kilobytes;
      return kilobytes;
    }
  }
  return -1;
}

}  // namespace kc
