#include "link/port_names.h"

#include <algorithm>

namespace kc {

std::vector<std::string> MergePortNames(std::vector<std::string> system_names,
                                        const std::vector<std::string>& extra_names) {
  std::sort(system_names.begin(), system_names.end());
  std::vector<std::string> names;
  auto add = [&names](const std::string& name) {
    if (!name.empty() && std::find(names.begin(), names.end(), name) == names.end()) {
      names.push_back(name);
    }
  };
  for (const auto& name : extra_names) add(name);
  for (const auto& name : system_names) add(name);
  return names;
}

}  // namespace kc
