// "复制EQ" and "粘贴EQ" on the editor's pages: which sections take which copies, the values a
// paste puts in the store, the question before it, one undo step, and what it sends.
#include "ui/editing/eq_clipboard.h"

#include <gtest/gtest.h>

#include <QGroupBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

#include "editor_fixture.h"
#include "scripted_message_boxes.h"
#include "ui/editing/edit_history.h"

namespace kc {
namespace {

using Sent = test::RecordingEditLink::Sent;

// Sections by tab order: Music Sing, Music Disco, Microphone A, B, Echo, Main, Rear, Centre, Sub.
constexpr EqSectionRef kMusicSing{0, 0}, kMusicDisco{0, 1}, kMicA{1, 0}, kMicB{1, 1}, kEcho{3, 0},
    kMain{5, 0}, kRear{8, 0}, kCentre{7, 0}, kSub{6, 0};

TEST(EqSectionFitTest, OnlySectionsOfOneShapeTakeEachOthersCopies) {
  // Each row: a section and the sections its copy fits.
  struct Row {
    EqSectionRef from;
    std::vector<EqSectionRef> fits;
  };
  const Row rows[] = {
      {kMusicSing, {kMusicSing, kMusicDisco}},
      {kMusicDisco, {kMusicSing, kMusicDisco}},
      {kMicA, {kMicA, kMicB}},
      {kMicB, {kMicA, kMicB}},
      {kEcho, {kEcho}},
      {kMain, {kMain, kRear, kCentre}},
      {kRear, {kMain, kRear, kCentre}},
      {kCentre, {kMain, kRear, kCentre}},
      {kSub, {kSub}},
  };
  ASSERT_EQ(EqSections().size(), std::size(rows));
  for (const Row& row : rows) {
    SCOPED_TRACE(EqSectionCaption(row.from).toStdString());
    EXPECT_EQ(FittingSections(row.from), row.fits);
    for (const EqSectionRef& to : EqSections()) {
      const bool listed = std::find(row.fits.begin(), row.fits.end(), to) != row.fits.end();
      EXPECT_EQ(EqSectionsFit(row.from, to), listed) << EqSectionCaption(to).toStdString();
    }
  }
  EXPECT_EQ(EqSectionCaption(kMusicDisco), QStringLiteral("音乐（舞蹈）"));
  EXPECT_EQ(EqSectionCaption(kMicB), QStringLiteral("麦克风B"));
  EXPECT_EQ(EqSectionCaption(kRear), QStringLiteral("后置输出"));
}

class EqClipboardTest : public ::testing::Test, public test::EditorFixture {
 protected:
  QPushButton* Button(int page, const char* name) const {
    return pages.page(page)->findChild<QPushButton*>(QString::fromLatin1(name));
  }
  // Tab tags: 0 Music, 1 Microphone A, 2 Effect, 3 Main, 4 Centre, 5 Subwoofer, 6 Rear, 8 B.
  void Tab(int tag) { ClickTab(tag + 1); }
  // Distinct values in every band of a block's section on show (types, frequencies, gains, Qs).
  void FillBands(int block, int seed) {
    const BlockInfo& info = *InfoOfBlock(block);
    for (int k = 0; k < info.eq_bands; ++k) {
      const int a = info.first_eq + 5 * k;
      store.StoreValue(MakeId(block, a), (k + seed) % 3);
      store.StoreValue(MakeId(block, a + 1), 20 + 23 * k + seed);
      store.StoreValue(MakeId(block, a + 2), 40 + 9 * k + seed);
      store.StoreValue(MakeId(block, a + 3), 5 + k + seed);
      store.StoreValue(MakeId(block, a + 4), 8 + k + seed);
    }
    refresher->RefreshPages(kAllBlocks);
    link.sent.clear();
  }
  std::vector<int32_t> Bands(int block) const {
    std::vector<int32_t> values;
    const BlockInfo& info = *InfoOfBlock(block);
    for (int i = 0; i < 5 * info.eq_bands; ++i)
      values.push_back(store.Working(block, info.first_eq + i));
    return values;
  }

  EditHistory history{*session};
  ScriptedMessageBoxes boxes;
  EqClipboard clipboard{*session, history, boxes};
};

TEST_F(EqClipboardTest, EveryPageWithAGraphHasTheButtonsBesideTheEqStripCoveringNothing) {
  for (int page = 0; page <= kLastEqPage; ++page) {
    SCOPED_TRACE(page);
    QPushButton* copy = Button(page, "EqCopyBtn");
    QPushButton* paste = Button(page, "EqPasteBtn");
    ASSERT_NE(copy, nullptr);
    ASSERT_NE(paste, nullptr);
    EXPECT_EQ(copy->text(), QStringLiteral("复制EQ"));
    EXPECT_EQ(paste->text(), QStringLiteral("粘贴EQ"));
    EXPECT_FALSE(paste->isEnabled());  // nothing copied yet
    // Inside the window, and over no other control of the page or of the shared areas.
    for (QPushButton* b : {copy, paste}) {
      const QRect place(b->mapTo(&pages, QPoint(0, 0)), b->size());
      EXPECT_TRUE(pages.rect().contains(place));
      for (QWidget* other : pages.page(page)->findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
        if (other == copy || other == paste || !other->isVisibleTo(pages.page(page))) continue;
        EXPECT_FALSE(b->geometry().intersects(other->geometry()))
            << other->objectName().toStdString();
      }
      for (QWidget* shared : {static_cast<QWidget*>(pages.scene_strip()), pages.graph_outer_panel(),
                              static_cast<QWidget*>(pages.volume_panel())}) {
        EXPECT_FALSE(place.intersects(shared->geometry())) << shared->objectName().toStdString();
      }
    }
  }
  EXPECT_EQ(Button(kSystemPage, "EqCopyBtn"), nullptr);
}

TEST_F(EqClipboardTest, PasteButtonsFollowTheSectionOnShowAndNameTheSectionsThatFit) {
  Tab(3);  // Main
  Button(3, "EqCopyBtn")->click();
  struct Case {
    int tag;
    int page;
    bool enabled;
  };
  const Case cases[] = {{3, 3, true},  {4, 4, true},  {6, 6, true},  {5, 5, false},
                        {2, 2, false}, {0, 0, false}, {1, 1, false}, {8, 1, false}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.tag);
    Tab(c.tag);
    QPushButton* paste = Button(c.page, "EqPasteBtn");
    EXPECT_EQ(paste->isEnabled(), c.enabled);
    if (!c.enabled) {
      EXPECT_EQ(paste->toolTip(), QStringLiteral("主输出的EQ只能粘贴到：主输出、后置输出、中置"));
    }
  }
}

TEST_F(EqClipboardTest, PasteAsksThenPutsEveryBandAndTheSharedPassFiltersInOneUndoStep) {
  Tab(3);
  FillBands(5, 0);
  store.StoreValue(MakeId(5, 16), 25);  // Main's high-pass
  store.StoreValue(MakeId(5, 18), 1);   // 24 dB
  const std::vector<int32_t> main = Bands(5);
  Button(3, "EqCopyBtn")->click();

  Tab(4);  // Centre
  const std::vector<int32_t> centre_before = Bands(7);
  const int32_t centre_hp = store.Working(7, 16);
  link.sent.clear();
  history.EndGesture();  // the tab click's, as the quiet time after its release ends it
  const int steps = history.stack().count();
  boxes.answers = {true};
  Button(4, "EqPasteBtn")->click();
  ASSERT_EQ(boxes.shown.size(), 1u);
  EXPECT_EQ(boxes.shown[0].text, QStringLiteral("将主输出的EQ粘贴到中置?"));
  EXPECT_EQ(Bands(7), main);
  EXPECT_EQ(store.Working(7, 16), 25);
  EXPECT_EQ(store.Working(7, 18), 1);
  // Every band differed: one band frame each; the two pass-filter values as parameters.
  EXPECT_EQ(link.Of(Sent::kBand).size(), 5u);
  EXPECT_EQ(link.Of(Sent::kParam).size(), 2u);
  // The pages show it.
  EXPECT_EQ(W<QLineEdit>("CenterFreEdit1")->text().isEmpty(), false);
  EXPECT_EQ(history.stack().count(), steps + 1);

  // One step back: Centre as it was, sent again.
  link.sent.clear();
  history.Undo();
  EXPECT_EQ(Bands(7), centre_before);
  EXPECT_EQ(store.Working(7, 16), centre_hp);
  EXPECT_FALSE(link.sent.empty());
  history.Redo();
  EXPECT_EQ(Bands(7), main);
}

TEST_F(EqClipboardTest, NoToTheQuestionChangesNothing) {
  Tab(6);  // Rear
  FillBands(8, 3);
  Button(6, "EqCopyBtn")->click();
  Tab(3);
  const std::vector<int32_t> before = Bands(5);
  history.EndGesture();
  const int steps = history.stack().count();
  boxes.answers = {false};
  Button(3, "EqPasteBtn")->click();
  EXPECT_EQ(boxes.shown.size(), 1u);
  EXPECT_EQ(Bands(5), before);
  EXPECT_TRUE(link.sent.empty());
  EXPECT_EQ(history.stack().count(), steps);
}

TEST_F(EqClipboardTest, MainOntoRearTakesTheHighPassButNotTheSlopeRearLacks) {
  Tab(3);
  FillBands(5, 1);
  store.StoreValue(MakeId(5, 16), 30);
  store.StoreValue(MakeId(5, 18), 1);
  Button(3, "EqCopyBtn")->click();
  Tab(6);
  const int32_t rear_18 = store.Working(8, 18);  // the Rear block's compressor attack
  boxes.answers = {true};
  Button(6, "EqPasteBtn")->click();
  EXPECT_EQ(Bands(8), Bands(5));
  EXPECT_EQ(store.Working(8, 16), 30);
  EXPECT_EQ(store.Working(8, 18), rear_18);
}

TEST_F(EqClipboardTest, MicrophoneAOntoBAndMusicSingOntoDisco) {
  Tab(1);
  FillBands(1, 2);
  store.StoreValue(MakeId(1, 0), 12);  // group A's high-pass
  const ParameterStore::Row group_a = store.DeviceRow(1);
  Button(1, "EqCopyBtn")->click();
  Tab(8);  // group B on the same page
  boxes.answers = {true};
  Button(1, "EqPasteBtn")->click();
  EXPECT_EQ(boxes.shown.back().text, QStringLiteral("将麦克风A的EQ粘贴到麦克风B?"));
  const BlockInfo& mic = *InfoOfBlock(1);
  for (int i = 0; i < 5 * mic.eq_bands; ++i) {
    const int slot = DeviceSlot(1, mic.first_eq + i, 0);
    EXPECT_EQ(store.Device(2, slot), group_a[slot]) << i;
  }
  EXPECT_EQ(store.Device(2, 0), 12);
  EXPECT_EQ(store.DeviceRow(1), group_a);  // A untouched

  Tab(0);
  ClickTab(0 + 1);
  FillBands(0, 4);
  const std::vector<int32_t> sing = Bands(0);
  Button(0, "EqCopyBtn")->click();
  W<QPushButton>("ManulModeBtn")->click();
  W<QPushButton>("DiscoModeBtn")->click();
  ASSERT_EQ(store.disco(), 1);
  EXPECT_TRUE(Button(0, "EqPasteBtn")->isEnabled());
  boxes.answers = {true};
  Button(0, "EqPasteBtn")->click();
  EXPECT_EQ(boxes.shown.back().text, QStringLiteral("将音乐（唱歌）的EQ粘贴到音乐（舞蹈）?"));
  EXPECT_EQ(Bands(0), sing);
  const BlockInfo& music = *InfoOfBlock(0);
  for (int i = 0; i < 5 * music.eq_bands; ++i) {
    const int index = music.first_eq + i;
    EXPECT_EQ(store.Device(0, DeviceSlot(0, index, 1)), store.Device(0, DeviceSlot(0, index, 0)));
  }
}

}  // namespace
}  // namespace kc
