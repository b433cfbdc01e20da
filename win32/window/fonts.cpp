#include "win32/window/fonts.h"

#include "win32/window/dpi.h"

namespace qel {

HFONT CreateGothicFont(int dpi) {
  LOGFONTW font = {};
  font.lfHeight = -MulDiv(9, dpi, 72);
  font.lfWeight = FW_NORMAL;
  font.lfCharSet = SHIFTJIS_CHARSET;
  font.lfOutPrecision = OUT_DEFAULT_PRECIS;
  font.lfClipPrecision = CLIP_DEFAULT_PRECIS;
  font.lfQuality = DEFAULT_QUALITY;
  font.lfPitchAndFamily = FIXED_PITCH | FF_MODERN;
  lstrcpynW(font.lfFaceName, L"ＭＳ ゴシック", LF_FACESIZE);
  return CreateFontIndirectW(&font);
}

HFONT CreateMessageFont(int dpi) {
  NONCLIENTMETRICSW metrics = {};
  metrics.cbSize = sizeof(metrics);
  if (!SystemParametersAtDpi(SPI_GETNONCLIENTMETRICS, sizeof(metrics), &metrics, dpi)) {
    // Before Windows 10 1607: the metrics are those of the system DPI.
    if (!SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof(metrics), &metrics, 0)) return nullptr;
    metrics.lfMessageFont.lfHeight = MulDiv(metrics.lfMessageFont.lfHeight, dpi, ScreenDpi());
  }
  return CreateFontIndirectW(&metrics.lfMessageFont);
}

}  // namespace qel
