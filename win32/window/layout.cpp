#include "win32/window/layout.h"

#include "core/window_texts.h"

namespace qel {

std::wstring InitialText(const ControlSpec& control) {
  const int id = control.id;
  const auto in = [id](int base, int count) { return id >= base && id < base + count; };
  if (control.kind == ControlKind::kTextField) return control.value != nullptr ? control.value : L"";
  if (id == kIdSaveAndQuit) return texts::kSaveAndQuit;
  if (id == kIdAddressLabel) return texts::kAddressCaption;
  if (in(kIdOutletLabel, kOutletCount)) return texts::OutletName(id - kIdOutletLabel);
  if (in(kIdOn, kOutletCount)) return texts::kOn;
  if (in(kIdOff, kOutletCount)) return texts::kOff;
  if (in(kIdLaunch, kCommandCount)) return texts::CommandName(id - kIdLaunch);
  return L"";
}

int TwipsToPixels(int twips, int dpi) {
  // Rounded to nearest, halves away from zero, as MulDiv does.
  const long long scaled = static_cast<long long>(twips) * dpi;
  return static_cast<int>(scaled >= 0 ? (scaled + 720) / 1440 : -((-scaled + 720) / 1440));
}

}  // namespace qel
