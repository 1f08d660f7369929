// The handler families on the real pages, driven by QTest mouse and key events, with a recording
// link in place of the box. Expected texts come from the value tables, read by hand.
#include <gtest/gtest.h>

#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QGroupBox>
#include <QMimeData>
#include <QRadioButton>
#include <QSlider>
#include <QTest>
#include <functional>

#include "editor_fixture.h"
#include "ui/pages/control_factory.h"

namespace kc {
namespace {

using Sent = test::RecordingEditLink::Sent;

class HandlersTest : public ::testing::Test, public test::EditorFixture {
 protected:
  void Click(const char* name) { QTest::mouseClick(W(name), Qt::LeftButton); }
  // Clicks into an edit box, replaces its text by typing and presses Enter.
  void Type(const char* name, const char* keys) {
    auto* edit = W<QLineEdit>(name);
    QTest::mouseClick(edit, Qt::LeftButton);
    edit->selectAll();
    QTest::keyClick(edit, Qt::Key_Delete);
    QTest::keyClicks(edit, QString::fromLatin1(keys));
    QTest::keyClick(edit, Qt::Key_Return);
  }
  // Focus events reach the widgets of the active window only.
  void Activate() {
    pages.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&pages));
  }
  QWidget* Focus() const { return QApplication::focusWidget(); }
};

TEST_F(HandlersTest, MicrophoneTabsChooseTheGroupWithoutSending) {
  store.set_mic_group(1);
  store.StoreValue(0x0100, 50);
  store.set_mic_group(0);
  store.StoreValue(0x0100, 10);

  ClickTab(9);
  EXPECT_EQ(pages.current_page(), 1);
  EXPECT_EQ(session->page_selector(), 0x0101);
  EXPECT_EQ(W<QSlider>("MicHPFreBar")->value(), 50);
  EXPECT_EQ(session->curve_colour(), kCurveColourGroupB);
  EXPECT_TRUE(W<QAbstractButton>("MicBBtn")->isChecked());

  ClickTab(2);
  EXPECT_EQ(W<QSlider>("MicHPFreBar")->value(), 10);
  EXPECT_EQ(session->curve_colour(), kCurveColour);
  EXPECT_TRUE(link.sent.empty());

  ClickTab(8);
  EXPECT_FALSE(pages.graph_outer_panel()->isVisibleTo(&pages));
  draws.clear();
  ClickTab(4);
  EXPECT_EQ(session->page_selector(), 0x0503);
  EXPECT_TRUE(pages.graph_outer_panel()->isVisibleTo(&pages));
  ASSERT_FALSE(draws.empty());
  EXPECT_EQ(draws.front(), std::make_pair(20, 5));
}

TEST_F(HandlersTest, VolumeRulesProtectTheLoudspeakers) {
  Load(0x0906, 40);  // music start
  Load(0x0907, 60);  // music maximum
  Load(0x0920, 50);  // music normal
  ClickTab(8);
  auto* maximum = W<QSlider>("SysMusMaxVolBar");
  auto* normal = W<QSlider>("SysMusNormalVolBar");
  auto* start = W<QSlider>("SysMusStartVolBar");

  // The normal volume rises one step per change event, however far the key asks.
  QTest::keyClick(normal, Qt::Key_End);
  EXPECT_EQ(normal->value(), 51);
  QTest::keyClick(normal, Qt::Key_End);
  EXPECT_EQ(normal->value(), 52);
  EXPECT_EQ(W<QLabel>("SysMusNormalVolPane")->text(), "52");

  // The maximum pulled below both drags them down, each sent.
  QTest::keyClick(maximum, Qt::Key_Home);
  EXPECT_EQ(maximum->value(), 0);
  EXPECT_EQ(start->value(), 0);
  EXPECT_EQ(normal->value(), 0);
  EXPECT_EQ(store.Working(0x0906), 0);
  EXPECT_EQ(store.Working(0x0920), 0);
  EXPECT_EQ(link.sent.back(), (Sent{Sent::kParam, 0x0907, 0, {}}));

  // Never above the maximum.
  for (int i = 0; i < 3; ++i) QTest::keyClick(normal, Qt::Key_End);
  EXPECT_EQ(normal->value(), 0);
}

TEST_F(HandlersTest, TwoStateButtonsAndTheAutoRule) {
  // Auto (0x0000 = 0): the Music bypass is the box's; other pages' bypass buttons still work.
  Click("MusEQAllpassBtn");
  EXPECT_TRUE(link.sent.empty());
  EXPECT_FALSE(W<QAbstractButton>("MusEQAllpassBtn")->isChecked());

  ClickTab(4);
  Click("MainEQAllpassBtn");
  const int bypass_id = TagOf(W("MainEQAllpassBtn"));
  EXPECT_EQ(link.sent.back(), (Sent{Sent::kParam, bypass_id, 1, {}}));
  EXPECT_EQ(session->eq_bypass(5), 1);
  EXPECT_TRUE(W("EQPassLabel")->isVisibleTo(&pages));

  // Auto leaves the output pages' Sing/Disco controls to the box.
  EXPECT_FALSE(W("MainMusPhaseBtn")->isEnabled());
  ClickTab(3);
  Click("EchoEffPhaseBtn");
  EXPECT_EQ(Text("EchoEffPhaseBtn"), "+");
  Click("EchoEffPhaseBtn");
  EXPECT_EQ(Text("EchoEffPhaseBtn"), "-");
  EXPECT_EQ(link.sent.back(), (Sent{Sent::kParam, 0x0300, 0, {}}));

  Click("ManulModeBtn");
  EXPECT_EQ(link.sent.back(), (Sent{Sent::kParam, 0x0000, 1, {}}));
  EXPECT_TRUE(W("MusScrollBox")->isEnabled());
  ClickTab(1);
  Click("MusEQAllpassBtn");
  EXPECT_EQ(link.sent.back(), (Sent{Sent::kParam, TagOf(W("MusEQAllpassBtn")), 1, {}}));
  Click("AutoModeBtn");
  EXPECT_FALSE(W("MusScrollBox")->isEnabled());
}

TEST_F(HandlersTest, RadioGroupsAndFilterTypes) {
  ClickTab(6);
  Click("ManulModeBtn");
  auto* type = W<QComboBox>("SubMusHPType");
  type->setCurrentIndex(3);  // USER 12dB
  EXPECT_TRUE(W("SubMusHPuserQBar")->isEnabled());
  EXPECT_EQ(link.sent.back(), (Sent{Sent::kParam, 0x0608, 3, {}}));
  EXPECT_EQ(draws.back(), std::make_pair(3, 6));
  type->setCurrentIndex(1);  // Butterworth 24dB
  EXPECT_FALSE(W("SubMusHPuserQBar")->isEnabled());

  ClickTab(4);
  draws.clear();
  Click("MainMusHPslope2");
  EXPECT_EQ(link.sent.back(), (Sent{Sent::kParam, 0x0512, 1, {}}));
  EXPECT_FALSE(draws.empty());

  ClickTab(8);
  W("SysUserMangerGrop")->setEnabled(true);  // as a correct unlock leaves it
  Click("SysManagerBtn");
  EXPECT_EQ(link.sent.back(), (Sent{Sent::kParam, 0x090C, 1, {}}));
  EXPECT_FALSE(W("SysUserMangerGrop")->isEnabled());
  EXPECT_TRUE(W("RzBmpButton138")->isEnabled());
  EXPECT_TRUE(W("SignRzGroup")->isEnabled());

  // The music input level list sends; choosing a mode in the mode list sends nothing (only the
  // recall button does, after its question).
  W<QComboBox>("SysMusInputLevelBox")->setCurrentIndex(2);
  EXPECT_EQ(link.sent.back(), (Sent{Sent::kParam, 0x0903, 2, {}}));
  const std::size_t sent = link.sent.size();
  W<QComboBox>("SysModeBox")->setCurrentIndex(4);
  EXPECT_EQ(link.sent.size(), sent);
}

TEST_F(HandlersTest, TypeButtonSendsTheBandOnceAndShowsItsQ) {
  Click("ManulModeBtn");
  link.sent.clear();
  Click("MusLSQBtn2");
  EXPECT_EQ(W<QComboBox>("MusModeBox2")->currentIndex(), 1);
  ASSERT_EQ(link.Of(Sent::kBand).size(), 1u);
  EXPECT_EQ(link.sent.front(), (Sent{Sent::kBand, 0x0009, 1, {}}));
  EXPECT_EQ(Text("MusQEdit2"), "0.71");
  EXPECT_TRUE(W("MusLSQBtn2")->property(kSelectedProperty).toBool());
  EXPECT_EQ(session->last_change(), (LastChange{0x0009, 1}));
}

TEST_F(HandlersTest, TypedGainIsFilteredParsedAndSentOnce) {
  Click("ManulModeBtn");
  link.sent.clear();
  Type("MusGainEdit1", "a-2b");
  EXPECT_EQ(Text("MusGainEdit1"), "-2.0dB");
  EXPECT_EQ(store.Working(0x0006), 110);
  EXPECT_EQ(W<QSlider>("MusEQGainBar1")->value(), 110);
  ASSERT_EQ(link.Of(Sent::kBand).size(), 1u);
  EXPECT_EQ(link.sent.back(), (Sent{Sent::kBand, 0x0006, 110, {}}));

  // An empty box gets its last good text back and nothing changes.
  Type("MusGainEdit1", "");
  EXPECT_EQ(Text("MusGainEdit1"), "-2.0dB");
  EXPECT_EQ(link.Of(Sent::kBand).size(), 1u);
}

TEST_F(HandlersTest, StepKeysStopAtTheEndsOfEachRange) {
  Click("ManulModeBtn");
  struct Case {
    const char* box;
    int id;
    int stored;
    Qt::Key key;
    const char* text;
    int expected;
  };
  const Case cases[] = {
      {"MusFreEdit1", 0x0005, 361, Qt::Key_Up, "20600.0Hz", 361},
      {"MusFreEdit1", 0x0005, 0, Qt::Key_Down, "19.7Hz", 0},
      {"MusFreEdit1", 0x0005, 204, Qt::Key_Right, "1020.0Hz", 205},
      {"MusGainEdit1", 0x0006, 180, Qt::Key_Up, "12.0dB", 180},
      {"MusGainEdit1", 0x0006, 120, Qt::Key_Up, "0.2dB", 121},
      {"MusGainEdit1", 0x0006, 0, Qt::Key_Left, "-24.0dB", 0},
      {"MusQEdit3", 0x0011, 100, Qt::Key_Up, "128.00", 100},
  };
  for (const Case& c : cases) {
    Load(c.id, c.stored);
    auto* edit = W<QLineEdit>(c.box);
    QTest::mouseClick(edit, Qt::LeftButton);
    QTest::keyClick(edit, c.key);
    EXPECT_EQ(edit->text(), c.text) << c.box << " from " << c.stored;
    EXPECT_EQ(store.Working(c.id), c.expected) << c.box;
    ASSERT_EQ(link.Of(Sent::kBand).size(), 1u) << c.box;
  }
}

TEST_F(HandlersTest, ShelfBandQIsCappedAt28) {
  Click("ManulModeBtn");
  Click("MusHSQBtn4");  // band 4 becomes a high shelf; its Q box now edits field 4
  Type("MusQEdit4", "3");
  EXPECT_EQ(Text("MusQEdit4"), "2.00");
  EXPECT_EQ(store.Working(0x0004 + 3 * 5 + 4), 28);
  QTest::keyClick(W("MusQEdit4"), Qt::Key_Up);
  EXPECT_EQ(store.Working(0x0004 + 3 * 5 + 4), 28);
}

TEST_F(HandlersTest, SlidersWithPanesAndTheLinkDown) {
  ClickTab(2);
  QTest::keyClick(W("MicHPFreBar"), Qt::Key_End);
  EXPECT_EQ(Text("MicHPFrePane"), "303.0Hz");
  EXPECT_EQ(link.sent.back(), (Sent{Sent::kParam, 0x0100, 143, {}}));
  EXPECT_EQ(session->last_change(), (LastChange{0x0100, 143}));

  link.is_ready = false;
  link.sent.clear();
  QTest::keyClick(W("MicHPFreBar"), Qt::Key_Home);
  EXPECT_EQ(Text("MicHPFrePane"), "Off");
  EXPECT_EQ(store.Working(0x0100), 0);
  EXPECT_TRUE(link.sent.empty());

  // Controls that carry no parameter change and send nothing.
  QTest::keyClick(W("ComEQGainBar"), Qt::Key_End);
  QTest::keyClick(W("MusEQTrackBar1"), Qt::Key_End);
  EXPECT_TRUE(link.sent.empty());
}

TEST_F(HandlersTest, HighlightFollowsTheEditedBand) {
  Click("ManulModeBtn");
  Type("MusFreEdit3", "1000");
  EXPECT_EQ(session->current_band(0), 2);
  EXPECT_EQ(W<QGroupBox>("MusFreGrop3")->property(kFrameColourProperty).value<QColor>(),
            kHighlightFrameColour);
  EXPECT_TRUE(W<QLabel>("MusEQPointLabel3")->autoFillBackground());
  EXPECT_FALSE(W<QLabel>("MusEQPointLabel1")->autoFillBackground());
  Type("MusFreEdit5", "500");
  EXPECT_EQ(W<QGroupBox>("MusFreGrop3")->property(kFrameColourProperty).value<QColor>(),
            kNormalFrameColour);

  ClickTab(2);
  Type("MicFreEdit15", "2000");
  EXPECT_EQ(session->current_band(1), 14);
  EXPECT_EQ(W<QSlider>("MicPanScrollBar")->value(), 5);

  // A band label selects its band without sending.
  link.sent.clear();
  QTest::mouseClick(W("MicEQPointLabel2"), Qt::LeftButton);
  EXPECT_EQ(session->current_band(1), 1);
  EXPECT_EQ(session->current_edit(), W("MicFreEdit2"));
  EXPECT_TRUE(link.sent.empty());
}

TEST_F(HandlersTest, BandLabelsSelectTheBandTheyStandFor) {
  Click("ManulModeBtn");
  const struct {
    int tab;
    const char* label;
    const char* edit;
    int page;
    int band;  // counted from 0
  } cases[] = {
      {1, "MusEQPointLabel10", "MusFreEdit10", 0, 9},
      {2, "MicEQPointLabel15", "MicFreEdit15", 1, 14},
      {3, "EffEQPointLabel3", "EchoFreEdit3", 2, 2},
      {6, "SubEQPointLabel2", "SubFreEdit2", 5, 1},
  };
  for (const auto& c : cases) {
    ClickTab(c.tab);
    // The number on the label is only its caption; the band it stands for stays its own.
    W<QLabel>(c.label)->setText(QStringLiteral("1"));
    link.sent.clear();
    Click(c.label);
    EXPECT_EQ(session->current_edit(), W(c.edit)) << c.label;
    EXPECT_EQ(session->current_band(c.page), c.band) << c.label;
    EXPECT_TRUE(link.sent.empty()) << c.label;
  }
}

TEST_F(HandlersTest, SingDiscoAndResetOfMicrophoneGroupB) {
  Click("ManulModeBtn");
  Click("DiscoModeBtn");
  EXPECT_EQ(link.sent.back(), (Sent{Sent::kParam, 0x0001, 1, {}}));
  EXPECT_EQ(store.disco(), 1);
  EXPECT_TRUE(W<QAbstractButton>("DiscoModeBtn")->isChecked());

  ClickTab(9);
  Type("MicGainEdit1", "6");
  link.sent.clear();
  Click("RzBmpButton6");
  EXPECT_EQ(store.Working(0x0106), 120);  // band 1 gain back to 0 dB
  ASSERT_FALSE(link.Of(Sent::kBand).empty());
  for (const Sent& s : link.Of(Sent::kBand)) EXPECT_EQ(BlockOf(s.id), 2) << std::hex << s.id;
}

TEST_F(HandlersTest, ABoxEnteredByAnyMeansFallsBackToItsOwnText) {
  Activate();
  Click("ManulModeBtn");
  Load(0x0006, 152);  // band 1 gain 6.4dB
  Load(0x0005, 47);   // band 1 frequency 48.7Hz
  auto* frequency = W<QLineEdit>("MusFreEdit1");
  struct Case {
    const char* how;
    std::function<void()> enter;
  };
  // The focus order of a band column: gain, type, frequency, Q.
  const Case cases[] = {
      {"Tab twice from the gain box",
       [&] {
         Click("MusGainEdit1");
         QTest::keyClick(Focus(), Qt::Key_Tab);
         QTest::keyClick(Focus(), Qt::Key_Tab);
       }},
      {"Shift+Tab from the Q box",
       [&] {
         Click("MusQEdit1");
         QTest::keyClick(Focus(), Qt::Key_Backtab, Qt::ShiftModifier);
       }},
      {"a program's setFocus",
       [&] {
         Click("MusGainEdit1");
         frequency->setFocus();
       }},
      {"a click",
       [&] {
         Click("MusGainEdit1");
         Click("MusFreEdit1");
       }},
  };
  for (const Case& c : cases) {
    c.enter();
    ASSERT_EQ(Focus(), frequency) << c.how;
    link.sent.clear();
    // An unreadable entry puts the box's own text back ...
    frequency->selectAll();
    QTest::keyClicks(frequency, "-");
    QTest::keyClick(frequency, Qt::Key_Return);
    EXPECT_EQ(frequency->text().toStdString(), "48.7Hz") << c.how;
    // ... and leaving it then sends nothing.
    ClickTab(2);
    ClickTab(1);
    EXPECT_EQ(store.Working(0x0005), 47) << c.how;
    EXPECT_TRUE(link.sent.empty()) << c.how << ": sent " << std::hex << link.sent.front().id
                                   << " = " << std::dec << link.sent.front().value;
  }
}

TEST_F(HandlersTest, PastedAndDroppedTextPassesTheKeyFilter) {
  Activate();
  Click("ManulModeBtn");
  const auto drop = [](QLineEdit* edit, const QString& text) {
    QMimeData mime;
    mime.setText(text);
    const QPoint at(edit->width() / 2, edit->height() / 2);
    QDragEnterEvent enter(at, Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(edit, &enter);
    QDropEvent event(at, Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(edit, &event);
  };
  struct Case {
    const char* box;
    const char* how;
    const char* text;
    std::function<void(QLineEdit*)> put;
    const char* shown;      // after the paste or drop
    const char* committed;  // after Enter
    int id;
    int stored;
  };
  const Case cases[] = {
      {"MusFreEdit1", "Ctrl+V", "1.2k",
       [](QLineEdit* e) { QTest::keyClick(e, Qt::Key_V, Qt::ControlModifier); }, "1.2", "19.7Hz",
       0x0005, 0},
      {"MusGainEdit1", "Shift+Insert", "-2 dB",
       [](QLineEdit* e) { QTest::keyClick(e, Qt::Key_Insert, Qt::ShiftModifier); }, "-2", "-2.0dB",
       0x0006, 110},
      {"MusQEdit1", "the context menu's Paste", "Q=1.4", [](QLineEdit* e) { e->paste(); }, "1.4",
       "1.40", 0x0007, 22},
      {"MusFreEdit2", "a drop", "1000 Hz", [&](QLineEdit* e) { drop(e, "1000 Hz"); }, "1000",
       "1000.0Hz", 0x000A, 204},
  };
  for (const Case& c : cases) {
    auto* edit = W<QLineEdit>(c.box);
    Click(c.box);
    edit->selectAll();
    QTest::keyClick(edit, Qt::Key_Delete);
    QApplication::clipboard()->setText(QString::fromLatin1(c.text));
    ASSERT_EQ(QApplication::clipboard()->text(), c.text);
    c.put(edit);
    EXPECT_EQ(edit->text().toStdString(), c.shown) << c.how;
    QTest::keyClick(edit, Qt::Key_Return);
    EXPECT_EQ(edit->text().toStdString(), c.committed) << c.how;
    EXPECT_EQ(store.Working(c.id), c.stored) << c.how;
  }
}

TEST_F(HandlersTest, SelectingABandOrAPageSendsNothing) {
  Activate();
  Click("ManulModeBtn");
  struct Case {
    const char* what;
    std::function<void()> act;
    const char* focus;  // where the focus ends, nullptr where it does not matter
  };
  const Case cases[] = {
      {"another band's label", [&] { Click("MusEQPointLabel3"); }, "MusFreEdit3"},
      {"the band's own label", [&] { Click("MusEQPointLabel1"); }, "MusFreEdit1"},
      {"another page's tab", [&] { ClickTab(4); }, nullptr},
      {"the same page's tab", [&] { ClickTab(1); }, nullptr},
      {"Tab to the next control", [&] { QTest::keyClick(Focus(), Qt::Key_Tab); }, nullptr},
      {"another band's gain box", [&] { Click("MusGainEdit2"); }, "MusGainEdit2"},
  };
  for (const Case& c : cases) {
    ClickTab(1);
    Click("MusFreEdit1");
    link.sent.clear();
    c.act();
    EXPECT_TRUE(link.sent.empty()) << c.what << ": sent " << std::hex << link.sent.front().id;
    if (c.focus != nullptr) {
      EXPECT_EQ(Focus(), W(c.focus)) << c.what;
    }
  }

  // A text typed and left without Enter is sent once, when the box is left.
  ClickTab(1);
  Click("MusFreEdit1");
  auto* frequency = W<QLineEdit>("MusFreEdit1");
  frequency->selectAll();
  QTest::keyClicks(frequency, "1000");
  link.sent.clear();
  Click("MusEQPointLabel3");
  EXPECT_EQ(link.sent, (std::vector<Sent>{{Sent::kBand, 0x0005, 204, {}}}));
  EXPECT_EQ(frequency->text().toStdString(), "1000.0Hz");
  EXPECT_EQ(Focus(), W("MusFreEdit3"));
}

}  // namespace
}  // namespace kc
