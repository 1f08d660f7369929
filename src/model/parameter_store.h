// The parameter store: every setting of the box for the mode being edited, kept twice.
//
// The working table is indexed the way the editor sees a block (row = block, column = index of
// the parameter identifier); the device image holds each block in the box's own slot order, the
// order of whole-block transfers and mode files. Sing/Disco twins and the two microphone groups
// are where the two differ.
#pragma once

#include <array>
#include <cstdint>

#include "model/parameter_ids.h"

namespace kc {

// The audio blocks, then the system block.
inline constexpr int kSystemBlock = kAudioBlocks;
inline constexpr int kBlockCount = kAudioBlocks + 1;
inline constexpr int kWorkingColumns = 86;
inline constexpr int kDeviceColumns = 113;
// Selection value of ResetEq and page refreshes meaning "every block".
inline constexpr int kAllBlocks = 20;

struct BlockInfo {
  int parameters;    // indices 0..parameters-1
  int device_slots;  // length of the block's row in the device image
  int eq_bands;      // number of EQ bands
  int first_eq;      // index of field 0 of band 0
  int band_address;  // identifier under which a whole band is sent; -1 for none
  int page;          // editor page that shows the block
};

// Facts of blocks 0..9. Returns nullptr for any other block.
const BlockInfo* InfoOfBlock(int block);

// The eight editor pages, in the order of their tabs; the first seven show an EQ graph.
inline constexpr int kMusicPage = 0;
inline constexpr int kMicrophonePage = 1;
inline constexpr int kEffectPage = 2;
inline constexpr int kMainPage = 3;
inline constexpr int kCentrePage = 4;
inline constexpr int kSubwooferPage = 5;
inline constexpr int kRearPage = 6;
inline constexpr int kSystemPage = 7;
inline constexpr int kPageCount = 8;
inline constexpr int kLastEqPage = kRearPage;

// Number of EQ bands shown on each of the eight editor pages.
int EqBandsOfPage(int page);

// Band position meaning "not a band field" (band 0, field 255) and "Reverb" (band 255, field 0).
inline constexpr int kNoBandField = 0x00FF;
inline constexpr int kNoBandReverb = 0xFF00;

// Device slot of (block, index) under the Disco switch (0 Sing, 1 Disco).
int DeviceSlot(int block, int index, int disco);

// The working identifier that writes device slot `slot` of device row `row` (0..9, 2 being the
// second microphone group's row of block 1) under the Sing/Disco set `disco`; -1 when none does
// (a slot of the other set, or one no parameter covers).
int IdOfDeviceSlot(int row, int slot, int disco);

// Band position band*256+field of an audio identifier (blocks 0..8).
int LocateBand(int id);
// True when an audio identifier is a field of one of its block's EQ bands, which goes to the box
// in a band frame; false for every other identifier, the pass filters included (they have a band
// position on the graph but go to the box as parameters).
bool IsEqBandField(int id);

inline int BlockOf(int id) { return (id >> 8) & 0xFF; }
inline int IndexOf(int id) { return id & 0xFF; }
inline int MakeId(int block, int index) { return (block << 8) | index; }

// Told of what a change in the store means beyond it: the bands an EQ reset of one block puts
// back (for the box) and the pages to repaint afterwards. Set by whoever creates the store.
class StoreObserver {
 public:
  virtual ~StoreObserver() = default;
  virtual void SendEqBand(int id, int32_t value) = 0;
  // selection: a block 0..8, or kAllBlocks.
  virtual void RefreshPages(int selection) = 0;
};

class ParameterStore {
 public:
  using Row = std::array<int32_t, kDeviceColumns>;

  ParameterStore();

  // Working table by identifier or by block and index; 0 for a cell outside the table.
  int32_t Working(int id) const { return Working(BlockOf(id), IndexOf(id)); }
  int32_t Working(int block, int index) const;
  // Device image by block and slot; 0 for a cell outside the table.
  int32_t Device(int block, int slot) const;
  const Row& DeviceRow(int block) const { return device_[block]; }

  // Bounds-checked writes; false (and nothing written) for a cell outside the table.
  bool SetWorking(int block, int index, int32_t value);
  bool SetDevice(int block, int slot, int32_t value);

  int disco() const { return disco_; }
  void set_disco(int disco) { disco_ = disco ? 1 : 0; }
  // Microphone group: 0 A, 1 B.
  int mic_group() const { return mic_group_; }
  void set_mic_group(int group) { mic_group_ = group ? 1 : 0; }

  // Device row a working-table identifier writes to (block 2 for block 1 while group B is on).
  int DeviceRowOf(int id) const;

  // Writes a value under an identifier into both tables. Identifiers outside the tables are
  // ignored.
  void StoreValue(int id, int32_t value);

  // Refills the working table from the device image under the Disco switch and microphone group.
  void RebuildWorkingTable();

  // Identifier of the Q field that a band's Q box stands for now: field 3 for a PEQ band,
  // field 4 for a shelf. Other identifiers come back unchanged.
  int QFieldOf(int id) const;

  // Puts the EQ bands of one block (0..8) or of every block (kAllBlocks) back to their defaults.
  // A single block sends each band to the observer; afterwards the observer refreshes the pages.
  void ResetEq(int selection);

  // nullptr (the default): nobody is told.
  void set_observer(StoreObserver* observer) { observer_ = observer; }
  StoreObserver* observer() const { return observer_; }

 private:
  std::array<std::array<int32_t, kWorkingColumns>, kBlockCount> working_{};
  std::array<Row, kBlockCount> device_{};
  int disco_ = 0;
  int mic_group_ = 0;
  StoreObserver* observer_ = nullptr;
};

}  // namespace kc
