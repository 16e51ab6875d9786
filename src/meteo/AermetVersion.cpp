#include "meteo/AermetVersion.h"

#include <array>

#include "util/TextUtils.h"

namespace zorvik {

namespace {
constexpr std::array<std::string_view, 8> kVersionText = {"", "02222", "04300", "01247", "98314", "06341", "09040", "11059"};
}  // namespace

std::string_view AermetVersionText(TAermetVersion version) {
  auto i = static_cast<size_t>(version);
  return i < kVersionText.size() ? kVersionText[i] : std::string_view();
}

TAermetVersion DetectAermetVersion(std::string_view verDate) {
  const std::string_view text = TrimView(verDate);
  for (size_t i = 0; i < kVersionText.size(); ++i)
    if (SameTextAscii(text, kVersionText[i])) return static_cast<TAermetVersion>(i);
  constexpr size_t kVersionDigits = 5;
  if (text.size() != kVersionDigits) return tav_null;
  for (const char c : text)
    if (c < '0' || c > '9') return tav_null;
  return tav_11059;
}

TSfcLineLayout SfcLineLayout(TAermetVersion version) {
  switch (version) {
    case tav_02222:
    case tav_01247:
    case tav_98314:
      return TSfcLineLayout::sllShortColumns;
    case tav_04300:
    case tav_06341:
    case tav_09040:
      return TSfcLineLayout::sllLongColumns;
    case tav_11059:
      return TSfcLineLayout::sllBlankSeparated;
    case tav_null:
      break;
  }
  return TSfcLineLayout::sllNone;
}

int SfcFieldCount(TAermetVersion version) {
  switch (SfcLineLayout(version)) {
    case TSfcLineLayout::sllShortColumns:
      return 20;
    case TSfcLineLayout::sllLongColumns:
    case TSfcLineLayout::sllBlankSeparated:
      return 25;
    case TSfcLineLayout::sllNone:
      break;
  }
  return 0;
}

}  // namespace zorvik
