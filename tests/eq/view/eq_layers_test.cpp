// The cached painting gives the pixels of the whole paint after every kind of change, repaints
// only the columns a change moved, and the comparison overlay draws the file's curve as the same
// values draw on their own, until it is taken away.
#include <gtest/gtest.h>

#include <QImage>
#include <QLabel>
#include <random>

#include "eq/view/eq_graph.h"
#include "fake_graph_host.h"
#include "qt_app.h"

namespace kc {
namespace {

using test::BlockOfPage;
using test::FakeGraphHost;
using test::GraphWindow;

// One graph painting cached, one the whole paint, fed the same values.
struct TwoGraphs {
  TwoGraphs() {
    test::EnsureApplication();
    cached_window.window->show();
    whole_window.window->show();
    whole.set_paint_mode(EqGraph::PaintMode::kEveryTime);
  }
  void Set(int block, int index, int value) {
    cached_host.Set(block, index, value);
    whole_host.Set(block, index, value);
  }
  void Page(int page) {
    cached_host.page = page;
    whole_host.page = page;
  }
  void Draw(int selection, int block) {
    cached.DrawSectionCurve(selection, block);
    whole.DrawSectionCurve(selection, block);
  }
  GraphWindow cached_window;
  GraphWindow whole_window;
  FakeGraphHost cached_host;
  FakeGraphHost whole_host;
  EqGraph cached{cached_window.widgets(), cached_host};
  EqGraph whole{whole_window.widgets(), whole_host};
};

// Pixels that differ between two bitmaps of one size.
int Differing(const QImage& a, const QImage& b) {
  if (a.size() != b.size()) return -1;
  int n = 0;
  for (int y = 0; y < a.height(); ++y) {
    for (int x = 0; x < a.width(); ++x) n += a.pixel(x, y) != b.pixel(x, y);
  }
  return n;
}

TEST(EqLayersTest, CachedPaintGivesTheWholePaintsPixelsAfterEveryChange) {
  TwoGraphs g;
  std::mt19937 random(7);
  struct PageCase {
    int page;
    std::vector<int> pass;  // pass-filter indices of the block with their ranges below
    std::vector<int> pass_max;
  };
  const PageCase pages[] = {{0, {}, {}},
                            {1, {0}, {40}},
                            {2, {4, 5}, {60, 194}},
                            {3, {16, 18}, {40, 1}},
                            {5, {8, 10, 14, 16}, {4, 40, 4, 200}},
                            {6, {16}, {40}}};
  for (const PageCase& c : pages) {
    SCOPED_TRACE(c.page);
    g.Page(c.page);
    const int block = BlockOfPage(c.page);
    const BlockInfo& info = *InfoOfBlock(block);
    g.Draw(kAllSlots, block);
    ASSERT_EQ(Differing(g.cached.bitmap(), g.whole.bitmap()), 0);
    for (int step = 0; step < 40; ++step) {
      // One band's field, a pass filter, or several bands at once, as a paste or an undo does.
      const int kind = static_cast<int>(random() % 4);
      const int band = static_cast<int>(random() % info.eq_bands);
      const int a = info.first_eq + 5 * band;
      if (kind == 0) {
        g.Set(block, a + 2, static_cast<int>(random() % 181));
      } else if (kind == 1) {
        g.Set(block, a + 1, static_cast<int>(random() % 362));
        g.Set(block, a, static_cast<int>(random() % 3));
      } else if (kind == 2 && !c.pass.empty()) {
        const std::size_t p = random() % c.pass.size();
        g.Set(block, c.pass[p], static_cast<int>(random() % (c.pass_max[p] + 1)));
      } else {
        for (int k = 0; k < info.eq_bands; ++k) {
          g.Set(block, info.first_eq + 5 * k + 2, static_cast<int>(random() % 181));
          g.Set(block, info.first_eq + 5 * k + 3, static_cast<int>(random() % 60));
        }
      }
      g.Draw(step % 3 == 0 ? kAllSlots : band, block);
      ASSERT_EQ(Differing(g.cached.bitmap(), g.whole.bitmap()), 0) << "step " << step;
      ASSERT_EQ(g.cached.curve_points(), g.whole.curve_points());
    }
  }
}

TEST(EqLayersTest, APeakingBandRepaintsOnlyTheColumnsAroundIt) {
  TwoGraphs g;
  g.Page(0);
  g.Set(0, 4, 0);    // band 1 peaking
  g.Set(0, 5, 204);  // 1000 Hz
  g.Set(0, 7, 40);   // a narrow Q
  g.Draw(kAllSlots, 0);
  g.Set(0, 6, 150);  // +6 dB
  g.Draw(0, 0);
  const QRect painted = g.cached.last_painted();
  EXPECT_GT(painted.width(), 0);
  EXPECT_LT(painted.width(), g.cached.bitmap().width() / 2);
  EXPECT_EQ(Differing(g.cached.bitmap(), g.whole.bitmap()), 0);
  // The same values again: nothing to paint.
  g.Draw(kAllSlots, 0);
  EXPECT_TRUE(g.cached.last_painted().isEmpty());
  EXPECT_EQ(Differing(g.cached.bitmap(), g.whole.bitmap()), 0);
}

TEST(EqLayersTest, ResizeAndColourChangePaintEverythingAgain) {
  TwoGraphs g;
  g.Page(1);
  g.Set(1, 6, 150);
  g.Draw(kAllSlots, 1);
  for (GraphWindow* w : {&g.cached_window, &g.whole_window}) {
    w->inner->resize(800, 200);
  }
  EXPECT_EQ(Differing(g.cached.bitmap(), g.whole.bitmap()), 0);
  g.cached_host.curve = QColor(255, 102, 0);
  g.whole_host.curve = QColor(255, 102, 0);
  g.Draw(kAllSlots, 1);
  EXPECT_EQ(g.cached.last_painted().size(), g.cached.bitmap().size());
  EXPECT_EQ(Differing(g.cached.bitmap(), g.whole.bitmap()), 0);
}

// A file's image: the editor's with other EQ values in the Main output section.
ParameterStore FileImage(const ParameterStore& editor) {
  ParameterStore file = editor;
  file.set_observer(nullptr);
  const BlockInfo& info = *InfoOfBlock(5);
  for (int k = 0; k < info.eq_bands; ++k) {
    const int a = info.first_eq + 5 * k;
    file.StoreValue(MakeId(5, a), k == 0 ? 1 : 0);
    file.StoreValue(MakeId(5, a + 1), 40 + 60 * k);
    file.StoreValue(MakeId(5, a + 2), 60 + 25 * k);
    file.StoreValue(MakeId(5, a + 3), 20);
  }
  file.StoreValue(MakeId(5, 16), 25);  // high-pass on
  return file;
}

TEST(EqLayersTest, OverlayDrawsTheFilesCurveAsItsValuesDrawAloneAndGoesAway) {
  test::EnsureApplication();
  // The editor with its own values, the overlay on.
  GraphWindow window;
  window.window->show();
  FakeGraphHost host;
  host.page = 3;
  host.Set(5, 32, 150);  // band 1 at +6 dB
  EqGraph graph(window.widgets(), host);
  graph.DrawGraphFrame(false);
  const QImage frame = graph.bitmap().copy();
  graph.DrawSectionCurve(kAllSlots, 5);
  const QImage without = graph.bitmap().copy();
  const ParameterStore file = FileImage(host.store());
  graph.SetOverlay(&file, QStringLiteral("KTV-A"));
  ASSERT_TRUE(graph.overlay_on());
  const QImage with = graph.bitmap().copy();

  // The file's values drawn on their own, in the overlay's colour.
  GraphWindow alone_window;
  alone_window.window->show();
  FakeGraphHost alone_host;
  alone_host.page = 3;
  alone_host.mutable_store() = file;
  alone_host.curve = EqGraph::OverlayColour(host.curve);
  EqGraph alone(alone_window.widgets(), alone_host);
  alone.DrawSectionCurve(kAllSlots, 5);
  EXPECT_EQ(graph.overlay_points(), alone.curve_points());

  // Wherever the editor's own curve leaves the frame as it is, the pixels are those of the
  // file's curve alone (the frame where that has no curve either); the editor's curve lies over
  // it.
  const QImage& file_alone = alone.bitmap();
  int compared = 0;
  int file_pixels = 0;
  for (int y = 0; y < with.height(); ++y) {
    for (int x = 0; x < with.width(); ++x) {
      if (without.pixel(x, y) != frame.pixel(x, y)) continue;
      ++compared;
      ASSERT_EQ(with.pixel(x, y), file_alone.pixel(x, y)) << x << "," << y;
      file_pixels += with.pixel(x, y) != frame.pixel(x, y);
    }
  }
  EXPECT_GT(compared, with.width() * with.height() / 2);
  EXPECT_GT(file_pixels, 1000);

  // The legend names both; the readout gives both values.
  ASSERT_NE(graph.legend(), nullptr);
  EXPECT_TRUE(graph.legend()->isVisibleTo(window.inner));
  EXPECT_TRUE(graph.legend()->text().contains(QStringLiteral("设备")));
  EXPECT_TRUE(graph.legend()->text().contains(QStringLiteral("KTV-A")));
  graph.ShowReadout(500);
  const QString readout = graph.readout()->text();
  EXPECT_TRUE(readout.contains(QStringLiteral("设备 "))) << readout.toStdString();
  EXPECT_TRUE(readout.contains(QStringLiteral("KTV-A "))) << readout.toStdString();
  EXPECT_NEAR(graph.OverlayResponseAt(500), alone.ResponseAt(500), 1e-6);

  // Taken away: the bitmap is the editor's alone again, and the legend is gone.
  graph.SetOverlay(nullptr, QString());
  EXPECT_FALSE(graph.overlay_on());
  EXPECT_EQ(Differing(graph.bitmap(), without), 0);
  EXPECT_FALSE(graph.legend()->isVisibleTo(window.inner));
  graph.ShowReadout(500);
  EXPECT_FALSE(graph.readout()->text().contains(QStringLiteral("KTV-A")));
}

// A file's image for the overlay of any page: the editor's with every band of the block moved.
ParameterStore ShiftedImage(const ParameterStore& editor, int block) {
  ParameterStore file = editor;
  file.set_observer(nullptr);
  const BlockInfo& info = *InfoOfBlock(block);
  for (int k = 0; k < info.eq_bands; ++k) {
    const int a = info.first_eq + 5 * k;
    file.StoreValue(MakeId(block, a), k % 3);
    file.StoreValue(MakeId(block, a + 1), 30 + (300 * k) / info.eq_bands);
    file.StoreValue(MakeId(block, a + 2), 40 + (k * 53) % 140);
    file.StoreValue(MakeId(block, a + 3), 15);
  }
  return file;
}

// The strip's repaint gives back the cached layer only around the old curve, and keeps the
// overlay's curve in that layer: steep and extreme curves (whose strokes reach furthest from
// their points), the overlay on, changed and taken away, must still give the whole paint's
// pixels. Extreme values come often: gains at the ends of their range, the narrowest Q.
TEST(EqLayersTest, RepaintAroundTheOldCurveGivesTheWholePaintsPixelsWithAndWithoutOverlay) {
  struct Case {
    int page;
    bool overlay;
  };
  const Case cases[] = {{0, false}, {0, true}, {1, true}, {3, false}, {3, true}, {5, true}};
  std::mt19937 random(11);
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << "page " << c.page << " overlay " << c.overlay);
    TwoGraphs g;
    g.Page(c.page);
    const int block = BlockOfPage(c.page);
    const BlockInfo& info = *InfoOfBlock(block);
    g.Draw(kAllSlots, block);
    const ParameterStore file = ShiftedImage(g.cached_host.store(), block);
    if (c.overlay) {
      g.cached.SetOverlay(&file, QStringLiteral("A"));
      g.whole.SetOverlay(&file, QStringLiteral("A"));
    }
    ASSERT_EQ(Differing(g.cached.bitmap(), g.whole.bitmap()), 0);
    for (int step = 0; step < 30; ++step) {
      const int band = static_cast<int>(random() % info.eq_bands);
      const int a = info.first_eq + 5 * band;
      const int pick = static_cast<int>(random() % 4);
      const int gain = pick == 0 ? 0 : pick == 1 ? 180 : static_cast<int>(random() % 181);
      g.Set(block, a + 2, gain);
      g.Set(block, a + 3, random() % 2 == 0 ? 0 : static_cast<int>(random() % 60));
      if (random() % 3 == 0) g.Set(block, a + 1, static_cast<int>(random() % 362));
      if (c.overlay && step == 20) {
        // Taken away and put back: both repaint whole, then strips go on over the new layer.
        g.cached.SetOverlay(nullptr, QString());
        g.whole.SetOverlay(nullptr, QString());
        ASSERT_EQ(Differing(g.cached.bitmap(), g.whole.bitmap()), 0);
        g.cached.SetOverlay(&file, QStringLiteral("A"));
        g.whole.SetOverlay(&file, QStringLiteral("A"));
      }
      g.Draw(band, block);
      ASSERT_EQ(Differing(g.cached.bitmap(), g.whole.bitmap()), 0) << "step " << step;
    }
  }
}

}  // namespace
}  // namespace kc
