// The settings a box carries when it leaves the factory: fifteen named modes with their own
// levels and EQ curves, the system items, two passwords and an identity.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace kc::boxsim {

struct FactoryContent {
  std::array<std::string, 15> mode_names;
  // mode_images[m][block] is the row of block 0..8 stored under mode m.
  std::array<std::array<std::vector<int32_t>, 9>, 15> mode_images;
  std::vector<int32_t> system_items;  // block 9, 35 items
  std::string system_password;
  std::string keylock_password;
  std::array<uint8_t, 4> identity;
};

FactoryContent MakeFactoryContent();

}  // namespace kc::boxsim
