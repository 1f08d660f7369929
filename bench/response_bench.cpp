// Speed of the EQ response computation: one band of each family, a whole section (17 slots and
// the two extra pass sections, then the sum), and the same work done the plain way, with a sine
// and two logarithms per point in double precision. Ratios plain / fast are printed at the end.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <map>
#include <string>
#include <vector>

#include "../tests/eq/direct_response.h"
#include "eq/filter_response.h"

namespace {

using kc::ResponseArray;

// The plain evaluation: coefficients of the family, then every template point at once.
void DirectResponse(ResponseArray& out, int frequency, int code, float q, float gain) {
  out = kc::DirectResponse(frequency, code, q, gain);
}

struct Band {
  int code;
  int frequency;
  float q, gain;
};

constexpr Band kPeaking{0, 1000, 1.4f, 6.0f};
constexpr Band kLowShelf{1, 120, 0.7f, -4.0f};
constexpr Band kHighShelf{2, 8000, 1.0f, 3.2f};
constexpr Band kHighPass{111, 80, 1.0f, 0.0f};
constexpr Band kLowPass{212, 6000, 1.0f, 0.0f};

void BM_Response(benchmark::State& state, Band band) {
  ResponseArray out;
  for (auto _ : state) {
    kc::ComputeBandResponse(out, band.frequency, static_cast<uint8_t>(band.code), band.q,
                            band.gain);
    benchmark::DoNotOptimize(out.data());
    benchmark::ClobberMemory();
  }
}

void BM_DirectResponse(benchmark::State& state, Band band) {
  ResponseArray out;
  for (auto _ : state) {
    DirectResponse(out, band.frequency, band.code, band.q, band.gain);
    benchmark::DoNotOptimize(out.data());
    benchmark::ClobberMemory();
  }
}

BENCHMARK_CAPTURE(BM_Response, Peaking, kPeaking);
BENCHMARK_CAPTURE(BM_Response, LowShelf, kLowShelf);
BENCHMARK_CAPTURE(BM_Response, HighShelf, kHighShelf);
BENCHMARK_CAPTURE(BM_Response, HighPass, kHighPass);
BENCHMARK_CAPTURE(BM_Response, LowPass, kLowPass);
BENCHMARK_CAPTURE(BM_DirectResponse, Peaking, kPeaking);
BENCHMARK_CAPTURE(BM_DirectResponse, LowShelf, kLowShelf);
BENCHMARK_CAPTURE(BM_DirectResponse, HighShelf, kHighShelf);
BENCHMARK_CAPTURE(BM_DirectResponse, HighPass, kHighPass);
BENCHMARK_CAPTURE(BM_DirectResponse, LowPass, kLowPass);

// A full section: 15 bands of all three types across the range, a 24 dB high-pass and a 24 dB
// low-pass, both extra sections in use.
std::vector<kc::BandSlot> FullSection() {
  std::vector<kc::BandSlot> slots;
  for (int k = 0; k < 15; ++k) {
    const float frequency = 25.0f * std::pow(1.5f, static_cast<float>(k));
    slots.push_back({k % 3, frequency, static_cast<float>(k % 7) * 2.0f - 6.0f, 0.5f + 0.3f * k});
  }
  slots.push_back({111, 60.0f, 0.0f, 1.0f});
  slots.push_back({212, 12000.0f, 0.0f, 1.0f});
  return slots;
}

void BM_Section(benchmark::State& state) {
  const std::vector<kc::BandSlot> slots = FullSection();
  kc::SectionResponse section;
  ResponseArray sum;
  for (auto _ : state) {
    section.SetExtraInUse(true, true);
    section.ComputeAll(slots);
    section.Sum(kc::kBandSlots - 1, sum);
    benchmark::DoNotOptimize(sum.data());
    benchmark::ClobberMemory();
  }
}

void BM_DirectSection(benchmark::State& state) {
  const std::vector<kc::BandSlot> slots = FullSection();
  std::vector<ResponseArray> responses(kc::kBandSlots + 2);
  ResponseArray sum;
  for (auto _ : state) {
    for (size_t k = 0; k < slots.size(); ++k) {
      const kc::BandSlot& s = slots[k];
      const int frequency = static_cast<int>(std::nearbyint(s.frequency));
      if (s.code > 210) DirectResponse(responses[kc::kBandSlots + 1], frequency, 204, 0.8f, 0);
      if (s.code > 110 && s.code < 200) {
        DirectResponse(responses[kc::kBandSlots], frequency, 104, 0.8f, 0);
      }
      DirectResponse(responses[k], frequency, s.code, s.q, s.gain);
    }
    for (int i = 0; i < kc::kResponsePoints; ++i) {
      float total = 0;
      for (const ResponseArray& r : responses) total += r[i];
      sum[i] = total;
    }
    benchmark::DoNotOptimize(sum.data());
    benchmark::ClobberMemory();
  }
}

BENCHMARK(BM_Section);
BENCHMARK(BM_DirectSection);

// Console output as usual, keeping each benchmark's median (or single run) for the ratios.
class RatioReporter : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run>& runs) override {
    ConsoleReporter::ReportRuns(runs);
    for (const Run& run : runs) {
      if (run.aggregate_name.empty() || run.aggregate_name == "median") {
        times_[run.run_name.str()] = {run.GetAdjustedRealTime(), run.GetAdjustedCPUTime()};
      }
    }
  }
  void PrintRatios() const {
    std::printf("\nplain / fast (medians, real time; CPU time in brackets):\n");
    for (const auto& [name, fast] : times_) {
      const std::string prefix = "BM_";
      if (name.rfind("BM_Direct", 0) == 0) continue;
      const std::string direct = "BM_Direct" + name.substr(prefix.size());
      const auto it = times_.find(direct);
      if (it == times_.end() || fast.real <= 0 || fast.cpu <= 0) continue;
      const Times& plain = it->second;
      std::printf("  %-24s fast %8.3f us (%8.3f)  plain %8.3f us (%8.3f)  ratio %.1fx (%.1fx)\n",
                  name.c_str(), fast.real / 1e3, fast.cpu / 1e3, plain.real / 1e3, plain.cpu / 1e3,
                  plain.real / fast.real, plain.cpu / fast.cpu);
    }
  }

 private:
  struct Times {
    double real, cpu;  // nanoseconds
  };
  std::map<std::string, Times> times_;
};

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  RatioReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  reporter.PrintRatios();
  benchmark::Shutdown();
  return 0;
}
