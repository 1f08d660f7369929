#include "app/program.h"

#include <QElapsedTimer>
#include <QGuiApplication>
#include <QScreen>

namespace kc {

Program::Program(MessageBoxes* boxes, PortLister list_ports, std::ostream* record) {
  QElapsedTimer clock;
  clock.start();
  if (boxes == nullptr) {
    own_boxes_ = std::make_unique<QtMessageBoxes>([this]() -> QWidget* {
      if (form1_ && form1_->isVisible()) return form1_.get();
      return form4_.get();
    });
    boxes = own_boxes_.get();
  }
  boxes_ = boxes;

  form4_ = std::make_unique<TForm4>();
  // Without a window manager (a bare X server) maximising does nothing: cover the screen first.
  if (const QScreen* screen = QGuiApplication::primaryScreen()) {
    form4_->setGeometry(screen->availableGeometry());
  }
  form4_->showMaximized();
  times_.main_window_shown_ms = clock.elapsed();

  form3_ = std::make_unique<TForm3>(*boxes_);
  if (record != nullptr) {
    recorder_ = std::make_unique<LineRecorder>(*record, [] {
      static QElapsedTimer since;
      if (!since.isValid()) since.start();
      return since.nsecsElapsed() / 1000;
    });
    form3_->RecordTo(*recorder_);
  }
  form2_ = std::make_unique<TForm2>();

  QElapsedTimer editor_clock;
  editor_clock.start();
  form1_ = std::make_unique<TForm1>(*form3_, *form2_, *boxes_, std::move(list_ports));
  times_.editor_built_ms = editor_clock.elapsed();

  form4_->SetEditor(form1_.get());
  QObject::connect(form4_.get(), &TForm4::Closing, form1_.get(), &TForm1::SetExiting);
}

Program::~Program() {
  // The editor goes first: it ends the link that works on its store. The message boxes outlive
  // every window that may ask for one.
  form1_.reset();
  form2_.reset();
  form3_.reset();
  form4_.reset();
}

}  // namespace kc
