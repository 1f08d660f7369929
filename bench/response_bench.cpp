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

#include "eq/filter_response.h"

namespace {

using kc::ResponseArray;

// The plain evaluation: coefficients of the family, then every template point at once.
void DirectResponse(ResponseArray& out, int frequency, int code, float q, float gain) {
  const double pi = 3.141592653589793;
  const float w0 = static_cast<float>(pi / 2);
  const double sn = std::sin(static_cast<double>(w0)), cs = std::cos(static_cast<double>(w0));
  auto idx = [](double f) { return (std::log10(std::max(f, 1.0)) - 1) / kc::kGridDecades * 512; };
  double snapped =
      std::nearbyint(std::pow(10.0, 1 + std::nearbyint(idx(frequency)) * kc::kGridDecades / 512));
  snapped = std::max(snapped, 10.0);
  q = std::max(q, 0.1f);
  const int c = static_cast<int>(std::nearbyint(idx(snapped)));

  float b[3], a[3];
  auto set = [&](double b0, double b1, double b2, double a0, double a1, double a2) {
    b[0] = b0, b[1] = b1, b[2] = b2, a[0] = a0, a[1] = a1, a[2] = a2;
  };
  const int group = code / 100, kind = code % 10;
  int t = 0;
  if (group == 0) {
    const double big_a = std::pow(10.0, (code <= 2 ? gain : 0.0f) / 40);
    if (code == 1 || code == 2) {
      t = 120;
      const double s = std::min(q, 4.0f) + 0.001;
      const double alpha = sn / 2 * std::sqrt(std::fabs((big_a + 1 / big_a) * (1 / s - 1) + 2));
      const double r = 2 * std::sqrt(big_a) * alpha, ap = big_a + 1, am = big_a - 1;
      if (code == 1) {
        set(big_a * (ap - am * cs + r), 2 * big_a * (am - ap * cs), big_a * (ap - am * cs - r),
            ap + am * cs + r, -2 * (am + ap * cs), ap + am * cs - r);
      } else {
        set(big_a * (ap + am * cs + r), -2 * big_a * (am + ap * cs), big_a * (ap + am * cs - r),
            ap - am * cs + r, 2 * (am - ap * cs), ap - am * cs - r);
      }
    } else {
      const double alpha = sn / (2 * ((q + 0.01) * 2.8));
      set(1 + alpha * big_a, -2 * cs, 1 - alpha * big_a, 1 + alpha / big_a, -2 * cs,
          1 - alpha / big_a);
    }
  } else {
    t = 140;
    const double qu = std::min(q, 4.0f) + 0.001;
    double alpha = sn / 1.414;
    if (kind == 1) alpha = sn / (2 / std::sqrt(3.0));
    if (kind == 2) alpha = sn / (2 / std::sqrt(2.0));
    if (kind >= 3 && kind <= 5) alpha = sn / (2 * qu);
    if (group == 1) {
      set((1 + cs) / 2, -(1 + cs), (1 + cs) / 2, 1 + alpha, -2 * cs, 1 - alpha);
    } else {
      set((1 - cs) / 2, 1 - cs, (1 - cs) / 2, 1 + alpha, -2 * cs, 1 - alpha);
    }
    if (group == 2 && kind == 3) {
      const double e = 2 * std::cos(pi / 8), d = 2 + e;
      set(1 / d, 2 / d, 1 / d, 1, 0, (2 - e) / d);
    }
    if (group == 1 && kind >= 6) set(1.0 / 3, -2.0 / 3, 1.0 / 3, 1, 0, 1.0 / 3);
    if (kind == 0) set(1, 0, 0, 1, 0, 0);
  }
  auto p = [](const float* x, double s) {
    const double x0 = x[0], x1 = x[1], x2 = x[2];
    return s * (s * x0 * x2 - ((x0 + x2) * x1 + 4 * x0 * x2)) + (x0 + x1 + x2) * (x0 + x1 + x2);
  };
  float tmpl[513];
  for (int j = 0; j <= 512; ++j) {
    double u = j;
    if (t != 0) {
      const double width = 256 - t;
      if (j <= 256) {
        u = (t == 120 ? j >= t : j > t) ? (j - t) * 256.0 / width : 1;
      } else {
        u = j <= 512 - t ? 256 + (j - 256) * 256.0 / width : 511;
      }
    }
    const double h = 2 * std::sin(u * pi / 512 / 2);
    const double pb = p(b, h * h), pa = p(a, h * h);
    if (group == 2 && (pb == 0 || pa == 0)) {
      tmpl[j] = j > 0 ? tmpl[j - 1] : 0.0f;
    } else {
      tmpl[j] = static_cast<float>(10 * std::log10(pb) - 10 * std::log10(pa));
    }
  }
  for (int i = 0; i <= 512; ++i) out[i] = tmpl[std::clamp(256 + i - c, 0, 511)];
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
