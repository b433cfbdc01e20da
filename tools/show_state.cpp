// Prints what the simulated switch holds (see state_viewer.h):
//
//   show_state STATE-FILE [IP.INI]
//
// e.g. show_state build/win32/run/socket-sim.state build/win32/run/ip.ini
//
//   192.168.1.10 = 4
//   switch 192.168.1.10 (IP in build/win32/run/ip.ini), word 4:
//   outlet 1: off
//   outlet 2: on
//   ...
//
// Exit code: 0 shown, 1 a file could not be read or ip.ini has no IP,
// 2 wrong usage. A host program: it reads the files the Windows programs
// use through the Unix paths of Wine's Z: drive.
#include <iostream>
#include <optional>
#include <string>

#include "tools/state_viewer.h"

int main(int argc, char** argv) {
  if (argc < 2 || argc > 3) {
    std::cerr << "usage: " << argv[0] << " STATE-FILE [IP.INI]\n";
    return 2;
  }
  const std::optional<std::string> ini = argc == 3 ? std::optional<std::string>(argv[2]) : std::nullopt;
  return qel::simswitch::ShowState(argv[1], ini, std::cout, std::cerr);
}
