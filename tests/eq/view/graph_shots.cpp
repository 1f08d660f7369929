// Renders the EQ graph offscreen with a few EQ settings and saves each as a PNG file in the folder
// given on the command line (default: the current folder), to look at the frame, the curve, the
// points, the labels and the readout under the mouse. Run with QT_SCALE_FACTOR=2 to see the
// graph on a high-resolution screen (the files then have twice the pixels each way).
#include <QApplication>
#include <QDir>
#include <QPixmap>
#include <cstdio>
#include <functional>

#include "eq/view/eq_graph.h"
#include "fake_graph_host.h"

namespace {

using kc::test::FakeGraphHost;
using kc::test::GraphWindow;

struct Shot {
  const char* name;
  int page;
  int selection;
  std::function<void(FakeGraphHost&)> set;
  QSize size;             // of the inner panel; empty for the design size
  double readout_hz = 0;  // the mouse rests over this frequency (readout shown); 0 for none
};

// Band k of a block: type, frequency step, gain step, Q step.
void Band(FakeGraphHost& host, int block, int k, int type, int frequency, int gain, int q) {
  const int a = kc::InfoOfBlock(block)->first_eq + 5 * k;
  host.Set(block, a, type);
  host.Set(block, a + 1, frequency);
  host.Set(block, a + 2, gain);
  host.Set(block, a + 3, q);
  host.Set(block, a + 4, std::min(q, 28));
}

}  // namespace

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  const QDir folder(argc > 1 ? QString::fromLocal8Bit(argv[1]) : QDir::currentPath());
  const Shot shots[] = {
      {"music_varied",
       0,
       0,
       [](FakeGraphHost& h) {
         Band(h, 0, 0, 0, 204, 104, 22);  // 1000 Hz, -3.2 dB, Q 1.40
         Band(h, 0, 1, 1, 40, 150, 10);   // low shelf +6 dB
         Band(h, 0, 2, 2, 300, 160, 16);  // high shelf +8 dB
         Band(h, 0, 3, 0, 120, 60, 40);   // narrow cut -12 dB
         Band(h, 0, 5, 0, 260, 170, 30);  // +10 dB
       },
       {}},
      {"mic_group_b_highpass",
       1,
       15,
       [](FakeGraphHost& h) {
         h.curve = QColor(255, 102, 0);
         h.label = QColor(255, 102, 0);
         h.Set(1, 0, 60);
         Band(h, 1, 4, 0, 150, 140, 20);
         Band(h, 1, 9, 0, 280, 90, 50);
       },
       {}},
      {"echo_pass_filters",
       2,
       4,
       [](FakeGraphHost& h) {
         h.Set(3, 4, 40);
         h.Set(3, 5, 20);
         Band(h, 3, 1, 0, 200, 145, 16);
       },
       {}},
      {"subwoofer_24db",
       5,
       3,
       [](FakeGraphHost& h) {
         h.Set(6, 8, 1);
         h.Set(6, 10, 30);
         h.Set(6, 14, 2);
         h.Set(6, 16, 110);
         Band(h, 6, 0, 0, 60, 150, 16);
       },
       {}},
      {"main_beyond_edges_bypass",
       3,
       0,
       [](FakeGraphHost& h) {
         h.bypass[5] = 1;
         h.Set(5, 16, 37);
         h.Set(5, 18, 1);
         Band(h, 5, 0, 0, 204, 180, 10);
         Band(h, 5, 1, 0, 220, 180, 10);
         Band(h, 5, 2, 0, 100, 0, 10);
         Band(h, 5, 3, 0, 110, 0, 10);
       },
       {}},
      {"music_resized", 0, 0, [](FakeGraphHost& h) { Band(h, 0, 0, 0, 204, 104, 22); },
       QSize(760, 200)},
      {"music_readout",
       0,
       0,
       [](FakeGraphHost& h) {
         Band(h, 0, 0, 0, 204, 104, 22);  // 1000 Hz, -3.2 dB, Q 1.40
         Band(h, 0, 1, 0, 82, 60, 40);    // 99 Hz, -12 dB, Q 4.00
         Band(h, 0, 2, 2, 320, 150, 16);  // high shelf +6 dB
         Band(h, 0, 3, 1, 10, 175, 10);   // low shelf 23.9 Hz, +11 dB: under the readout
       },
       {},
       1000},
  };
  int failures = 0;
  for (const Shot& shot : shots) {
    GraphWindow window;
    FakeGraphHost host;
    kc::EqGraph graph(window.widgets(), host);
    shot.set(host);
    host.page = shot.page;
    window.window->show();
    if (!shot.size.isEmpty()) {
      window.outer->resize(shot.size.width() + 55, shot.size.height() + 38);
      window.inner->resize(shot.size);
    }
    const int block = kc::test::BlockOfPage(shot.page);
    graph.DrawSectionCurve(kc::kAllSlots, block);
    graph.DrawSectionCurve(shot.selection, block);
    if (shot.readout_hz > 0) graph.ShowReadout(graph.FrequencyToX(shot.readout_hz));
    app.processEvents();
    const QString path = folder.filePath(QString(shot.name) + ".png");
    if (!window.outer->grab().save(path)) {
      std::fprintf(stderr, "could not write %s\n", qPrintable(path));
      ++failures;
    } else {
      std::printf("%s (device pixel ratio %.1f)\n", qPrintable(path),
                  window.image->devicePixelRatioF());
    }
  }
  return failures == 0 ? 0 : 1;
}
