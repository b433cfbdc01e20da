// Control ids of the window "qel". Rows of controls take consecutive ids
// from their base: the mask field of outlet n (1..4) is kIdMask + n - 1.
// Ids 1 and 2 (IDOK and IDCANCEL) are kept free so Enter and Esc trigger no
// button.
#pragma once

namespace qel {

inline constexpr int kOutletCount = 4;   // outlets of the switch: Sw1..Sw4
inline constexpr int kCommandCount = 3;  // stored command lines: CMD1..CMD3

enum ControlId : int {
  kIdAddress = 100,       // the switch's address (ip.ini key IP)
  kIdSaveAndQuit = 101,   // "保存＆終了"
  kIdMask = 110,          // + outlet index: the outlet's mask field (SW1..SW4)
  kIdOutletLabel = 120,   // + outlet index: the outlet's label "Sw1".."Sw4"
  kIdAddressLabel = 124,  // the caption "IP" beside the address field
  kIdCommandLine = 130,   // + command index: the command line field (CMD1..CMD3)
  kIdLaunch = 140,        // + command index: the launch button "CMD1".."CMD3"
  kIdOn = 150,            // + outlet index: "ON"
  kIdOff = 160,           // + outlet index: "OFF"
};

// The status poll's timer.
inline constexpr unsigned kPollTimer = 1;

}  // namespace qel
