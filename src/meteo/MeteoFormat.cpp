#include "meteo/MeteoFormat.h"

#include <array>
#include <filesystem>

#include "meteo/MetTextFile.h"

namespace zorvik {

namespace {

using TFormatTest = bool (*)(TMetTextFile& file);

bool TestAermetSfc(TMetTextFile& file) { return IsAermetSfcHeader(file.GetLine()); }

constexpr size_t kFormatCount = static_cast<size_t>(mfDSI6401) + 1;

// The identification test of each format, indexed by the enumeration; none for the formats this system
// never asks about.
constexpr std::array<TFormatTest, kFormatCount> kFormatTests = [] {
  std::array<TFormatTest, kFormatCount> tests{};
  tests[static_cast<size_t>(mfAermetSFC)] = &TestAermetSfc;
  return tests;
}();

}  // namespace

bool IsAermetSfcHeader(const std::string& firstLine) {
  for (const char* label : {"UA_ID", "SF_ID", "OS_ID", "VERSION"})
    if (firstLine.find(label) == std::string::npos) return false;
  return true;
}

bool DetectMeteoFormat(const std::string& fileName, TMeteoFormat format) {
  std::error_code ec;
  if (!std::filesystem::is_regular_file(fileName, ec)) return false;
  const auto index = static_cast<size_t>(format);
  if (index >= kFormatTests.size() || !kFormatTests[index]) return false;
  TMetTextFile file(fileName);
  return kFormatTests[index](file);
}

}  // namespace zorvik
