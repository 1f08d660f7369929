// TForm4, the main window: a maximised frame that carries the menu and owns the editor, which
// sits centred in its client area and follows it when it is moved, resized or minimised.
#pragma once

#include <QMainWindow>

class QAction;
class QDockWidget;

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
  // "场所...": shows the venue panel when a venue is open, else opens a venue file.
  QAction* VenueItem() const { return venue_item_; }
  // "设为基准": the box of the editor's room saved as the room's baseline (the program acts on
  // it: it knows the venue's files).
  QAction* BaselineItem() const { return baseline_item_; }
  // Docks `panel` (a venue's rooms) at the left of the window, under `title`, in place of the
  // one docked before (deleted once the event loop runs again: it may be its own button that
  // asked for the new one). It is made as wide as leaves the editor room beside it.
  void DockVenue(QWidget* panel, const QString& title);
  QDockWidget* venue_dock() const { return venue_dock_; }
  // Asks for a venue file (VenueChosen with its path).
  void ChooseVenueFile();
  // The window title begins with the room the editor is on.
  void ShowRoom(const QString& room);
  QAction* OffLineBtn() const { return off_line_btn_; }
  QAction* N5() const { return n5_; }
  QAction* aborat1() const { return aborat1_; }
  // The edit menu "编辑": undo "撤销", redo "重做", and the comparison with a mode file.
  QAction* UndoItem() const { return undo_; }
  QAction* RedoItem() const { return redo_; }
  QAction* CompareItem() const { return compare_; }

  // The client area below the menu, in global coordinates: where the editor is placed.
  QRect ClientArea() const;
  // The device menu follows the link and the editor: "连接" disabled while a box is connected or
  // being connected, "断开" while there is nothing to release or stop, "离线设备" once the editor
  // is open or the item was used; a disabled item's tooltip says why.
  void UpdateDeviceMenu();

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
  void moveEvent(QMoveEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void changeEvent(QEvent* event) override;
  void closeEvent(QCloseEvent* event) override;
  // The client area's size and place: the editor is placed in it again.
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  QAction* AddItem(QMenu* menu, const char* name, const QString& caption);
  // The venue dock as wide as leaves the editor room beside it.
  void FitVenueDock();

  TForm1* editor_ = nullptr;
  QAction* logon1_;
  QAction* n1_;
  QAction* network_item_;
  QAction* venue_item_;
  QAction* baseline_item_;
  QDockWidget* venue_dock_ = nullptr;
  QString room_;
  QAction* off_line_btn_;
  QAction* n5_;
  QAction* aborat1_;
  QAction* undo_;
  QAction* redo_;
  QAction* compare_;
};

}  // namespace kc
