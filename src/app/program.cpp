#include "app/program.h"

#include <QElapsedTimer>
#include <QFile>
#include <QGuiApplication>
#include <QScreen>

namespace kc {

Program::Program(MessageBoxes* boxes, PortLister list_ports, std::ostream* record,
                 bool connect_at_start) {
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
  }
  // The link reports to the link window; nothing runs it before the windows are bound.
  driver_ = std::make_unique<LinkDriver>(store_, *form3_, recorder_.get());
  driver_->link().set_auto_reconnect(true);
  form2_ = std::make_unique<TForm2>();

  QElapsedTimer editor_clock;
  editor_clock.start();
  // The editor is a window of the main window: it moves, minimises and stays above with it.
  form1_ = std::make_unique<TForm1>(store_, driver_->link(), *boxes_, form4_.get());
  form3_->Bind(*driver_, *form2_, *form1_);
  // The search after a loss lists the ports anew, with the network devices added in this run.
  form3_->SetPortLister([this] { return form1_->ListPorts(true); });
  if (connect_at_start) {
    form1_->ConnectAtStartUp(list_ports);
  } else {
    form1_->SetPortLister(list_ports);
  }
  times_.editor_built_ms = editor_clock.elapsed();

  form4_->SetEditor(form1_.get());
  QObject::connect(form4_.get(), &TForm4::Closing, form1_.get(), &TForm1::SetExiting);
  QObject::connect(form1_.get(), &TForm1::RoomChanged, form4_.get(), &TForm4::ShowRoom);
  QObject::connect(form4_->BaselineItem(), &QAction::triggered, form1_.get(), [this] {
    if (venue_window_ == nullptr) return;
    for (const VenueRoom& room : venue_window_->venue().rooms) {
      if (room.name == form1_->room()) {
        form1_->SaveBaseline(venue_window_->BaselineOf(room), venue_window_->venue().name);
      }
    }
  });
  // Queued: the venue panel whose button asked for another file is replaced after its click.
  QObject::connect(
      form4_.get(), &TForm4::VenueChosen, form4_.get(),
      [this](const QString& path) { OpenVenue(QFile::encodeName(path).toStdString()); },
      Qt::QueuedConnection);
}

bool Program::OpenVenue(const std::string& path) {
  std::string error;
  std::optional<Venue> venue = ReadVenueFile(path, &error);
  if (!venue) {
    boxes_->Information(kHintCaption,
                        QStringLiteral("无法使用场所文件：\n") + QString::fromStdString(error));
    return false;
  }
  for (const std::string& warning : venue->warnings) {
    form1_->AppendLog(QString::fromStdString(warning));
  }
  ShowVenue(std::move(*venue), path);
  return true;
}

void Program::ShowVenue(Venue venue, const std::string& source) {
  VenueWindow::Hooks hooks;
  hooks.open_room = [this](const VenueRoom& room) {
    return form1_->OpenRoom(room.name, room.port, room.identity);
  };
  hooks.current_room = [this] { return form1_->room(); };
  hooks.current_port = [this]() -> std::string {
    const LinePort& line = driver_->port();
    return line.IsOpen() || driver_->link().busy() ? line.name() : std::string();
  };
  hooks.current_state = [this] {
    const Link& link = driver_->link();
    // The editor's own room reads apart from a room whose box merely answers ("在线").
    if (link.View() == LinkView::kConnected) return QStringLiteral("编辑中");
    return LinkViewText(link);
  };
  hooks.current_identity = [this]() -> std::string {
    const Link& link = driver_->link();
    if (link.View() == LinkView::kConnected) return link.device_id();
    return link.declined_box();
  };
  hooks.current_pending = [this] { return driver_->link().PendingCount(); };
  hooks.open_other = [this] { form4_->ChooseVenueFile(); };
  hooks.apply_baseline = [this, source](const VenueRoom& room,
                                        const std::filesystem::path& baseline) {
    const Venue& venue = venue_window_->venue();
    return form1_->RestoreBaseline(room.name, baseline, RoomBackupFolder(source, venue, room),
                                   venue.name);
  };
  auto* panel = new VenueWindow(std::move(venue), source, std::move(hooks));
  venue_window_ = panel;
  form4_->DockVenue(panel, panel->Title());
}

Program::~Program() {
  // The link stops first: nothing reaches the windows while they go. The store outlives the
  // editor and the link, the message boxes every window that may ask for one.
  driver_->Stop();
  delete venue_window_.data();
  form1_.reset();
  form2_.reset();
  driver_.reset();
  form3_.reset();
  form4_.reset();
}

}  // namespace kc
