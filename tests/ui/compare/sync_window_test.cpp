// The list of the editor's changes after a connection, on the real pages: its rows named as the
// comparison names them, the default checks for the same box and for another, Space and Ctrl+A,
// and the answers its two buttons and its closing give.
#include "ui/compare/sync_window.h"

#include <gtest/gtest.h>

#include <QCheckBox>
#include <QLabel>
#include <QPushButton>
#include <QTableWidget>
#include <QTest>
#include <functional>

#include "editor_fixture.h"
#include "model/mode_compare.h"
#include "model/mode_view.h"
#include "ui/compare/compare_window.h"

namespace kc {
namespace {

using Cells = std::vector<std::pair<int, int>>;

class SyncWindowTest : public ::testing::Test, public test::EditorFixture {
 protected:
  SyncWindowTest() : window(&pages) {
    QObject::connect(&window, &SyncWindow::Answered,
                     [this](Cells cells) { answers.push_back(std::move(cells)); });
  }

  // The editor's image: the box's with the echo level at 41 % and music band 7's frequency one
  // step up.
  ParameterStore EditorImage() const {
    ParameterStore editor = store;
    editor.set_observer(nullptr);
    editor.StoreValue(0x0301, store.Working(0x0301) == 41 ? 40 : 41);
    const int frequency = MakeId(0, InfoOfBlock(0)->first_eq + 5 * 6 + 1);
    editor.StoreValue(frequency, store.Working(frequency) + 1);
    return editor;
  }

  QStringList Row(int row) const {
    QStringList cells;
    for (int column = 0; column < kDifferenceColumns; ++column)
      cells << window.list()->item(row, column)->text();
    return cells;
  }
  Qt::CheckState Check(int row) const { return window.list()->item(row, 0)->checkState(); }

  SyncWindow window;
  std::vector<Cells> answers;
};

struct OfferCase {
  const char* name;
  bool same_box;
  const char* text_begins;
  Qt::CheckState checks;
  const char* send_text;
  bool send_enabled;
};

TEST_F(SyncWindowTest, RowsTextsAndDefaultChecksForTheSameBoxAndAnother) {
  Load(0x0301, 40);
  const OfferCase cases[] = {
      {"same box", true, "编辑器中有 2 项修改设备 1A2B3C4D 中还没有。", Qt::Checked,
       "发送选中项（2）", true},
      {"another box", false,
       "编辑器中有 2 项修改，是为另一台设备所做的；现在连接的是设备 1A2B3C4D。", Qt::Unchecked,
       "发送选中项（0）", false},
  };
  for (const OfferCase& c : cases) {
    SCOPED_TRACE(c.name);
    const ParameterStore editor = EditorImage();
    window.Offer(SyncRows(editor, store, &pages), c.same_box, QStringLiteral("1A2B3C4D"));
    EXPECT_TRUE(window.isVisible());
    EXPECT_EQ(window.windowTitle(), QStringLiteral("提示"));
    EXPECT_TRUE(window.text_label()->text().startsWith(QString::fromUtf8(c.text_begins)))
        << window.text_label()->text().toStdString();
    ASSERT_EQ(window.list()->rowCount(), 2);
    EXPECT_EQ(Row(0), (QStringList{"音乐", "EQ 7 频率", "1410.0Hz", "1390.0Hz"}));
    EXPECT_EQ(Row(1), (QStringList{"效果", "回声效果音量", "41%", "40%"}));
    EXPECT_EQ(Check(0), c.checks);
    EXPECT_EQ(Check(1), c.checks);
    EXPECT_EQ(window.send_button()->text(), QString::fromUtf8(c.send_text));
    EXPECT_EQ(window.send_button()->isEnabled(), c.send_enabled);
    EXPECT_EQ(window.keep_button()->text(), QStringLiteral("保留设备设置"));
    window.keep_button()->click();
    EXPECT_FALSE(window.isVisible());
  }
  EXPECT_EQ(answers, (std::vector<Cells>{{}, {}}));
}

// What the user does, and the cells the answer carries: row 0 is music band 7's frequency
// (device slot 35 of block 0), row 1 the echo level (slot 1 of block 3).
struct AnswerCase {
  const char* name;
  bool same_box;
  std::function<void(SyncWindow&)> act;
  Cells answer;
};

void PrintTo(const AnswerCase& c, std::ostream* os) { *os << c.name; }

void Key(SyncWindow& w, int key, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
  QTest::keyClick(w.list(), Qt::Key(key), modifiers);
}

TEST_F(SyncWindowTest, SpaceCtrlAAndTheButtonsGiveTheAnswer) {
  Load(0x0301, 40);
  const AnswerCase cases[] = {
      {"send all", true, [](SyncWindow& w) { w.send_button()->click(); }, {{0, 35}, {3, 1}}},
      {"space unchecks the first row",
       true,
       [](SyncWindow& w) {
         Key(w, Qt::Key_Space);
         w.send_button()->click();
       },
       {{3, 1}}},
      {"down and space checks the second of another box's",
       false,
       [](SyncWindow& w) {
         Key(w, Qt::Key_Down);
         Key(w, Qt::Key_Space);
         w.send_button()->click();
       },
       {{3, 1}}},
      {"ctrl+a checks all of another box's",
       false,
       [](SyncWindow& w) {
         Key(w, Qt::Key_A, Qt::ControlModifier);
         w.send_button()->click();
       },
       {{0, 35}, {3, 1}}},
      {"ctrl+a twice unchecks all, send is disabled, keep",
       true,
       [](SyncWindow& w) {
         Key(w, Qt::Key_Space);
         Key(w, Qt::Key_A, Qt::ControlModifier);  // some checked: all
         Key(w, Qt::Key_A, Qt::ControlModifier);  // all checked: none
         EXPECT_FALSE(w.send_button()->isEnabled());
         w.send_button()->click();
         w.keep_button()->click();
       },
       {}},
      {"the all box unchecks all, then a click on its row checks one",
       true,
       [](SyncWindow& w) {
         w.all_box()->click();
         EXPECT_EQ(w.all_box()->checkState(), Qt::Unchecked);
         Key(w, Qt::Key_Space);
         EXPECT_EQ(w.all_box()->checkState(), Qt::PartiallyChecked);
         w.send_button()->click();
       },
       {{0, 35}}},
      {"closing the window keeps", true, [](SyncWindow& w) { w.close(); }, {}},
      {"escape keeps", true, [](SyncWindow& w) { QTest::keyClick(&w, Qt::Key_Escape); }, {}},
  };
  for (const AnswerCase& c : cases) {
    SCOPED_TRACE(c.name);
    answers.clear();
    window.Offer(SyncRows(EditorImage(), store, &pages), c.same_box, QStringLiteral("1A2B3C4D"));
    c.act(window);
    ASSERT_EQ(answers.size(), 1u);
    EXPECT_EQ(answers[0], c.answer);
    EXPECT_FALSE(window.isVisible());
  }
}

// Every row names the tab of the page that shows its control and the caption it has there, the
// same in the list and in the comparison's naming; a System item on another page or on the volume
// panel is named by that page, not by the System page.
TEST_F(SyncWindowTest, RowsNameThePageThatShowsTheControlAndItsCaption) {
  const struct {
    int id;
    const char* page;
    const char* caption;
  } cases[] = {{0x0920, "音乐", "音量控制 音乐"},
               {0x0903, "音乐", "音乐输入增益"},
               {0x0907, "系统设定", "音乐最大音量"},
               {0x0529, "主输出", "EQ 3 频率"},
               {0x0000, "音乐", "手动/自动"}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.caption);
    ParameterStore editor = store;
    editor.set_observer(nullptr);
    editor.StoreValue(c.id, store.Working(c.id) + 1);
    window.Offer(SyncRows(editor, store, &pages), true, QStringLiteral("1A2B3C4D"));
    ASSERT_EQ(window.list()->rowCount(), 1);
    EXPECT_EQ(Row(0).mid(0, 2), (QStringList{c.page, c.caption}));
    const ViewRow& row = **CompareModes(editor, store, true, 0).rows.begin();
    EXPECT_EQ(NamesOfRow(row, &pages), (ParameterNames{c.page, c.caption}));
  }
}

}  // namespace
}  // namespace kc
