// Speed of the EQ graph at the design size (1049 x 273), offscreen: a full redraw of a section
// (frame, every slot computed, the summed curve, the points), one drag tick (a point moved, its
// band applied, that one slot computed again, summed and redrawn) and one readout update. The
// first two run inside the graph's 10 ms timer tick, so the share of the tick is printed at the
// end. Run with QT_SCALE_FACTOR=2 for a high-resolution screen (four times the pixels).
//
// The redraw and the drag tick run twice in the same run: with the graph's cached painting (the
// program's) and with the whole paint of every redraw that came before it (PaintMode::kEveryTime,
// the baseline); the end prints each cached median as a share of its baseline (goal <= 0.5).
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <QApplication>
#include <QPainter>
#include <QPen>
#include <cstdio>
#include <map>
#include <string>
#include <utility>

#include "../tests/eq/view/fake_graph_host.h"
#include "eq/view/cardinal_spline.h"
#include "eq/view/eq_graph.h"
#include "eq/view/graph_pixels.h"

namespace {

using kc::test::FakeGraphHost;
using kc::test::GraphWindow;

// A busy section: every band of the block with its own frequency, gain and Q, and the pass
// filters on (24 dB where the section has them).
void FillSection(FakeGraphHost& host, int block) {
  const kc::BlockInfo& info = *kc::InfoOfBlock(block);
  for (int k = 0; k < info.eq_bands; ++k) {
    const int a = info.first_eq + 5 * k;
    host.Set(block, a, k % 3);
    host.Set(block, a + 1, 10 + (340 * k) / info.eq_bands);
    host.Set(block, a + 2, 60 + (k * 37) % 120);
    host.Set(block, a + 3, 10 + (k * 7) % 40);
    host.Set(block, a + 4, 5 + k % 20);
  }
  host.Set(1, 0, 40);
  host.Set(3, 4, 30);
  host.Set(3, 5, 100);
  host.Set(5, 16, 30);
  host.Set(5, 18, 1);
  host.Set(6, 8, 1);
  host.Set(6, 10, 30);
  host.Set(6, 14, 2);
  host.Set(6, 16, 120);
}

// The second benchmark argument: 0 the baseline (whole paint every time), 1 the cached paint.
kc::EqGraph::PaintMode ModeOf(int64_t arg) {
  return arg == 0 ? kc::EqGraph::PaintMode::kEveryTime : kc::EqGraph::PaintMode::kCached;
}

struct Bench {
  explicit Bench(int page, kc::EqGraph::PaintMode mode = kc::EqGraph::PaintMode::kCached) {
    graph.set_paint_mode(mode);
    host.page = page;
    block = kc::test::BlockOfPage(page);
    FillSection(host, block);
    window.window->show();
    graph.DrawSectionCurve(kc::kAllSlots, block);
  }
  GraphWindow window;
  FakeGraphHost host;
  kc::EqGraph graph{window.widgets(), host};
  int block = 0;
};

void BM_Redraw(benchmark::State& state) {
  Bench b(static_cast<int>(state.range(0)), ModeOf(state.range(1)));
  for (auto _ : state) {
    b.graph.DrawSectionCurve(kc::kAllSlots, b.block);
    benchmark::DoNotOptimize(b.graph.bitmap().constBits());
  }
}
// Pages: 0 Music (10 bands), 1 Microphone (15 bands and a high-pass), 5 Subwoofer (3 bands and
// two 24 dB pass filters).
BENCHMARK(BM_Redraw)
    ->ArgsProduct({{0, 1, 5}, {0, 1}})
    ->Unit(benchmark::kMicrosecond)
    ->Repetitions(10)
    ->DisplayAggregatesOnly(true);

// One tick of a drag: the point is moved (both of its values change), then the tick sends the
// band and redraws the section with that band selected.
void DragBand(benchmark::State& state, int band) {
  Bench b(static_cast<int>(state.range(0)), ModeOf(state.range(1)));
  QLabel* point = b.window.handles[band];
  const QPoint grip(7, 7);
  b.graph.EP1MouseDown(point, grip);
  b.graph.Timer1Timer();
  int step = 0;
  for (auto _ : state) {
    // Back and forth by 15 pixels across and down, so that both table indices change.
    const QPoint offset = (++step % 2 == 0) ? QPoint(15, 15) : QPoint(-15, -15);
    b.graph.EP1MouseMove(point, grip + offset);
    b.graph.Timer1Timer();
    benchmark::DoNotOptimize(b.graph.bitmap().constBits());
  }
  // The share of the bitmap's columns the last tick painted (1 for the whole paint).
  const QRect painted = b.graph.paint_mode() == kc::EqGraph::PaintMode::kCached
                            ? b.graph.last_painted()
                            : QRect(QPoint(0, 0), b.graph.bitmap().size());
  state.counters["painted"] = static_cast<double>(painted.width()) / b.graph.bitmap().width();
  b.graph.EP1MouseUp(point);
  if (b.host.transmissions == 0) state.SkipWithError("the drag sent nothing");
}
// Band 3 (index 2) is a high shelf, whose plateau moves across most of the width; band 4
// (index 3) a peaking band, whose curve moves around it.
void BM_Drag(benchmark::State& state) { DragBand(state, 2); }
void BM_DragPeak(benchmark::State& state) { DragBand(state, 3); }
BENCHMARK(BM_DragPeak)
    ->ArgsProduct({{0, 1}, {0, 1}})
    ->Unit(benchmark::kMicrosecond)
    ->Repetitions(10)
    ->DisplayAggregatesOnly(true);
BENCHMARK(BM_Drag)
    ->ArgsProduct({{0, 1}, {0, 1}})
    ->Unit(benchmark::kMicrosecond)
    ->Repetitions(10)
    ->DisplayAggregatesOnly(true);

// A full redraw where every point of the curve moves: the section's first band (a shelf on the
// Music page) toggles between two gains, so no column keeps its curve.
void BM_RedrawAllMoved(benchmark::State& state) {
  Bench b(static_cast<int>(state.range(0)), ModeOf(state.range(1)));
  const kc::BlockInfo& info = *kc::InfoOfBlock(b.block);
  const int type = info.first_eq;
  b.host.Set(b.block, type, 1);  // low shelf
  b.host.Set(b.block, type + 1, 300);
  int step = 0;
  for (auto _ : state) {
    b.host.Set(b.block, type + 2, (++step % 2 == 0) ? 90 : 150);
    b.graph.DrawSectionCurve(kc::kAllSlots, b.block);
    benchmark::DoNotOptimize(b.graph.bitmap().constBits());
  }
}
BENCHMARK(BM_RedrawAllMoved)
    ->ArgsProduct({{0}, {0, 1}})
    ->Unit(benchmark::kMicrosecond)
    ->Repetitions(10)
    ->DisplayAggregatesOnly(true);

// The floor of any redraw whose points all moved: the graph's curve stroked whole, with the
// graph's pen, antialiasing and half-pixel shift, onto an image of the bitmap's size and ratio,
// and nothing else (no frame, no response, no widget). Printed as a share of the baseline's full
// redraw with every point moved.
void BM_StrokeCurve(benchmark::State& state) {
  Bench b(static_cast<int>(state.range(0)));
  QImage image = b.graph.bitmap().copy();
  const std::vector<QPointF>& points = b.graph.curve_points();
  const QPen pen(b.host.curve, kc::kCurvePenWidth, Qt::SolidLine, Qt::FlatCap, Qt::RoundJoin);
  for (auto _ : state) {
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing, true);
    painter.translate(kc::kPixelCentre, kc::kPixelCentre);
    painter.setPen(pen);
    painter.drawPath(kc::CardinalSplinePath(points, kc::kCurveTension));
    painter.end();
    benchmark::DoNotOptimize(image.constBits());
  }
}
BENCHMARK(BM_StrokeCurve)
    ->Arg(0)
    ->Unit(benchmark::kMicrosecond)
    ->Repetitions(10)
    ->DisplayAggregatesOnly(true);

// One mouse move over the graph with the readout on show: frequency and response under the
// cursor, the label's text and place.
void BM_Readout(benchmark::State& state) {
  Bench b(0);
  int x = 0;
  for (auto _ : state) {
    x = (x + 37) % 1049;
    b.graph.ShowReadout(x);
    benchmark::DoNotOptimize(b.graph.readout()->text().size());
  }
}
BENCHMARK(BM_Readout)->Unit(benchmark::kMicrosecond)->Repetitions(10)->DisplayAggregatesOnly(true);

// Prints each median as a share of the graph's 10 ms tick, and each cached median as a share of
// the baseline's (the same benchmark and page with the second argument 0) in the same run.
class TickShareReporter : public benchmark::ConsoleReporter {
 public:
  // Colours only on a terminal.
  TickShareReporter() : ConsoleReporter(isatty(fileno(stdout)) ? OO_Defaults : OO_None) {}
  void ReportRuns(const std::vector<Run>& runs) override {
    ConsoleReporter::ReportRuns(runs);
    for (const Run& run : runs) {
      if (run.aggregate_name != "median") continue;
      const double microseconds = run.GetAdjustedRealTime();  // in the benchmark's unit (us)
      const double cpu = run.GetAdjustedCPUTime();
      const std::string name = run.run_name.str();
      std::printf("  %-36s median %8.1f us (cpu %8.1f us) = %5.1f %% of the 10 ms tick\n",
                  name.c_str(), microseconds, cpu, microseconds / 100.0);
      medians_[name] = {microseconds, cpu};
      // "BM_StrokeCurve/0/repeats:10" against "BM_RedrawAllMoved/0/0/repeats:10".
      if (name.rfind("BM_StrokeCurve/", 0) == 0) {
        const std::string page = name.substr(15, name.find('/', 15) - 15);
        const auto redraw = medians_.find("BM_RedrawAllMoved/" + page + "/0/repeats:10");
        if (redraw != medians_.end()) {
          std::printf("  %-36s whole stroke / baseline redraw: %.2f (wall), %.2f (cpu)\n",
                      name.c_str(), microseconds / redraw->second.first,
                      cpu / redraw->second.second);
        }
        continue;
      }
      // "BM_Drag/0/1/repeats:10": the baseline is "BM_Drag/0/0/repeats:10".
      const std::size_t mode = name.find("/1/repeats");
      if (mode == std::string::npos) continue;
      std::string baseline = name;
      baseline.replace(mode, 3, "/0/");
      const auto found = medians_.find(baseline);
      if (found == medians_.end()) continue;
      std::printf("  %-36s cached / baseline: %.2f (wall), %.2f (cpu)\n", name.c_str(),
                  microseconds / found->second.first, cpu / found->second.second);
    }
  }

 private:
  std::map<std::string, std::pair<double, double>> medians_;
};

}  // namespace

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  std::printf("device pixel ratio %.1f\n", app.devicePixelRatio());
  benchmark::Initialize(&argc, argv);
  TickShareReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  benchmark::Shutdown();
  return 0;
}
