// A link host that records what the link asked of the windows.
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "link/link_host.h"
#include "model/parameter_store.h"

namespace kc::testing {

class RecordingLinkHost : public LinkHost {
 public:
  struct Status {
    LinkStatus status;
    int percent;
    bool visible;
  };

  void ShowStatus(LinkStatus status, int percent, bool visible) override {
    statuses.push_back({status, percent, visible});
  }
  void ShowMessage(const LinkMessage& message) override {
    messages.push_back(message.outcome);
    last_message = message;
  }
  void ShowEditor() override { ++editor_shown; }
  void RefreshPages(int selection) override {
    refreshes.push_back(selection);
    if (store_to_rebuild != nullptr) store_to_rebuild->RebuildWorkingTable();
  }
  void ModeNamesChanged() override { ++mode_names_changed; }
  void DeviceIdChanged() override { ++device_id_changed; }
  void SetTimers(bool scan, bool transfer, bool hold) override {
    scan_on = scan;
    transfer_on = transfer;
    hold_on = hold;
  }
  void AppendLog(const std::string& line) override { log.push_back(line); }
  void OfferEditorChanges(int count, bool same_box) override {
    offers.push_back({count, same_box});
  }
  void AskAboutOtherBox(const std::string& expected, const std::string& found) override {
    other_box_questions.push_back({expected, found});
  }
  bool RelistPorts(std::vector<std::string>* names) override {
    ++relists;
    if (port_list.empty()) return false;
    *names = port_list;
    return true;
  }

  std::vector<Status> statuses;
  std::vector<LinkOutcome> messages;
  LinkMessage last_message;
  int editor_shown = 0;
  std::vector<int> refreshes;
  int mode_names_changed = 0;
  int device_id_changed = 0;
  bool scan_on = false;
  bool transfer_on = false;
  bool hold_on = false;
  std::vector<std::string> log;
  std::vector<std::pair<int, bool>> offers;
  std::vector<std::pair<std::string, std::string>> other_box_questions;  // (expected, found)
  // What RelistPorts answers; empty keeps the link's list.
  std::vector<std::string> port_list;
  int relists = 0;
  // When set, a page refresh rebuilds this store's working table as the editor's refresh does.
  ParameterStore* store_to_rebuild = nullptr;
};

}  // namespace kc::testing
