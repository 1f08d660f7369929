// A room's intended state in the editor: its baseline read, a box saved as a box backup, and the
// venue panel's check of a room, its box downloaded in the background the way karaoke-ctl
// downloads it and compared with the baseline, without stopping the editor.
#pragma once

#include <QObject>
#include <QString>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "link/qt/box_probe.h"
#include "model/parameter_store.h"
#include "modes/box_backup.h"
#include "venue/venue_file.h"

namespace kc {

class Link;
namespace cli {
class BoxSession;
}

struct Baseline {
  ParameterStore image;
  bool with_system = false;  // a box backup; a mode file holds no system item
};

// Reads a baseline (a .kbox box backup or a .Nddt mode file). nullopt with *error naming the
// problem; *missing is true when there is no file at all.
std::optional<Baseline> ReadBaseline(const std::filesystem::path& path, bool* missing,
                                     std::string* error);
// What the box connected to `link` holds, as a box backup of that room.
BoxBackup BackupOfBox(const ParameterStore& store, const Link& link, const std::string& venue,
                      const std::string& room);
// Writes a box backup at `path` (its folder made first), beside its name and renamed into place.
bool SaveBoxBackup(const std::filesystem::path& path, const BoxBackup& backup, std::string* error);
// A new name in a room's backup folder for the box: IDENTITY_YYYY-MM-DD_HHMMSS.kbox.
std::filesystem::path FreshBackupPath(const std::filesystem::path& folder,
                                      const std::string& identity);

// The panel's words for a check: "一致", "12 项不同", "无基准", "未检查", or the room's state when
// its box could not be read.
class RoomCheck : public QObject {
  Q_OBJECT

 public:
  enum class Result { kUnchecked, kSame, kDifferent, kNoBaseline, kBadBaseline, kUnreadable };

  RoomCheck(VenueRoom room, std::filesystem::path baseline, QObject* parent = nullptr);
  ~RoomCheck() override;

  void SetFinished(std::function<void(RoomCheck&)> finished) { finished_ = std::move(finished); }
  void Start();
  bool done() const { return done_; }
  Result result() const { return result_; }
  int differences() const { return differences_; }
  const std::string& port() const { return room_.port; }
  QString Words() const;
  // Why a check is what it is, for the cell's tooltip.
  const QString& detail() const { return detail_; }

 private:
  void Finish(Result result, int differences, QString detail);

  VenueRoom room_;
  std::filesystem::path baseline_;
  std::unique_ptr<cli::BoxSession> session_;
  std::function<void(RoomCheck&)> finished_;
  Result result_ = Result::kUnchecked;
  int differences_ = 0;
  QString detail_;
  bool done_ = false;
};

}  // namespace kc
