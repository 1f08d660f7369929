// "与模式文件比较": every parameter whose value in the editor differs from a mode file of the
// library, listed as page, parameter name, the editor's text and the file's text (the texts the
// pages show), with the differing controls marked on the pages until the window is closed.
// Comparing reads the file and the store only; nothing is sent or changed.
#pragma once

#include <QString>
#include <QWidget>
#include <filesystem>
#include <vector>

class QTableWidget;

namespace kc {

class EditSession;
class MessageBoxes;

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

class CompareWindow : public QWidget {
  Q_OBJECT

 public:
  CompareWindow(EditSession& session, MessageBoxes& boxes, QWidget* parent = nullptr);
  ~CompareWindow() override;

  // Lists the differences between the editor and the mode file at path (shown as name), marks
  // the differing controls and shows the window. False, with the file's message and nothing
  // listed, when the file cannot be read or fails its check.
  bool CompareWith(const std::filesystem::path& path, const QString& name);
  // Ends the comparison: the marks go, the window hides.
  void EndComparison();

  QTableWidget* table() const { return table_; }
  const std::vector<QWidget*>& marked() const { return marks_->marked(); }

 protected:
  void closeEvent(QCloseEvent* event) override;
  void hideEvent(QHideEvent* event) override;

 private:
  EditSession& session_;
  MessageBoxes& boxes_;
  QTableWidget* table_;
  DifferenceMarks* marks_;
};

}  // namespace kc
