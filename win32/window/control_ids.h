// Control ids of the window "qel". Each row of controls has a range of its
// own, one id per outlet or command line from the range's base (the mask
// field of outlet n, 1..kOutletCount, is kIdMask + n - 1), with room for
// kRangeSize of them; no id of one range is the end of another.
// Ids 1 and 2 (IDOK and IDCANCEL) are kept free so Enter and Esc trigger no
// button.
#pragma once

#include "core/counts.h"

namespace qel {

inline constexpr int kRangeSize = 100;

enum ControlId : int {
  kIdAddress = 100,        // the switch's address (ip.ini key IP)
  kIdAddressLabel = 101,   // the caption "IP" beside the address field
  kIdSaveAndQuit = 102,    // "保存＆終了"
  kIdOutletLabel = 1000,   // + outlet index: the outlet's label "Sw1".."Sw4"
  kIdMask = 1100,          // + outlet index: the outlet's mask field (SW1..SW4)
  kIdOn = 1200,            // + outlet index: "ON"
  kIdOff = 1300,           // + outlet index: "OFF"
  kIdCommandLine = 2000,   // + command index: the command line field (CMD1..CMD3)
  kIdLaunch = 2100,        // + command index: the launch button "CMD1".."CMD3"
};

static_assert(kOutletCount <= kRangeSize && kCommandCount <= kRangeSize, "an id range is full");

}  // namespace qel
