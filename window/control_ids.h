// Control ids of the window "qel". Control arrays take consecutive ids from
// their base: index i of TextSw is kIdTextSw + i. Ids 1 and 2 (IDOK and
// IDCANCEL) are kept free so Enter and Esc trigger no button.
#pragma once

namespace qel {

enum ControlId : int {
  kIdText1 = 100,     // address field
  kIdCommand1 = 101,  // "保存＆終了"
  kIdTextSw = 110,    // 0..3: outlet mask fields
  kIdLabel1 = 120,    // 0..3: outlet labels "Sw1".."Sw4"; 4: "IP"
  kIdTextCmd = 130,   // 0..2: command line fields
  kIdBtnCmd = 140,    // 0..2: "CMD1".."CMD3"
  kIdCmdOn = 150,     // 0..3: "ON"
  kIdCmdOff = 160,    // 0..3: "OFF"
};

// The poll timer's id.
inline constexpr unsigned kTimer1 = 1;

}  // namespace qel
