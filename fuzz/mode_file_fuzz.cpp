// Feeds arbitrary bytes to the mode-file loader as the text of a file. Besides crashes it checks
// that a refused file leaves the store exactly as it was, and that the mode left by an accepted
// file saves and loads back unchanged.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "model/parameter_store.h"
#include "modes/mode_file.h"

namespace {

bool SameImage(const kc::ParameterStore& a, const kc::ParameterStore& b) {
  for (int block = 0; block < kc::kBlockCount; ++block) {
    if (a.DeviceRow(block) != b.DeviceRow(block)) return false;
  }
  return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  kc::ParameterStore store;
  for (int block = 0; block < kc::kBlockCount; ++block) {
    for (int slot = 0; slot < kc::kDeviceColumns; ++slot)
      store.SetDevice(block, slot, slot - block);
  }
  const kc::ParameterStore before = store;

  const kc::ModeStatus status = kc::LoadModeText(text, store);
  if (status != kc::ModeStatus::kOk) {
    if (!SameImage(store, before)) std::abort();  // a refused file changed the store
    return 0;
  }
  kc::ParameterStore reloaded;
  if (kc::LoadModeText(kc::BuildModeText(store), reloaded) != kc::ModeStatus::kOk) std::abort();
  for (int block = 0; block < 9; ++block) {
    for (int slot = 0; slot <= kc::InfoOfBlock(block)->device_slots; ++slot) {
      if (reloaded.Device(block, slot) != store.Device(block, slot)) std::abort();
    }
  }
  return 0;
}
