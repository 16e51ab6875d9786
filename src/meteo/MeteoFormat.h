#pragma once
// Met file formats known to the met library, and the test of a file's first lines that tells them apart.
#include <cstdint>
#include <string>

namespace zorvik {

enum class TMeteoFormat : uint8_t {
  mfUnknown, mfSamson, mfCD144, mfMET144, mfPreProcess, mfMeteoOne, mfCARB, mfNCDC, mfHUSWO, mfTD6201F,
  mfTD6201V, mfTD3505, mfFSL, mfMixSCRAM, mfPreProcessDry, mfPreProcessWet, mfTarvo, mfTD3280, mfAermetSFC,
  mfTD3280V, mfTD3240F, mfTD3240V, mfAKTOld, mfAKTNew, mfAermetPFL, mfCanberra, mfTD3505Old, mfAKS, mfAustalZ,
  mfMoninObukhov, mfMM4, mfMM5, mfM3D, mfAKTRain, mfAKSRain, mfTD9956, mfGenericCSV, mfNDBC, mfNODC,
  mfTimeSeriesTRC, mfDSI6405, mfASOSWindHour, mfSCIPUFF30A8Surface, mfSCIPUFF30A8Profile, mfDSI6401,
};
using enum TMeteoFormat;

// Whether the file is of the format, by a test of its first line. False when the file does not exist or no
// test is known for the format; only mfAermetSFC has one: the first line contains each of "UA_ID", "SF_ID",
// "OS_ID" and "VERSION" (case-sensitive). A file that exists but cannot be opened raises EFOpenError, a first
// line longer than any met file line EFormatError. A byte-order mark before the first line is skipped.
bool DetectMeteoFormat(const std::string& fileName, TMeteoFormat format);

// The mfAermetSFC test of one line.
bool IsAermetSfcHeader(const std::string& firstLine);

}  // namespace zorvik
