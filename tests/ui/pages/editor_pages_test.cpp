// The editor's frame: tab strip, page switching with its visibility rules, and a layout that
// neither overlaps sections nor cuts off starting texts.
#include "ui/pages/editor_pages.h"

#include <gtest/gtest.h>

#include <QComboBox>
#include <QFontMetrics>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QSignalSpy>
#include <QSlider>
#include <QStackedWidget>
#include <QTest>

#include "qt_app.h"

namespace kc {
namespace {

class EditorPagesTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { test::EnsureApplication(); }
};

TEST_F(EditorPagesTest, WindowSizeAndBackground) {
  EditorPages editor;
  EXPECT_EQ(editor.size(), QSize(1106, 579));
  EXPECT_EQ(editor.palette().color(QPalette::Window), QColor(245, 242, 242));
  EXPECT_EQ(editor.pages()->objectName(), "RzPageControl1");
  EXPECT_EQ(editor.pages()->geometry(), QRect(-1, 36, 1108, 543));
  ASSERT_EQ(editor.pages()->count(), 8);
  const char* captions[] = {"音乐", "话筒", "效果", "主输出", "中置", "超低音", "后置", "系统"};
  for (int p = 0; p < 8; ++p) {
    SCOPED_TRACE(p);
    EXPECT_EQ(editor.page(p)->objectName(), QString("AdvTabSheet%1").arg(p + 1));
    EXPECT_EQ(editor.page(p)->windowTitle(), QString::fromUtf8(captions[p]));
  }
  EXPECT_EQ(editor.page(8), nullptr);
}

// Captions, places and Tags of the tab buttons are in the inventory (inventory_test.cpp).
TEST_F(EditorPagesTest, TabButtonsCarryCaptionPositionTagAndPage) {
  struct TabCase {
    const char* name;
    int tag;
    int page;
  };
  const TabCase tabs[] = {
      {"FormTabBtn1", 0, 0}, {"FormTabBtn2", 1, 1}, {"FormTabBtn9", 8, 1},
      {"FormTabBtn3", 2, 2}, {"FormTabBtn4", 3, 3}, {"FormTabBtn7", 6, 6},
      {"FormTabBtn5", 4, 4}, {"FormTabBtn6", 5, 5}, {"FormTabBtn8", 7, 7},
  };
  EditorPages editor;
  QSignalSpy clicked(&editor, &EditorPages::TabClicked);
  for (const TabCase& tab : tabs) {
    SCOPED_TRACE(tab.name);
    auto* button = editor.Find<QPushButton>(tab.name);
    ASSERT_NE(button, nullptr);
    EXPECT_EQ(editor.tab_button(tab.tag), button);
    EXPECT_EQ(EditorPages::PageOfTab(tab.tag), tab.page);

    QTest::mouseClick(button, Qt::LeftButton);
    EXPECT_EQ(editor.current_page(), tab.page);
    EXPECT_EQ(editor.selected_tab(), tab.tag);
    EXPECT_TRUE(button->isChecked());
    ASSERT_FALSE(clicked.isEmpty());
    EXPECT_EQ(clicked.takeLast().at(0).toInt(), tab.tag);
    int checked = 0;
    for (int t = 0; t < EditorPages::kTabCount; ++t) checked += editor.tab_button(t)->isChecked();
    EXPECT_EQ(checked, 1);
  }
  // Tabs never overlap; the strip between 795 and 1007 stays free for moving the window.
  for (int a = 0; a < EditorPages::kTabCount; ++a) {
    const QRect ra = editor.tab_button(a)->geometry();
    EXPECT_FALSE(ra.intersects(QRect(795, 0, 1007 - 795, 31))) << a;
    for (int b = a + 1; b < EditorPages::kTabCount; ++b) {
      EXPECT_FALSE(ra.intersects(editor.tab_button(b)->geometry())) << a << " " << b;
    }
  }
  EXPECT_EQ(editor.tab_button(9), nullptr);
}

TEST_F(EditorPagesTest, StartsOnMusicPage) {
  EditorPages editor;
  EXPECT_EQ(editor.current_page(), 0);
  EXPECT_TRUE(editor.tab_button(0)->isChecked());
  EXPECT_TRUE(editor.scene_strip()->isVisibleTo(&editor));
}

TEST_F(EditorPagesTest, ShowPageAppliesVisibilityRules) {
  struct VisibilityCase {
    int page;
    bool volume;
    bool graph;
    bool scene;
  };
  const VisibilityCase cases[] = {
      {0, true, true, true}, {1, true, true, false},   {2, true, true, false},
      {3, true, true, true}, {4, true, true, true},    {5, true, true, true},
      {6, true, true, true}, {7, false, false, false},
  };
  EditorPages editor;
  // Run the table twice in opposite orders so that every rule is also seen switching back.
  for (int round = 0; round < 2; ++round) {
    for (int i = 0; i < 8; ++i) {
      const VisibilityCase& c = cases[round == 0 ? i : 7 - i];
      SCOPED_TRACE(c.page);
      editor.ShowPage(c.page);
      EXPECT_EQ(editor.pages()->currentIndex(), c.page);
      EXPECT_EQ(editor.volume_panel()->isVisibleTo(&editor), c.volume);
      EXPECT_EQ(editor.graph_outer_panel()->isVisibleTo(&editor), c.graph);
      EXPECT_EQ(editor.single_band_panel()->isVisibleTo(&editor), c.graph);
      EXPECT_EQ(editor.scene_strip()->isVisibleTo(&editor), c.scene);
    }
  }
  editor.ShowPage(3);
  editor.ShowPage(8);
  editor.ShowPage(-1);
  EXPECT_EQ(editor.current_page(), 3);
}

// The shared areas' places are in the inventory (inventory_test.cpp); here their stacking.
TEST_F(EditorPagesTest, SharedAreasSitWhereTheWindowLayoutPutsThem) {
  EditorPages editor;
  // The single-band panel lies beneath the graph panel.
  const QObjectList& order = editor.children();
  EXPECT_LT(order.indexOf(static_cast<QObject*>(editor.single_band_panel())),
            order.indexOf(static_cast<QObject*>(editor.graph_outer_panel())));
}

// Each audio page's sections lie side by side above the graph panel and left of the divider;
// no two visible sections of any page overlap.
TEST_F(EditorPagesTest, PageSectionsDoNotOverlap) {
  EditorPages editor;
  const int graph_top_in_page = 246 - 36;
  for (int p = 0; p < EditorPages::kPageCount; ++p) {
    SCOPED_TRACE(p);
    QWidget* sheet = editor.page(p);
    QList<QWidget*> sections;
    for (QObject* child : sheet->children()) {
      auto* w = qobject_cast<QWidget*>(child);
      if (w && !w->isHidden()) sections << w;
    }
    ASSERT_FALSE(sections.isEmpty());
    for (int a = 0; a < sections.size(); ++a) {
      const QRect ra = sections[a]->geometry();
      EXPECT_TRUE(QRect(0, 0, 1108, 543).contains(ra)) << sections[a]->objectName().toStdString();
      const bool strip = ra.top() >= 519;  // the EQ strip below the graph
      if (p != EditorPages::kSystemPage && !strip) {
        EXPECT_LE(ra.bottom(), graph_top_in_page) << a;
        EXPECT_LE(ra.right(), 905) << a;
      }
      for (int b = a + 1; b < sections.size(); ++b) {
        EXPECT_FALSE(ra.intersects(sections[b]->geometry()))
            << sections[a]->metaObject()->className() << " " << a << " and " << b;
      }
    }
  }
}

// Starting texts of edit boxes, panes, lists and buttons fit inside their controls.
TEST_F(EditorPagesTest, StartingTextsAreNotCutOff) {
  EditorPages editor;
  editor.show();
  int checked = 0;
  for (QWidget* w : editor.controls()) {
    w->ensurePolished();  // style sheets set the fonts of the band columns when polished
    QString text;
    int room = 0;
    if (auto* e = qobject_cast<QLineEdit*>(w)) {
      text = e->text();
      room = e->width() - 4 - e->textMargins().left() - e->textMargins().right();
    } else if (auto* l = qobject_cast<QLabel*>(w); l && l->frameShape() != QFrame::NoFrame) {
      text = l->text();
      room = l->contentsRect().width();
    } else if (auto* b = qobject_cast<QPushButton*>(w)) {
      text = b->text();
      room = b->width() - 2;
    } else {
      continue;
    }
    if (text.isEmpty() || w->width() == 0) continue;
    ++checked;
    EXPECT_LE(w->fontMetrics().horizontalAdvance(text), room)
        << w->objectName().toStdString() << " \"" << text.toStdString() << "\"";
  }
  EXPECT_GT(checked, 400);
}

// Every shown radio button has room for its mark and caption and covers none of its neighbours.
TEST_F(EditorPagesTest, RadioButtonsFitAndDoNotOverlapTheirNeighbours) {
  EditorPages editor;
  editor.show();
  int checked = 0;
  for (QRadioButton* radio : editor.findChildren<QRadioButton*>()) {
    if (radio->isHidden()) continue;
    SCOPED_TRACE(radio->objectName().toStdString());
    radio->ensurePolished();
    ++checked;
    EXPECT_LE(radio->sizeHint().width(), radio->width());
    for (QObject* sibling : radio->parentWidget()->children()) {
      auto* w = qobject_cast<QWidget*>(sibling);
      if (!w || w == radio || w->isHidden()) continue;
      EXPECT_FALSE(radio->geometry().intersects(w->geometry()))
          << "covers " << w->metaObject()->className() << " " << w->objectName().toStdString();
    }
  }
  EXPECT_EQ(checked, 14);  // 17 radio buttons, of which the three input-gain buttons are hidden
}

// The microphone bands scroll by 69 pixels per step of MicPanScrollBar; its last position
// brings band 15 wholly into view, and in every position ten whole columns are shown.
TEST_F(EditorPagesTest, MicrophonePanRangeReachesEveryBand) {
  EditorPages editor;
  editor.show();
  editor.SelectTab(1);
  auto* box = editor.Find<QScrollArea>("MicScrollBox");
  auto* pan = editor.Find<QSlider>("MicPanScrollBar");
  ASSERT_NE(box, nullptr);
  ASSERT_NE(pan, nullptr);
  const int view = box->viewport()->width();
  for (int p = pan->minimum(); p <= pan->maximum(); ++p) {
    SCOPED_TRACE(p);
    box->horizontalScrollBar()->setValue(69 * p);
    const int offset = box->horizontalScrollBar()->value();
    EXPECT_EQ(offset, 69 * p);
    for (int band = p + 1; band <= p + 10; ++band) {
      QWidget* frame = editor.FindControl(QString("MIcQGrop%1").arg(band));
      ASSERT_NE(frame, nullptr) << band;
      const QRect column = frame->geometry();
      EXPECT_GE(column.left() - offset, 0) << band;
      EXPECT_LE(column.right() - offset, view - 1) << band;
    }
  }
}

}  // namespace
}  // namespace kc
