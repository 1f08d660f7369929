// "复制EQ" and "粘贴EQ": an installer's copy of one section's EQ (every band's type, frequency,
// gain, Q and shelf Q, and the section's pass filters) put into another section of the same
// shape: Main, Centre and Rear outputs with one another, microphone group A with B, the Music
// Sing set with the Disco set, and any section onto itself.
//
// A paste asks first, is one undo step, and goes to the box as the band frames (and pass-filter
// parameters) of what it changed, through the link's send operations as every edit does.
#pragma once

#include <QObject>
#include <QString>
#include <array>
#include <cstdint>
#include <optional>
#include <utility>
#include <vector>

#include "model/parameter_store.h"

class QPushButton;

namespace kc {

class EditHistory;
class EditSession;
class MessageBoxes;

// A section as the pages show it: its block (0, 1, 3, 5, 6, 7, 8) and its set (the Sing/Disco
// set of Music, the group of the microphones; 0 for the others).
struct EqSectionRef {
  int block = 0;
  int set = 0;
  bool operator==(const EqSectionRef&) const = default;
};

// Every section with an EQ, in the order of the tabs.
const std::vector<EqSectionRef>& EqSections();
// Its caption, as the tabs name it ("主输出", "麦克风B", "音乐（舞蹈）").
QString EqSectionCaption(EqSectionRef section);
// The indices of a block's pass-filter values (high-pass, slope, low-pass and their types and
// Qs), which a copy carries where both sections have them.
std::vector<int> PassFilterIndices(int block);
// True when a copy of `from` can be put into `to`: the same number of bands and the same kind of
// section (outputs with outputs, microphones with microphones, Music with Music).
bool EqSectionsFit(EqSectionRef from, EqSectionRef to);
// The sections a copy of `from` fits, itself included, in tab order.
std::vector<EqSectionRef> FittingSections(EqSectionRef from);

// One section's EQ as the working table held it when copied.
struct EqCopy {
  EqSectionRef from;
  std::vector<std::array<int32_t, 5>> bands;
  std::vector<std::pair<int, int32_t>> pass;  // (index, value)
};

// Reads the section on show (the working table holds its set) into a copy.
EqCopy CopyEqSection(const ParameterStore& store, EqSectionRef section);

class EqClipboard : public QObject {
  Q_OBJECT

 public:
  // Finds the two buttons on every page with an EQ graph and connects them, and follows the page,
  // the Sing/Disco set and the microphone group on show to keep the paste buttons' state.
  EqClipboard(EditSession& session, EditHistory& history, MessageBoxes& boxes,
              QObject* parent = nullptr);

  // The section the pages show now; nullopt on the System page.
  std::optional<EqSectionRef> SectionOnShow() const;
  // "复制EQ": the section on show.
  void Copy();
  // "粘贴EQ": the copy into the section on show, when it fits and the user says yes. True when
  // pasted.
  bool Paste();
  const std::optional<EqCopy>& copy() const { return copy_; }
  // Enables each paste button where the copy fits the section on show and says why in its tooltip.
  void UpdateButtons();

 private:
  // Stores the copy's values in the section on show and sends what changed: one band frame per
  // changed band, one parameter per changed pass-filter value.
  void Apply(const EqCopy& copy, EqSectionRef to);

  EditSession& session_;
  EditHistory& history_;
  MessageBoxes& boxes_;
  std::vector<QPushButton*> copy_buttons_;
  std::vector<QPushButton*> paste_buttons_;
  std::optional<EqCopy> copy_;
};

}  // namespace kc
