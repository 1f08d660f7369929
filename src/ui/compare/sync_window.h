// "提示" after a connection when the editor holds changes the box has not: the differences as a
// list, one row per parameter, each with a checkbox. "发送选中项" sends the checked rows to the
// box and keeps the box's values for the others; "保留设备设置" (or closing the window) keeps
// every setting of the box. The window is modal to the editor but never waits in a loop of its
// own: the link's timers run on while it is open.
#pragma once

#include <QDialog>
#include <QString>
#include <utility>
#include <vector>

#include "model/parameter_store.h"

class QCheckBox;
class QLabel;
class QPushButton;
class QTableWidget;

namespace kc {

// One row of the list: a device cell, and what the user reads of it.
struct SyncRow {
  int block = 0;  // device-image row (2 for the second microphone group)
  int slot = 0;
  QString page;     // the tab of the page that shows the control (NamesOfRow)
  QString caption;  // the control's caption there ("EQ 7 频率")
  QString control;  // the control's object name, to find it by; never shown
  QString editor;   // the editor's value, as the control shows it
  QString box;      // the box's value
};

// The rows where the editor's image differs from the box's, in the order of the pages, named
// as the comparison names them (NamesOfRow) against the controls under `pages_root`.
std::vector<SyncRow> SyncRows(const ParameterStore& editor, const ParameterStore& box,
                              const QWidget* pages_root);

class SyncWindow : public QDialog {
  Q_OBJECT

 public:
  explicit SyncWindow(QWidget* editor);

  // Shows the list for the box `box_id`: all rows checked when the changes were made for this
  // box (`same_box`), none when for another. Offering again replaces the list.
  void Offer(std::vector<SyncRow> rows, bool same_box, const QString& box_id);

  QTableWidget* list() const { return list_; }
  QCheckBox* all_box() const { return all_; }
  QPushButton* send_button() const { return send_; }
  QPushButton* keep_button() const { return keep_; }
  QLabel* text_label() const { return text_; }
  // The (block, slot) of every checked row.
  std::vector<std::pair<int, int>> Checked() const;
  int CheckedCount() const;
  const std::vector<SyncRow>& rows() const { return rows_; }

 signals:
  // The user's answer: the cells to send; empty to keep the box's settings.
  void Answered(std::vector<std::pair<int, int>> cells);

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;
  void closeEvent(QCloseEvent* event) override;
  void reject() override;

 private:
  void SetAll(bool checked);
  void Toggle(int row);
  void CountChanged();
  void Answer(bool send);
  void PlaceOverEditor();

  QLabel* text_;
  QCheckBox* all_;
  QTableWidget* list_;
  QPushButton* send_;
  QPushButton* keep_;
  std::vector<SyncRow> rows_;
  bool answered_ = true;
};

}  // namespace kc
