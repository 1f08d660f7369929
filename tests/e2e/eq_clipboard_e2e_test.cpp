// A paste of one output's EQ onto another reaches the box: one band frame per changed band (and
// the shared pass-filter values as parameters), after which the box equals the editor; its undo
// reaches the box the same way.
#include "journey.h"  // first: see there
// clang-format off
#include <gtest/gtest.h>

#include <QPushButton>
#include <QTest>

#include "ui/editing/edit_history.h"
// clang-format on

namespace kc {
namespace {

using e2e::ImageDifferences;
using e2e::WaitFor;

class EqClipboardAgainstBox : public e2e::ProgramOnBox {
 protected:
  void SetUp() override { Start(); }
  QPushButton* Button(int page, const char* name) {
    return Editor().pages().page(page)->findChild<QPushButton*>(QString::fromLatin1(name));
  }
};

TEST_F(EqClipboardAgainstBox, PasteSendsOneBandFramePerChangedBandAndTheBoxFollows) {
  Click("ManulModeBtn");
  ASSERT_TRUE(BoxFollows()) << ImageDifferences(Editor().store(), Box());
  ParameterStore& store = Editor().store();
  // Main's bands made unlike Centre's in every band, by typing as a user does.
  Tab(4);  // Main
  for (int band = 1; band <= 5; ++band) {
    Replace(("MainGainEdit" + std::to_string(band)).c_str(),
            QString::number(-10 + 3 * band) + QStringLiteral(".0"));
  }
  ASSERT_TRUE(BoxFollows()) << ImageDifferences(store, Box());
  QTest::mouseClick(Button(3, "EqCopyBtn"), Qt::LeftButton);

  Tab(5);  // Centre
  const BlockInfo& info = *InfoOfBlock(7);
  int bands_changed = 0;
  for (int k = 0; k < info.eq_bands; ++k) {
    for (int f = 0; f < 5; ++f) {
      if (store.Working(7, info.first_eq + 5 * k + f) !=
          store.Working(5, InfoOfBlock(5)->first_eq + 5 * k + f)) {
        ++bands_changed;
        break;
      }
    }
  }
  int pass_changed = 0;
  for (int index : {16, 18}) pass_changed += store.Working(7, index) != store.Working(5, index);
  ASSERT_EQ(bands_changed, 5);

  ASSERT_TRUE(BoxFollows());
  const int edits_before = Box().edit_frames();
  boxes_.answers = {true};
  QTest::mouseClick(Button(4, "EqPasteBtn"), Qt::LeftButton);
  ASSERT_FALSE(boxes_.shown.empty());
  EXPECT_EQ(boxes_.shown.back().text, QStringLiteral("将主输出的EQ粘贴到中置?"));
  ASSERT_TRUE(BoxFollows()) << ImageDifferences(store, Box());
  ASSERT_TRUE(LinkQuiet(3000));
  const int sent = Box().edit_frames() - edits_before;
  // The pacer sends a burst's last parameter twice.
  EXPECT_GE(sent, bands_changed + pass_changed);
  EXPECT_LE(sent, bands_changed + pass_changed + (pass_changed > 0 ? 1 : 0));
  for (int i = 0; i < 5 * info.eq_bands; ++i) {
    EXPECT_EQ(Box().Slot(7, DeviceSlot(7, info.first_eq + i, store.disco())),
              store.Working(5, InfoOfBlock(5)->first_eq + i))
        << i;
  }

  // Undone: the box has Centre's own values again.
  const int before_undo = Box().edit_frames();
  Editor().history().Undo();
  ASSERT_TRUE(BoxFollows()) << ImageDifferences(store, Box());
  EXPECT_GT(Box().edit_frames(), before_undo);
}

}  // namespace
}  // namespace kc
