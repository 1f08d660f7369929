// The selected band's label and the points at the edges of the graph: the label is read whole
// inside the image and over every point, points at +12 dB and -24 dB are drawn whole, and the
// automatic Music EQ says how to edit it.
#include <gtest/gtest.h>

#include <QImage>
#include <QLabel>
#include <QPixmap>

#include "eq/view/eq_graph.h"
#include "fake_graph_host.h"
#include "qt_app.h"

namespace kc {
namespace {

using test::FakeGraphHost;
using test::GraphWindow;

class EqLabelPlaceTest : public ::testing::Test {
 protected:
  EqLabelPlaceTest() {
    test::EnsureApplication();
    window.window->show();
  }

  // Music band 1 at a frequency table step and a gain step, drawn and selected.
  void ShowBand(int frequency_step, int gain_step) {
    host.Set(0, 4, 0);  // peaking
    host.Set(0, 5, frequency_step);
    host.Set(0, 6, gain_step);
    graph.DrawSectionCurve(kAllSlots, 0);
    graph.DrawSectionCurve(0, 0);
  }

  GraphWindow window;
  FakeGraphHost host;
  EqGraph graph{window.widgets(), host};
};

constexpr QRect kImage(0, 0, 1049, 273);

TEST_F(EqLabelPlaceTest, LabelAndPointStayInsideTheImageAtEveryEdge) {
  enum class Side { kBelowPoint, kAbovePoint };
  struct Case {
    const char* name;
    int frequency_step;
    int gain_step;
    const char* last_line;
    int point_top;  // where the 14-pixel point is drawn
    Side side;
  };
  const Case cases[] = {
      // 20600 Hz lies 11 pixels from the right edge: the label moves left to keep its "Hz".
      {"20600 Hz at 0 dB", 361, 120, "20600.00Hz", 91 - 7, Side::kBelowPoint},
      {"19.7 Hz at 0 dB", 0, 120, "19.70Hz", 91 - 7, Side::kBelowPoint},
      {"1000 Hz at +12 dB", 204, 180, "1000.00Hz", 0, Side::kBelowPoint},
      {"1000 Hz at -24 dB", 204, 0, "1000.00Hz", 273 - 14, Side::kAbovePoint},
      {"20600 Hz at +12 dB", 361, 180, "20600.00Hz", 0, Side::kBelowPoint},
      {"19.7 Hz at -24 dB", 0, 0, "19.70Hz", 273 - 14, Side::kAbovePoint},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ShowBand(c.frequency_step, c.gain_step);
    QLabel* label = window.eq_label;
    QLabel* point = window.handles[0];
    EXPECT_TRUE(label->text().endsWith(QString::fromLatin1(c.last_line)))
        << label->text().toStdString();
    EXPECT_TRUE(kImage.contains(label->geometry()))
        << label->x() << "," << label->y() << " " << label->width() << "x" << label->height();
    EXPECT_TRUE(kImage.contains(point->geometry())) << point->x() << "," << point->y();
    EXPECT_EQ(point->y(), c.point_top);
    if (c.side == Side::kBelowPoint) {
      EXPECT_EQ(label->y(), point->y() + point->height());
    } else {
      EXPECT_EQ(label->y() + label->height() + 1, point->y());
    }
    // What the grab shows at the label's place is its text, in its own colour.
    const QImage shot = window.inner->grab(label->geometry()).toImage();
    int text_pixels = 0;
    for (int y = 0; y < shot.height(); ++y) {
      for (int x = 0; x < shot.width(); ++x) {
        const QColor p = shot.pixelColor(x, y);
        if (p.red() > 150 && p.green() > 200) ++text_pixels;
      }
    }
    EXPECT_GT(text_pixels, 40);
  }
}

TEST_F(EqLabelPlaceTest, LabelLiesOverEveryPoint) {
  ShowBand(204, 104);  // 1000 Hz, -3.2 dB: the label above its point
  const QObjectList& order = window.inner->children();
  const qsizetype label_at = order.indexOf(window.eq_label);
  for (QLabel* point : window.handles) {
    EXPECT_GT(label_at, order.indexOf(point)) << point->objectName().toStdString();
  }
  // Another point right under the label's middle line: the label's text is drawn over it.
  QLabel* under = window.handles[kLowPassHandle];
  const QRect label = window.eq_label->geometry();
  under->move(label.center() - QPoint(12, 12));
  under->show();
  const QRect inside = under->geometry().adjusted(5, 5, -5, -5);  // within the round face
  const QImage shot = window.inner->grab(inside).toImage();
  int label_pixels = 0;
  for (int y = 0; y < shot.height(); ++y) {
    for (int x = 0; x < shot.width(); ++x) {
      const QColor p = shot.pixelColor(x, y);
      // The label's (199, 255, 255) over the point's orange (255, 177, 106).
      if (p.green() > 215 && p.blue() > 200) ++label_pixels;
    }
  }
  EXPECT_GT(label_pixels, 3);
}

TEST_F(EqLabelPlaceTest, AutomaticMusicEqShowsHowToEditIt) {
  struct Case {
    const char* name;
    int page;
    int auto_manual;  // 0 automatic, 1 manual
    bool shown;
  };
  const Case cases[] = {
      {"Music, automatic", 0, 0, true},
      {"Music, manual", 0, 1, false},
      {"Main output, automatic", 3, 0, false},
      {"Music, automatic again", 0, 0, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    host.page = c.page;
    host.Set(0, 0, c.auto_manual);
    graph.Timer1Timer();  // the switch itself redraws nothing
    QLabel* hint = graph.automatic_hint();
    ASSERT_NE(hint, nullptr);
    EXPECT_EQ(hint->isVisibleTo(window.inner), c.shown);
    if (!c.shown) continue;
    EXPECT_TRUE(hint->text().contains(QStringLiteral("“手动”"))) << hint->text().toStdString();
    EXPECT_TRUE(kImage.contains(hint->geometry()));
    EXPECT_TRUE(hint->testAttribute(Qt::WA_TransparentForMouseEvents));
  }
}

}  // namespace
}  // namespace kc
