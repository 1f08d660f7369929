// What happens when the user works a control of the editor: one handler per family of like
// controls, each telling its controls apart by Tag (the parameter) and Hint (a display kind, a
// button's value or a role). Connect() wires every control by walking the control map, so no
// control has a slot of its own.
//
// The families live in three files: handlers_pages.cpp (tabs, Auto/Manual, Sing/Disco, the
// microphone group, band scroll, EQ reset, band labels), handlers_values.cpp (sliders, gain
// sliders, volumes, EQ edit boxes, spin buttons) and handlers_buttons.cpp (band types, phase,
// mute and bypass buttons, radio groups, the Subwoofer filter types).
#pragma once

#include <QHash>
#include <QObject>
#include <QString>

class QAbstractButton;
class QComboBox;
class QLabel;
class QLineEdit;
class QSlider;
class QWidget;

namespace kc {

class EditSession;

class EditorHandlers : public QObject {
  Q_OBJECT

 public:
  explicit EditorHandlers(EditSession& session, QObject* parent = nullptr);
  ~EditorHandlers() override;

  // Connects every control of the pages to the handler of its family.
  void Connect();

  // Page tabs (Tag 0..8).
  void FormTabBtn1Click(int tag);
  // Sliders with a value pane.
  void MicHPFreBarChange(QSlider* slider);
  // Vertical EQ gain sliders.
  void MainEQGainBar1Change(QSlider* slider);
  // Start, maximum and normal volume sliders of the System page.
  void SysMusNormalVolBarChange(QSlider* slider);
  // EQ edit boxes: click, focus in (by any means), character filter (false drops the
  // character), text put in by other means than typing (paste, drop, input method), arrow keys
  // and leave.
  void MusFreEdit1Click(QLineEdit* edit);
  void MusFreEdit1Enter(QLineEdit* edit);
  bool MusFreEdit1KeyPress(QLineEdit* edit, QChar character);
  void MusFreEdit1Edited(QLineEdit* edit);
  void MusFreEdit1KeyDown(int key);
  void MusFreEdit1Exit();
  // Spin buttons: one step of the edit box or slider they serve.
  void MusFreUpDownBtn1Click(QWidget* spin, bool up);
  // Band type boxes, the P/LS/HS buttons and the drop-down button of Music band 1.
  void MusModeBox1Change(QComboBox* box);
  void MainPEQBtn1Click(QAbstractButton* button);
  void MusModeBtn1Click(QWidget* button);
  // Two-state buttons.
  void EchoEffPhaseBtnClick(QAbstractButton* button);
  void MainLmuteBtnClick(QAbstractButton* button);
  void MusEQAllpassBtnClick(QAbstractButton* button);
  // Radio groups; id is the group's parameter.
  void SysMusInputLevelClick(QAbstractButton* button, int id);
  // Auto (0) / Manual (1), Sing (0) / Disco (1), microphone group buttons.
  void AutoModeBtnClick(int value);
  void SingModeBtnClick(int value);
  void MicABtnClick(QAbstractButton* sender);
  // Subwoofer filter types and the music input level box.
  void SubMusHPTypeChange(QComboBox* box);
  // Band scroll of the Microphone page.
  void MicPanScrollBarChange(QSlider* bar);
  // EQ reset buttons of the pages.
  void EQResetBtnClick();
  // Numbered band labels: select the band as a click on its frequency box does.
  void MusEQPointLabel1Click(QLabel* label);

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void ConnectPages();
  void ConnectValues();
  void ConnectButtons();
  void ShowPair(const char* first, const char* second, int value);
  void ApplyAccessEnabling();
  // A repaint has set a control: a volume slider's position becomes its previous position, the
  // current edit box's text its last good text.
  void ControlShown(QWidget* control);

  EditSession& session_;
  // The position each volume slider had after its last change or repaint: a volume rises from
  // it by at most one step per change event.
  QHash<const QSlider*, int> volume_previous_;
  // The text each EQ edit box showed before the user's edit that is under way, so that what
  // the edit put in can be told from what was there.
  QHash<const QLineEdit*, QString> edit_texts_;
};

}  // namespace kc
