// TForm4, the main window: a maximised frame behind the editor that carries the menu.
#pragma once

#include <QMainWindow>

class QAction;

namespace kc {

class TForm1;

// Captions of the main window before and after it is first shown, and the about text (its
// trailing space belongs to it).
inline const QString kCreatedCaption = QStringLiteral("ZB720 Audio Effect Controller 1.0.4");
inline const QString kShownCaption = QStringLiteral("R9 Audio Effect Controller 1.0.8");
inline const QString kAboutText = QStringLiteral("R9 Audio Effect Controller 1.0.8 ");

class TForm4 : public QMainWindow {
  Q_OBJECT

 public:
  explicit TForm4(QWidget* parent = nullptr);

  // The editor the menu commands act on; set once the editor exists.
  void SetEditor(TForm1* editor);

  QAction* Logon1() const { return logon1_; }
  QAction* N1() const { return n1_; }
  // "网络设备...": connects to a serial device server named by its address.
  QAction* NetworkItem() const { return network_item_; }
  // "场所...": opens a venue file in the venue window.
  QAction* VenueItem() const { return venue_item_; }
  // The window title begins with the room the editor is on.
  void ShowRoom(const QString& room);
  QAction* OffLineBtn() const { return off_line_btn_; }
  QAction* N5() const { return n5_; }
  QAction* aborat1() const { return aborat1_; }
  // The edit menu "编辑": undo "撤销", redo "重做", and the comparison with a mode file.
  QAction* UndoItem() const { return undo_; }
  QAction* RedoItem() const { return redo_; }
  QAction* CompareItem() const { return compare_; }

  // Menu handlers.
  void Logon1Click();
  void N1Click();
  void NetworkItemClick();
  void VenueItemClick();
  void OffLineBtnClick();
  void N5Click();
  void aborat1Click();

 signals:
  // The main window is closing: the program ends.
  void Closing();
  // A venue file was chosen with "场所...".
  void VenueChosen(const QString& path);

 protected:
  void showEvent(QShowEvent* event) override;
  void closeEvent(QCloseEvent* event) override;

 private:
  QAction* AddItem(QMenu* menu, const char* name, const QString& caption);

  TForm1* editor_ = nullptr;
  QAction* logon1_;
  QAction* n1_;
  QAction* network_item_;
  QAction* venue_item_;
  QString room_;
  QAction* off_line_btn_;
  QAction* n5_;
  QAction* aborat1_;
  QAction* undo_;
  QAction* redo_;
  QAction* compare_;
};

}  // namespace kc
