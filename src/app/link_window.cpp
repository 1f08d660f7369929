#include "app/link_window.h"

#include <QCloseEvent>
#include <exception>

#include "app/editor_view.h"
#include "app/message_box.h"
#include "app/status_box.h"
#include "link/box_image.h"
#include "model/parameter_store.h"
#include "ui/compare/sync_window.h"

namespace kc {
namespace {

// No port answered the probe: the usual causes, in the order worth checking, and the way to
// work without a box.
constexpr char kConnectFailedHint[] =
    "没有找到设备。请检查：\n"
    "1. 设备已通电，USB 转串口线两端已插好；\n"
    "2. 当前用户有权使用该串口（Linux 下串口属于 dialout 组：sudo usermod -aG dialout "
    "$USER，重新登录后生效；安装软件包后的 USB 串口无需此步）；\n"
    "3. 没有其他程序占用该串口。\n"
    "然后用菜单“设备”→“连接”重新搜索；菜单“设备”→“离线设备”可不连接设备打开编辑器。";

}  // namespace

TForm3::TForm3(MessageBoxes& boxes, QWidget* parent) : QWidget(parent), boxes_(boxes) {
  setObjectName(QStringLiteral("Form3"));
  setWindowTitle(QStringLiteral("系统"));
  setAttribute(Qt::WA_QuitOnClose, false);
  hide();
}

TForm3::~TForm3() = default;

void TForm3::Bind(LinkDriver& driver, TForm2& status, EditorView& editor) {
  driver_ = &driver;
  status_ = &status;
  editor_ = &editor;
}

void TForm3::closeEvent(QCloseEvent* event) {
  // The link window is never seen; asked to close, it only hides.
  hide();
  event->ignore();
}

void TForm3::ShowStatus(LinkStatus status, int percent, bool visible) {
  notices_.StatusChanged(status, link().View() == LinkView::kConnected);
  const QString status_text = LinkStatusText(status);
  editor_->SetLinkText(status_text);
  status_->SetStatus(status_text, percent);
  if (visible) {
    if (!status_->isVisible()) {
      // Shown without taking the focus: an edit box of the editor that lost it would apply its
      // text again, into the settings the download is writing.
      status_->setAttribute(Qt::WA_ShowWithoutActivating, true);
      status_->show();
      status_->raise();
    }
  } else if (status_->isVisible()) {
    status_->hide();
  }
}

void TForm3::ShowMessage(const LinkMessage& message) {
  // Called from the link's timers and the port's notification: a box that waited would stop
  // them until it is answered.
  notices_.Show(message, QString::fromUtf8(kConnectFailedHint));
}

void TForm3::ShowEditor() {
  if (transfer_clock_.isValid()) {
    last_transfer_ms_ = transfer_clock_.elapsed();
    transfer_clock_.invalidate();
    ++transfers_done_;
  }
  editor_->ShowEditor();
}

void TForm3::RefreshPages(int selection) { editor_->RefreshPages(selection); }

void TForm3::ModeNamesChanged() { editor_->ModeNamesChanged(); }

void TForm3::DeviceIdChanged() { editor_->SetDeviceId(QString::fromStdString(link().device_id())); }

void TForm3::SetTimers(bool scan, bool transfer, bool hold) {
  // Told before the driver switches the timers: a transfer starts when its timer is not yet on.
  (void)scan;
  (void)hold;
  if (transfer && !Timer2().isActive()) transfer_clock_.start();
}

void TForm3::AppendLog(const std::string& line) {
  editor_->AppendLog(QString::fromStdString(line));
}

void TForm3::OfferEditorChanges(int count, bool same_box) {
  (void)count;  // the list counts what the user can see
  // Asked once the link has finished its state changes; the box's settings are on the pages
  // until the answer.
  QTimer::singleShot(0, this, [this, same_box] {
    const BoxImage::Rows* kept = link().offered_rows();
    if (kept == nullptr) return;
    const ParameterStore& box = link().store();
    // The editor's image: the box's, with the editor's settings where it keeps them.
    ParameterStore editor = box;
    editor.set_observer(nullptr);
    for (int block = 0; block < kAudioBlocks; ++block) {
      for (int slot = 0; slot < kDeviceColumns; ++slot) {
        editor.SetDevice(block, slot, (*kept)[block][slot]);
      }
    }
    for (int item : kUserSystemItems) {
      editor.SetDevice(kSystemBlock, item, (*kept)[kSystemBlock][item]);
    }
    auto* window = dynamic_cast<QWidget*>(editor_);
    std::vector<SyncRow> rows = SyncRows(editor, box, window);
    if (rows.empty()) {
      // Only slots no control shows differ: nothing the user could choose; the box keeps them.
      link().AnswerEditorChanges(false);
      return;
    }
    if (sync_ == nullptr) {
      sync_ = new SyncWindow(window);
      connect(sync_, &SyncWindow::Answered, this, [this](std::vector<std::pair<int, int>> cells) {
        std::vector<Link::Slot> chosen;
        chosen.reserve(cells.size());
        for (const auto& [block, slot] : cells) chosen.push_back({block, slot});
        link().AnswerEditorChanges(chosen);
      });
    }
    sync_->Offer(std::move(rows), same_box, QString::fromStdString(link().device_id()));
  });
}

void TForm3::AskAboutOtherBox(const std::string& expected, const std::string& found) {
  // Asked once the link has finished its state changes, as every question is.
  QTimer::singleShot(0, this, [this, expected, found] {
    editor_->AskAboutOtherBox(QString::fromStdString(expected), QString::fromStdString(found));
  });
}

bool TForm3::RelistPorts(std::vector<std::string>* names) {
  if (!port_lister_) return false;
  // On failure the ports of the last round are tried again.
  try {
    *names = port_lister_();
  } catch (const std::exception& error) {
    AppendLog(std::string("port list not renewed: ") + error.what());
    return false;
  } catch (...) {
    AppendLog("port list not renewed: unknown error");
    return false;
  }
  return true;
}

}  // namespace kc
