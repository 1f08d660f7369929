#include "eq/section_layout.h"

#include "model/parameter_table.h"
#include "model/value_scales.h"

namespace kc {
namespace {

// Frequency of a pass filter that is off.
constexpr float kPassOffFrequency = 19.0f;
// A response code that draws a flat line.
constexpr int kFlatBandCode = 3;

float TableFrequency(int step) { return static_cast<float>(FrequencyOfStep(step)); }

// A high-pass value v: off (code 100 at 19 Hz) for 0, else `code` at table[v - 1].
BandSlot HighPass(int v, int code, float q) {
  if (v == 0) return {kCodeHighPass, kPassOffFrequency, 0.0f, q};
  return {code, TableFrequency(v - 1), 0.0f, q};
}

}  // namespace

std::optional<int> SectionBlockOf(int block) {
  switch (block) {
    case 0:
    case 1:
    case 3:
    case 5:
    case 6:
    case 7:
    case 8:
      return block;
    case 2:
      return 1;
    default:
      return std::nullopt;
  }
}

std::optional<SectionLayout> ReadSectionLayout(const ParameterStore& store, int block) {
  const std::optional<int> section = SectionBlockOf(block);
  if (!section) return std::nullopt;
  const int b = *section;
  const BlockInfo& info = *InfoOfBlock(b);
  SectionLayout layout;
  layout.block = b;
  layout.eq_bands = info.eq_bands;
  // Values outside their range are drawn as the nearest value inside it, as the pages show
  // them, so every slot gets a response of its family and a point that can be dragged.
  auto value = [&](int index) {
    const int32_t raw = store.Working(b, index);
    const ParameterInfo* parameter = FindParameter(b, index);
    return static_cast<int>(parameter != nullptr ? ValueInRange(*parameter, raw) : raw);
  };

  for (int i = 0; i < info.eq_bands; ++i) {
    const int a = info.first_eq + 5 * i;
    BandSlot& slot = layout.band_slots[i];
    // A type outside the band types (only a damaged image holds one) draws a flat band rather
    // than a pass filter, so it never takes a pass point.
    const int type = value(a);
    slot.code = type >= 0 && type < kCodeHighPass ? type : kFlatBandCode;
    slot.frequency = TableFrequency(value(a + 1));
    slot.gain = static_cast<float>(value(a + 2) / 5.0 - 24.0);
    slot.q = static_cast<float>(QOfStep(slot.code == kCodePeaking ? value(a + 3) : value(a + 4)));
    layout.frequency_index[i] = a + 1;
  }

  const int first_pass = info.eq_bands;
  auto add_pass = [&](const BandSlot& slot, int frequency_index) {
    const int k = first_pass + layout.pass_slots++;
    layout.band_slots[k] = slot;
    layout.frequency_index[k] = frequency_index;
  };
  switch (b) {
    case 1:
      add_pass(HighPass(value(0), kCodeHighPass + 2, 0.0f), 0);
      break;
    case 3: {
      add_pass(HighPass(value(4), kCodeHighPass + 2, 0.0f), 4);
      const int v = value(5);
      add_pass(v == kLowPassOffStep
                   ? BandSlot{kCodeLowPass, TableFrequency(kMaxFrequencyStep), 0.0f, 0.0f}
                   : BandSlot{kCodeLowPass + 2, TableFrequency(v + kLowPassFirstFrequencyStep),
                              0.0f, 0.0f},
               5);
      break;
    }
    case 5:
    case 7: {
      const int v = value(16);
      const bool steep = value(18) != 0;
      add_pass(HighPass(v, steep ? kCodeHighPass + 11 : kCodeHighPass + 2, 0.0f), 16);
      layout.extra_high_pass = steep && v != 0;
      break;
    }
    case 8:
      add_pass(HighPass(value(16), kCodeHighPass + 2, 0.0f), 16);
      break;
    case 6: {
      // Types: 0..2 the fixed 24 dB designs, 3 "USER 12dB" (one section with the user Q),
      // 4 "USER 24dB".
      constexpr int kUser12 = 3;
      const int hp_type = value(8);
      const int hp = value(10);
      const float hp_q = static_cast<float>(QOfStep(value(12)));
      add_pass(
          HighPass(hp, hp_type == kUser12 ? kCodeHighPass + 4 : kCodeHighPass + 11 + hp_type, hp_q),
          10);
      layout.extra_high_pass = hp_type != kUser12 && hp != 0;

      const int lp_type = value(14);
      const int lp = value(16);
      const float lp_q = static_cast<float>(QOfStep(value(18)));
      const int lp_code = lp_type == kUser12 ? kCodeLowPass + 4 : kCodeLowPass + 11 + lp_type;
      add_pass(lp == 0 ? BandSlot{kCodeLowPass, kPassOffFrequency, 0.0f, lp_q}
                       : BandSlot{lp_code, TableFrequency(lp - 1), 0.0f, lp_q},
               16);
      layout.extra_low_pass = lp_type != kUser12 && lp != 0;
      break;
    }
    default:
      break;
  }
  return layout;
}

std::string HandleName(int handle) {
  if (handle == kHighPassHandle) return "HPF";
  if (handle == kLowPassHandle) return "LPF";
  if (handle < 0 || handle > kLowPassHandle) return {};
  return "EP" + std::to_string(handle + 1);
}

int HandleOfSlot(int slot, int code) {
  if (code < 0) return -1;
  if (code < kCodeHighPass) return slot >= 0 && slot < kHighPassHandle ? slot : -1;
  if (code < kCodeLowPass) return kHighPassHandle;
  if (code < 300) return kLowPassHandle;
  return -1;
}

}  // namespace kc
