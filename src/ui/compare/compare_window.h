// "与模式文件比较": every parameter whose value in the editor differs from a mode file of the
// library, listed as page, parameter name, the editor's text and the file's text (the texts the
// pages show), with the differing controls marked on the pages until the window is closed.
// Comparing reads the file and the store only; nothing is sent or changed.
#pragma once

#include <QRect>
#include <QSize>
#include <QString>
#include <QWidget>
#include <filesystem>
#include <vector>

#include "model/parameter_store.h"

class QPushButton;
class QTableWidget;

namespace kc {

class EditHistory;
class EditSession;
class MessageBoxes;
struct ViewRow;

// A frame drawn over the pages around each marked control that is on show; it takes no mouse.
class DifferenceMarks : public QWidget {
  Q_OBJECT

 public:
  explicit DifferenceMarks(QWidget* pages);
  void SetMarked(std::vector<QWidget*> controls);
  const std::vector<QWidget*>& marked() const { return marked_; }

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  std::vector<QWidget*> marked_;
};

// Where a window of `size` goes beside `anchor` (a window's frame), whole inside `screen` and
// `gap` pixels from it: to its right, else its left, narrowed to the room there down to
// `min_width`; else below or above it; where nothing fits, at the screen's right edge. Beside the
// anchor it is level with its top, moved as far as the screen needs.
QRect PlaceBeside(const QRect& anchor, const QSize& size, int min_width, const QRect& screen,
                  int gap);

// The name of a parameter as the pages caption it: "EQ 7 频率" for a band field, the caption of
// the control's row for the others ("回声效果音量" and "回声效果音量 相位" for its phase button,
// "左 静音"); the table's English name where the pages give none.
QString ParameterCaption(const QString& control_name, const QWidget* pages_root, int band,
                         int field, const QString& fallback);

// What the lists of differences call a row of the image, as the user finds it: the caption of
// the tab whose page shows its control (the row's own tab, which names its Sing/Disco set or
// microphone group, when the control is on the row's page; a control of the volume panel is
// seen first on "音乐") and the control's caption there (ParameterCaption).
struct ParameterNames {
  QString page;
  QString caption;
  bool operator==(const ParameterNames&) const = default;
};
ParameterNames NamesOfRow(const ViewRow& row, const QWidget* pages_root);

// The columns and look of a list of differences: page, parameter caption, the editor's text and
// `other`'s (the file's, the box's); read-only, whole rows selected.
void SetUpDifferenceList(QTableWidget* list, const QString& other);
inline constexpr int kDifferenceColumns = 4;

class CompareWindow : public QWidget {
  Q_OBJECT

 public:
  CompareWindow(EditSession& session, MessageBoxes& boxes, QWidget* parent = nullptr);
  ~CompareWindow() override;

  // Lists the differences between the editor and the mode file at path (shown as name), marks
  // the differing controls and shows the window beside the editor (its parent), inside the
  // parent's screen. The columns: page, parameter caption, the editor's text and the file's.
  // False, with the file's message and nothing listed, when the file cannot be read or fails its
  // check.
  bool CompareWith(const std::filesystem::path& path, const QString& name);
  // Ends the comparison: the marks go, the window hides.
  void EndComparison();
  // The undo history "应用选中项" puts its change into; without one the button is disabled.
  void set_history(EditHistory* history) { history_ = history; }
  // Puts the file's values of the checked rows into the editor (and to the box when connected)
  // as one undo step, then compares again. The number of cells changed.
  int ApplyChecked();
  QPushButton* apply_button() const { return apply_; }

  QTableWidget* table() const { return table_; }
  const std::vector<QWidget*>& marked() const { return marks_->marked(); }
  // The file's image while the window shows it (the editor's image with the file's entries
  // applied); null otherwise.
  const ParameterStore* file_image() const { return shown_ ? &file_ : nullptr; }
  const QString& file_name() const { return file_name_; }

 signals:
  // A file was compared and is on show: its image is file_image() until ComparisonEnded.
  void FileShown();
  // The window closed or hid: the file is no longer on show.
  void ComparisonEnded();

 protected:
  void closeEvent(QCloseEvent* event) override;
  void hideEvent(QHideEvent* event) override;

 private:
  void PlaceBesideParent();
  void UpdateApply();
  // Takes the marks away and, when a file was on show, says the comparison ended.
  void Ended();

  EditSession& session_;
  MessageBoxes& boxes_;
  EditHistory* history_ = nullptr;
  QTableWidget* table_;
  QPushButton* apply_;
  DifferenceMarks* marks_;
  // The differing rows, in the table's order, and the file compared.
  std::vector<const ViewRow*> rows_;
  std::filesystem::path path_;
  ParameterStore file_;
  QString file_name_;
  bool shown_ = false;
};

}  // namespace kc
