// The box that tells the user what became of the link: "保存成功!", "已断开连接!", "连接失败!"
// (with what to check) or "数据校验错误，连接失败!".
//
// The link reports these from its timers and from the port's receive notification, so the box is
// a notice: it opens and returns at once, and the link's timers and the port go on while it is
// open. There is one box about the link at a time: the next outcome replaces the text of the open
// box instead of opening a second one, and a box about a loss or a failure closes by itself once
// the link is connected again. A "保存成功!" box is not touched by the link's state; only the next
// outcome replaces it.
#pragma once

#include <QString>
#include <memory>

#include "link/link_host.h"
#include "ui/message_boxes.h"

namespace kc {

class LinkNotices {
 public:
  explicit LinkNotices(MessageBoxes& boxes);
  ~LinkNotices();
  LinkNotices(const LinkNotices&) = delete;
  LinkNotices& operator=(const LinkNotices&) = delete;

  // An outcome of the link (LinkHost::ShowMessage): opens the box, or gives the open one the new
  // text. failed_hint goes under "连接失败!" when the search found no box.
  void Show(const LinkMessage& message, const QString& failed_hint = QString());
  // The link's status as it is reported (LinkHost::ShowStatus), and whether the link's view is
  // connected: either one closes a box about a loss or a failure.
  void StatusChanged(LinkStatus status, bool view_connected);

  // The open box's text; empty when no box is open.
  QString open_text() const;

  // The text of a link outcome.
  static QString TextOf(const LinkMessage& message);

 private:
  MessageBoxes& boxes_;
  std::unique_ptr<NoticeBox> box_;
  QString text_;
  // The open box says the box is lost or was not reached.
  bool about_loss_ = false;
};

}  // namespace kc
