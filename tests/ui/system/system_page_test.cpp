// The System page's mode groups, library and password groups on the real editor pages, driven by
// real key and mouse events, with message boxes answered from a script and a link that records
// what it would send.
#include "ui/system/system_page.h"

#include <gtest/gtest.h>

#include <QComboBox>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTest>
#include <algorithm>
#include <array>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include "modes/mode_file.h"
#include "qt_app.h"
#include "recording_edit_link.h"
#include "scripted_message_boxes.h"
#include "ui/binding/control_map.h"
#include "ui/binding/page_refresh.h"
#include "ui/editing/edit_session.h"
#include "ui/editing/session_view.h"
#include "ui/pages/editor_pages.h"

namespace kc {
namespace {

namespace fs = std::filesystem;
using test::RecordingEditLink;
using Sent = RecordingEditLink::Sent;

const std::array<std::string, 15> kBoxNames = {
    "Standard", "Pop",  "Ballad", "Jazz",       "Classic",    "KTV Room", "Party",  "Studio",
    "Rock",     "Live", "Hall",   "Small Room", "Large Room", "Disco",    "Outdoor"};

class SystemPageTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { test::EnsureApplication(); }

  void SetUp() override {
    ASSERT_TRUE(folder_.isValid());
    map_ = BuildControlMap(pages_);
    RefreshHooks hooks;
    hooks.send_suppress = [this] { return link_.suppress; };
    hooks.set_send_suppress = [this](bool raised) { link_.suppress = raised; };
    hooks.mode_name = [this](int n) { return link_.mode_name(n); };
    refresher_ = std::make_unique<PageRefresher>(pages_, store_, map_, hooks);
    session_ = std::make_unique<EditSession>(pages_, store_, map_, *refresher_, link_, view_);
    ModeHooks mode_hooks;
    mode_hooks.show_message = [this](const std::string& text) {
      boxes_.Information(kHintCaption, QString::fromStdString(text));
    };
    mode_hooks.start_upload = [this] { ++uploads_; };
    files_ = std::make_unique<ModeFiles>(Library(), store_, mode_hooks);
    pages_.ShowPage(EditorPages::kSystemPage);
    pages_.show();
  }

  fs::path Library() const { return fs::path(folder_.path().toStdString()); }
  void Touch(const std::string& file_name, const std::string& content = "old") {
    std::ofstream(Library() / file_name, std::ios::binary) << content;
  }
  std::string Content(const std::string& file_name) {
    std::ifstream in(Library() / file_name, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
  }

  // The System page over the library as it is now, as at start-up.
  SystemPage& Page() {
    if (!page_) page_ = std::make_unique<SystemPage>(*session_, boxes_, files_.get());
    return *page_;
  }

  // What a completed download leaves: names, passwords, mode and access items, then the refresh.
  void Download(int current_mode = 0, int administrator = 0) {
    link_.names = kBoxNames;
    link_.system = "135790";
    link_.keylock = "2468";
    store_.StoreValue(kRecallModeParameter, current_mode);
    store_.StoreValue(kAccessLevelId, administrator);
    refresher_->RefreshPages(kAllBlocks);
    link_.sent.clear();
  }

  template <class T = QWidget>
  T* W(const char* name) {
    T* control = pages_.Find<T>(QString::fromLatin1(name));
    EXPECT_NE(control, nullptr) << name;
    return control;
  }
  QString Text(const char* name) { return W<QLineEdit>(name)->text(); }
  void Click(const char* name) { QTest::mouseClick(W<QPushButton>(name), Qt::LeftButton); }
  // Types text key by key; a character without a key of its own comes as an input would send it.
  void Type(const char* name, const QString& keys) {
    QLineEdit* edit = W<QLineEdit>(name);
    for (QChar c : keys) {
      if (c.unicode() < 0x80) {
        QTest::keyClick(edit, c.toLatin1());
      } else {
        QTest::sendKeyEvent(QTest::Press, edit, Qt::Key_unknown, QString(c), Qt::NoModifier);
        QTest::sendKeyEvent(QTest::Release, edit, Qt::Key_unknown, QString(c), Qt::NoModifier);
      }
    }
  }
  void Enter(const char* name) { QTest::keyClick(W<QLineEdit>(name), Qt::Key_Return); }
  void ClickRow(int row) {
    auto* grid = W<QTableWidget>("ValueListEditor1");
    const QRect cell = grid->visualItemRect(grid->item(row, 1));
    QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, cell.center());
  }

  QTemporaryDir folder_;
  EditorPages pages_;
  ParameterStore store_;
  ControlMap map_;
  RecordingEditLink link_{store_};
  std::unique_ptr<PageRefresher> refresher_;
  std::unique_ptr<EditSession> session_;
  std::unique_ptr<ModeFiles> files_;
  ScriptedMessageBoxes boxes_;
  EditorSessionView view_{boxes_};  // the session's messages go to boxes_, as in the editor
  std::unique_ptr<SystemPage> page_;
  int uploads_ = 0;
};

TEST_F(SystemPageTest, SelectingAModeShowsItsNameWithoutTheNumber) {
  Page();
  Download(/*current_mode=*/7);
  auto* box = W<QComboBox>("SysModeBox");
  ASSERT_EQ(box->count(), 15);
  EXPECT_EQ(Text("PresetModeEdit"), "Studio");
  struct Step {
    int index;
    const char* name;
  };
  // The prefix is one character wider from the tenth item on.
  for (const Step& step : {Step{8, "Rock"}, Step{9, "Live"}, Step{10, "Hall"}}) {
    QTest::keyClick(box, Qt::Key_Down);
    EXPECT_EQ(box->currentIndex(), step.index);
    EXPECT_EQ(Text("PresetModeEdit"), step.name);
  }
  EXPECT_TRUE(link_.sent.empty()) << "selecting sends nothing";
  EXPECT_EQ(W<QLabel>("CurrentModeLabel")->text(), QStringLiteral("（当前模式：8 ）"));
}

TEST_F(SystemPageTest, RecallAsksAndSendsTheSelectedModeOrSaysWhyNot) {
  Page();
  struct Case {
    bool answer;
    bool ready;
    bool busy;
    bool sends;
    QString refusal;  // empty: the question is asked
  };
  for (const Case& c : {Case{false, true, false, false, {}}, Case{true, true, false, true, {}},
                        Case{true, false, false, false, kNotConnectedText},
                        Case{true, false, true, false, kBusyText}}) {
    SCOPED_TRACE(c.refusal.toStdString());
    Download(0);
    link_.is_ready = c.ready;
    link_.is_busy = c.busy;
    boxes_.shown.clear();
    boxes_.answers = {c.answer};
    W<QComboBox>("SysModeBox")->setCurrentIndex(9);
    Click("RzBmpButton121");
    ASSERT_EQ(boxes_.shown.size(), 1u);
    EXPECT_EQ(boxes_.shown[0].caption, kHintCaption);
    if (c.refusal.isEmpty()) {
      EXPECT_EQ(boxes_.shown[0].kind, ScriptedMessageBoxes::Kind::kYesNo);
      EXPECT_EQ(boxes_.shown[0].text, QStringLiteral("模式切换为10-Live?"));
    } else {
      EXPECT_EQ(boxes_.shown[0].kind, ScriptedMessageBoxes::Kind::kInformation);
      EXPECT_EQ(boxes_.shown[0].text, c.refusal);
    }
    const std::vector<Sent> expected =
        c.sends ? std::vector<Sent>{{Sent::kParam, kRecallModeParameter, 9, {}}}
                : std::vector<Sent>{};
    EXPECT_EQ(link_.sent, expected) << c.answer << c.ready;
    // A recall that is not sent is not recorded: the next refresh must not show it as current.
    EXPECT_EQ(store_.Working(kRecallModeParameter), c.sends ? 9 : 0);
  }
}

TEST_F(SystemPageTest, StoreNeedsAdministratorAQuestionAndAnAsciiName) {
  Page();
  struct Case {
    const char* what;
    int administrator;
    bool ready;
    QString name;
    bool answer;
    std::vector<QString> messages;
    bool stores;
    bool busy = false;
  };
  const QString question = QStringLiteral("保存当前模式为 3-My Mode?");
  const Case cases[] = {
      {"user mode", 0, true, "My Mode", true, {kStoreInUserModeText}, false},
      {"answered No", 1, true, "My Mode", false, {question}, false},
      {"answered Yes", 1, true, "My Mode", true, {question}, true},
      {"Chinese name", 1, true, QStringLiteral("我的模式"), true, {kModeNameAsciiText}, false},
      {"accented name", 1, true, QStringLiteral("Café"), true, {kModeNameAsciiText}, false},
      {"link busy", 1, false, "My Mode", true, {kBusyText}, false, true},
      {"no box", 1, false, "My Mode", true, {kNotConnectedText}, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Download(0, c.administrator);
    link_.is_ready = c.ready;
    link_.is_busy = c.busy;
    EXPECT_EQ(W<QPushButton>("RzBmpButton138")->isEnabled(), c.administrator == 1);
    W<QComboBox>("SysModeBox")->setCurrentIndex(2);
    // setText passes by the field's validator, as a name from elsewhere might.
    W<QLineEdit>("PresetModeEdit")->setText(c.name);
    boxes_.shown.clear();
    boxes_.answers = {c.answer};
    // In user mode the button is disabled; the handler itself still refuses.
    auto* store = W<QPushButton>("RzBmpButton138");
    if (store->isEnabled()) {
      QTest::mouseClick(store, Qt::LeftButton);
    } else {
      Page().RzBmpButton121Click(store);
    }
    EXPECT_EQ(boxes_.texts(), c.messages);
    const std::vector<Sent> expected =
        c.stores ? std::vector<Sent>{{Sent::kStoreMode, 2, 0, c.name.toStdString()}}
                 : std::vector<Sent>{};
    EXPECT_EQ(link_.sent, expected);
    // Once the box has taken it, the list shows the new name from the local names.
    Page().ModeNamesChanged();
    EXPECT_EQ(W<QComboBox>("SysModeBox")->itemText(2),
              c.stores ? QStringLiteral("3-My Mode") : QStringLiteral("3-Ballad"));
    EXPECT_EQ(W<QComboBox>("SysModeBox")->currentIndex(), 2);
  }
}

TEST_F(SystemPageTest, ModeNameFieldTakesTwentyPrintableAsciiCharacters) {
  Page();
  Download(0, 1);
  struct Case {
    QString typed;
    QString kept;
  };
  const Case cases[] = {
      {QStringLiteral("Rock 2!"), QStringLiteral("Rock 2!")},
      {QStringLiteral("Ro摇ck"), QStringLiteral("Rock")},
      {QStringLiteral("abcdefghijklmnopqrstuvwxyz"), QStringLiteral("abcdefghijklmnopqrst")},
  };
  for (const Case& c : cases) {
    W<QLineEdit>("PresetModeEdit")->clear();
    Type("PresetModeEdit", c.typed);
    EXPECT_EQ(Text("PresetModeEdit"), c.kept) << c.typed.toStdString();
  }
}

TEST_F(SystemPageTest, LibraryListsFilesByNameUpToTheFirstDot) {
  Touch("Rock.old.Nddt");
  Touch("Live.Nddt");
  Touch("Rock.Nddt");
  Touch("readme.txt");
  Page();
  auto* grid = W<QTableWidget>("ValueListEditor1");
  EXPECT_EQ(grid->horizontalHeaderItem(0)->text(), QStringLiteral("      序号"));
  EXPECT_EQ(grid->horizontalHeaderItem(1)->text(),
            QStringLiteral("                   （电脑）数据名称"));
  ASSERT_EQ(grid->rowCount(), 3);
  const std::vector<QString> names = {"Live", "Rock", "Rock"};
  EXPECT_EQ(Page().library_names(), names);
  for (int row = 0; row < 3; ++row) {
    EXPECT_EQ(grid->item(row, 0)->text(), QString::number(row));
    EXPECT_EQ(grid->item(row, 1)->text(), names[static_cast<std::size_t>(row)]);
  }
  EXPECT_EQ(Text("FileEdit"), "Live") << "the first row at start-up";

  ClickRow(2);
  EXPECT_EQ(Text("FileEdit"), "Rock");
  EXPECT_EQ(pages_.focusWidget(), W<QLineEdit>("FileEdit"));
  W<QLineEdit>("FileEdit")->setText("typed");
  ClickRow(2);
  EXPECT_EQ(Text("FileEdit"), "Rock") << "a click always overwrites";

  // Keys: arrows move the row and name the file; characters are swallowed.
  QTest::keyClick(grid, Qt::Key_Up);
  EXPECT_EQ(Text("FileEdit"), "Rock");
  EXPECT_EQ(grid->currentRow(), 1);
  QTest::keyClick(grid, Qt::Key_Up);
  EXPECT_EQ(Text("FileEdit"), "Live");
  // Unswallowed, "r" would jump to the first row starting with it.
  QTest::keyClicks(grid, "r");
  EXPECT_EQ(grid->currentRow(), 0);
  EXPECT_EQ(Text("FileEdit"), "Live");
  EXPECT_EQ(grid->item(0, 1)->text(), "Live");
}

TEST_F(SystemPageTest, StoreToPcAsksOnlyWhenTheFileExists) {
#if defined(_WIN32) || defined(__APPLE__)
  constexpr bool kCaseBlind = true;
#else
  constexpr bool kCaseBlind = false;
#endif
  struct Case {
    const char* what;
    const char* existing;  // file in the library before the store, "" for none
    QString typed;
    bool answer;
    bool asks;
    const char* written;  // file expected to hold the new mode, "" for none
  };
  const Case cases[] = {
      {"new name", "", "Party", true, false, "Party.Nddt"},
      {"existing, OK", "Rock.Nddt", "Rock", true, true, "Rock.Nddt"},
      {"existing, Cancel", "Rock.Nddt", "Rock", false, true, ""},
      {"only letter case differs", "Rock.Nddt", "ROCK", true, kCaseBlind,
       kCaseBlind ? "Rock.Nddt" : "ROCK.Nddt"},
      // Listed as "Rock", yet its own name is what a store replaces.
      {"dotted name", "Rock.old.Nddt", "Rock.old", true, true, "Rock.old.Nddt"},
      {"empty name", "", "", true, false, ".Nddt"},
  };
  Page();
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    fs::remove_all(Library());
    fs::create_directory(Library());
    if (*c.existing) Touch(c.existing);
    Page().ListModeLibrary();
    W<QLineEdit>("FileEdit")->setText(c.typed);
    boxes_.shown.clear();
    boxes_.answers = {c.answer};
    Click("RzBmpButton120");
    if (c.asks) {
      ASSERT_EQ(boxes_.shown.size(), 1u);
      EXPECT_EQ(boxes_.shown[0].kind, ScriptedMessageBoxes::Kind::kOkCancel);
      EXPECT_EQ(boxes_.shown[0].caption, kOverwriteCaption);
      EXPECT_EQ(boxes_.shown[0].text, kOverwriteText);
    } else {
      EXPECT_TRUE(boxes_.shown.empty());
    }
    if (*c.existing && std::string(c.written) != c.existing) {
      EXPECT_EQ(Content(c.existing), "old") << "left as it was";
    }
    if (*c.written) {
      EXPECT_EQ(Content(c.written).substr(0, 4), "09F7") << "a mode file's first line";
    }
    // The grid follows the folder after every store.
    std::vector<QString> listed;
    for (const auto& entry : fs::directory_iterator(Library())) {
      const std::string file = entry.path().filename().string();
      listed.push_back(QString::fromStdString(file.substr(0, file.find('.'))));
    }
    std::sort(listed.begin(), listed.end());
    std::vector<QString> shown = Page().library_names();
    std::sort(shown.begin(), shown.end());
    EXPECT_EQ(shown, listed);
  }
}

TEST_F(SystemPageTest, SendingAFileAsksLoadsItAndRequestsTheUpload) {
  Page();
  store_.SetDevice(5, 3, 40);
  W<QLineEdit>("FileEdit")->setText("Kept");
  Click("RzBmpButton120");
  ASSERT_TRUE(fs::exists(Library() / "Kept.Nddt"));
  ASSERT_EQ(Text("FileEdit"), "Kept");
  store_.SetDevice(5, 3, 7);

  struct Case {
    QString name;
    bool answer;
    int uploads;
    int value;
    std::vector<QString> after_question;
  };
  const Case cases[] = {
      {"Missing", true, 0, 7, {QStringLiteral("文件不存在")}},
      {"Kept", false, 0, 7, {}},
      {"Kept", true, 1, 40, {}},
  };
  for (const Case& c : cases) {
    W<QLineEdit>("FileEdit")->setText(c.name);
    boxes_.shown.clear();
    boxes_.answers = {c.answer};
    Click("RzBmpButton119");
    ASSERT_GE(boxes_.shown.size(), 1u);
    EXPECT_EQ(boxes_.shown[0].caption, kSendFileCaption);
    EXPECT_EQ(boxes_.shown[0].text, QStringLiteral("加载模式：") + c.name + "?");
    const std::vector<QString> texts = boxes_.texts();
    EXPECT_EQ(std::vector<QString>(texts.begin() + 1, texts.end()), c.after_question);
    EXPECT_EQ(uploads_, c.uploads);
    EXPECT_EQ(store_.Device(5, 3), c.value);
  }
  // The working copy holds the plain lines of the file read last.
  const QString memo = W<QPlainTextEdit>("Memo1")->toPlainText();
  EXPECT_TRUE(memo.startsWith("W4 ")) << memo.left(20).toStdString();
  EXPECT_EQ(memo.count('\n') + 1, 517);
}

TEST_F(SystemPageTest, UnlockNeedsTheBoxPasswordAndAReadyLink) {
  Page();
  struct Case {
    const char* what;
    bool downloaded;
    bool ready;
    QString typed;
    std::vector<QString> messages;
    bool unlocks;
  };
  const Case cases[] = {
      {"before any download", false, true, "135790", {kWrongPasswordText}, false},
      {"wrong password", true, true, "135791", {kWrongPasswordText}, false},
      {"too short", true, true, "13579", {kWrongPasswordText}, false},
      {"letters are filtered", true, true, "13a5b790", {}, true},
      {"link not ready", true, false, "135790", {kNotConnectedText}, false},
      {"right password", true, true, "135790", {}, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    if (c.downloaded) {
      Download();
    } else {
      link_.system.clear();
      refresher_->RefreshPages(kAllBlocks);
    }
    link_.is_ready = c.ready;
    link_.sent.clear();
    boxes_.shown.clear();
    EXPECT_FALSE(W<QGroupBox>("SysUserMangerGrop")->isEnabled());
    Type("SysPassEdit", c.typed);
    Click("RzBmpButton118");
    EXPECT_EQ(Text("SysPassEdit"), "");
    EXPECT_EQ(boxes_.texts(), c.messages);
    EXPECT_EQ(W<QGroupBox>("SysUserMangerGrop")->isEnabled(), c.unlocks);
    const std::vector<Sent> expected =
        c.unlocks ? std::vector<Sent>{{Sent::kPassword, kSystemPasswordParameter, 0, "135790"}}
                  : std::vector<Sent>{};
    EXPECT_EQ(link_.sent, expected);
  }
}

struct GroupFields {
  const char* old_field;
  const char* new_field;
  const char* confirm_field;
  int parameter;
  QString current;
  QString next;
};

// Shown by the test's name in a failure report instead of the struct's bytes.
void PrintTo(const GroupFields& g, std::ostream* os) { *os << g.old_field; }

class PasswordChangeTest : public SystemPageTest,
                           public ::testing::WithParamInterface<GroupFields> {
 protected:
  std::string Copy() const {
    return GetParam().parameter == kSystemPasswordParameter ? link_.system : link_.keylock;
  }
  bool Enabled(const char* name) { return W<QLineEdit>(name)->isEnabled(); }
  // Types the digits one by one: none of them moves the group to its next stage.
  void TypeDigits(const char* field, const QString& digits, const char* stays_disabled) {
    for (QChar digit : digits) {
      Type(field, QString(digit));
      EXPECT_FALSE(Enabled(stays_disabled)) << field << " after " << digit.toLatin1();
    }
  }
};

TEST_P(PasswordChangeTest, StagesOpenOnTheKeyAfterTheLastDigit) {
  const GroupFields& g = GetParam();
  Page();
  Download();
  EXPECT_EQ(W<QLineEdit>(g.old_field)->echoMode(), QLineEdit::Password);

  TypeDigits(g.old_field, g.current, g.new_field);
  Enter(g.old_field);
  EXPECT_TRUE(Enabled(g.new_field));
  EXPECT_FALSE(Enabled(g.confirm_field));
  TypeDigits(g.new_field, g.next, g.confirm_field);
  Enter(g.new_field);
  EXPECT_TRUE(Enabled(g.confirm_field));
  Type(g.confirm_field, g.next);
  EXPECT_TRUE(link_.sent.empty()) << "the last digit alone completes nothing";
  Enter(g.confirm_field);

  EXPECT_EQ(link_.sent,
            (std::vector<Sent>{{Sent::kPassword, g.parameter, 0, g.next.toStdString()}}));
  EXPECT_EQ(Copy(), g.next.toStdString());
  for (const char* field : {g.old_field, g.new_field, g.confirm_field}) {
    EXPECT_EQ(Text(field), "") << field;
  }
  EXPECT_FALSE(Enabled(g.new_field));
  EXPECT_FALSE(Enabled(g.confirm_field));
  EXPECT_TRUE(boxes_.shown.empty());

  // The next change starts from the new password.
  link_.sent.clear();
  Type(g.old_field, g.current);
  Enter(g.old_field);
  EXPECT_FALSE(Enabled(g.new_field)) << "the old password no longer opens the group";
  W<QLineEdit>(g.old_field)->clear();
  Type(g.old_field, g.next);
  Enter(g.old_field);
  EXPECT_TRUE(Enabled(g.new_field));
}

TEST_P(PasswordChangeTest, FailedChangesResetOrStay) {
  const GroupFields& g = GetParam();
  Page();
  struct Case {
    const char* what;
    bool ready;
    QString old_password;
    QString new_password;
    QString confirmation;
    std::vector<QString> messages;
    bool resets;
  };
  QString other = g.next;
  other[0] = other[0] == '9' ? QChar('8') : QChar('9');
  const Case cases[] = {
      {"confirmation differs", true, g.current, g.next, other, {kPasswordsDifferText}, true},
      {"same as the current one", true, g.current, g.current, g.current, {}, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Download();
    link_.is_ready = c.ready;
    boxes_.shown.clear();
    Type(g.old_field, c.old_password);
    Enter(g.old_field);
    Type(g.new_field, c.new_password);
    Enter(g.new_field);
    Type(g.confirm_field, c.confirmation);
    Enter(g.confirm_field);
    EXPECT_EQ(boxes_.texts(), c.messages);
    EXPECT_TRUE(link_.sent.empty());
    EXPECT_EQ(Copy(), g.current.toStdString());
    for (const char* field : {g.old_field, g.new_field, g.confirm_field}) {
      EXPECT_EQ(Text(field), "") << field;
    }
    EXPECT_FALSE(Enabled(g.new_field));
    EXPECT_FALSE(Enabled(g.confirm_field));
  }

  // A wrong old password or a link that is not Ready opens nothing and clears nothing.
  struct Closed {
    bool ready;
    QString old_password;
  };
  QString wrong = g.current;
  wrong[0] = wrong[0] == '0' ? QChar('1') : QChar('0');
  for (const Closed& c : {Closed{true, wrong}, Closed{false, g.current}}) {
    Download();
    link_.is_ready = c.ready;
    Type(g.old_field, c.old_password + "x");
    EXPECT_EQ(Text(g.old_field), c.old_password) << "letters are filtered";
    Enter(g.old_field);
    EXPECT_FALSE(Enabled(g.new_field));
    EXPECT_EQ(Text(g.old_field), c.old_password);
    W<QLineEdit>(g.old_field)->clear();
  }
}

INSTANTIATE_TEST_SUITE_P(
    BothGroups, PasswordChangeTest,
    ::testing::Values(GroupFields{"SysPanelLabel1", "NewSysPassLabel1", "NewSysPassLabel2",
                                  kSystemPasswordParameter, "135790", "246801"},
                      GroupFields{"PassPanelLabel1", "NewPassLabel1", "NewPassLabel2",
                                  kKeylockPasswordParameter, "2468", "1357"}),
    [](const ::testing::TestParamInfo<GroupFields>& info) {
      return std::string(info.param.parameter == kSystemPasswordParameter ? "SystemPassword"
                                                                          : "KeylockPassword");
    });

TEST_F(SystemPageTest, EveryPasswordFieldIsMaskedAndTheIdentityPaneStaysHidden) {
  Page();
  for (const char* name : {"SysPassEdit", "SysPanelLabel1", "NewSysPassLabel1", "NewSysPassLabel2",
                           "PassPanelLabel1", "NewPassLabel1", "NewPassLabel2"}) {
    EXPECT_EQ(W<QLineEdit>(name)->echoMode(), QLineEdit::Password) << name;
  }
  auto* identity = W<QLabel>("DeviceIDLabel");
  const QString placeholder = identity->text();
  Page().ShowIdentity();
  EXPECT_EQ(identity->text(), placeholder) << "no report yet";
  link_.identity = "4B3107E5";
  Page().ShowIdentity();
  EXPECT_EQ(identity->text(), "4B3107E5");
  EXPECT_FALSE(identity->isVisibleTo(&pages_));
}

}  // namespace
}  // namespace kc
