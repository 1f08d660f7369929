#include "app/link_notices.h"

namespace kc {

LinkNotices::LinkNotices(MessageBoxes& boxes) : boxes_(boxes) {}

LinkNotices::~LinkNotices() = default;  // the handle closes a box still open

QString LinkNotices::TextOf(const LinkMessage& message) {
  switch (message.outcome) {
    case LinkOutcome::kSaved:
      return QStringLiteral("保存成功!");
    case LinkOutcome::kLost:
      return QStringLiteral("已断开连接!");
    case LinkOutcome::kFailed:
      return message.failure == LinkFailure::kChecksum ? QStringLiteral("数据校验错误，连接失败!")
                                                       : QStringLiteral("连接失败!");
  }
  return {};
}

void LinkNotices::Show(const LinkMessage& message, const QString& failed_hint) {
  const QString text = TextOf(message);
  const bool checksum = message.failure == LinkFailure::kChecksum;
  const QString hint =
      message.outcome == LinkOutcome::kFailed && !checksum ? failed_hint : QString();
  if (box_ && box_->IsOpen()) {
    box_->SetText(text, hint);
  } else {
    box_.reset();  // answered by the user: a new box
    box_ = boxes_.Notice(kHintCaption, text, hint);
  }
  text_ = text;
  about_loss_ = message.outcome != LinkOutcome::kSaved;
}

void LinkNotices::StatusChanged(LinkStatus status, bool view_connected) {
  if (!about_loss_ || !box_) return;
  if (status != LinkStatus::kConnected && !view_connected) return;
  box_.reset();  // closes it
  about_loss_ = false;
}

QString LinkNotices::open_text() const { return box_ && box_->IsOpen() ? text_ : QString(); }

}  // namespace kc
