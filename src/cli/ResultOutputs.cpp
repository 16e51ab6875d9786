#include "cli/ResultOutputs.h"

#include <fmt/format.h>

#include <algorithm>
#include <charconv>
#include <cmath>
#include <filesystem>
#include <iostream>

#include "cli/CliSupport.h"
#include "plotfile/PlotFile.h"
#include "plotfile/PlotFormat.h"
#include "util/ExceptionLog.h"
#include "util/OutputFile.h"
#include "util/TextUtils.h"

namespace zorvik::cli {
namespace {

namespace fs = std::filesystem;

constexpr std::string_view kPlt = "plt";
constexpr int kMaxTop = 1000000;

bool IsPlt(const std::string& format) { return AsciiLower(format) == kPlt; }

// The N of "EPSG:N" (prefix in any case), or nothing.
std::optional<int> EpsgCode(const std::string& crs) {
  constexpr std::string_view kPrefix = "epsg:";
  if (AsciiLower(crs).rfind(kPrefix, 0) != 0) return std::nullopt;
  const char* begin = crs.data() + kPrefix.size();
  const char* end = crs.data() + crs.size();
  int code = 0;
  const auto [stop, ec] = std::from_chars(begin, end, code);
  if (begin == end || *begin < '0' || *begin > '9' || ec != std::errc() || stop != end || code <= 0)
    return std::nullopt;
  return code;
}

// One line of the --top table; the value with the PLOTFILE's digits, no date or value as "-".
std::string TopLine(const std::string& rank, const std::string& receptor, const std::string& value,
                    const std::string& date, const std::string& x, const std::string& y) {
  return fmt::format("{:>5} {:>9} {:>13} {:>9} {:>14} {:>14}\n", rank, receptor, value, date, x, y);
}

std::string TopTable(const std::vector<TResultRow>& rows, size_t n, std::string_view valueName,
                     const std::string& path) {
  const std::vector<TResultRow> top = TopRows(rows, n);
  std::string text = fmt::format("{}: the {} highest of {} receptors ({})\n", path, top.size(), rows.size(), valueName);
  text += TopLine("RANK", "RECEPTOR", AsciiUpper(valueName), "DATE", "X", "Y");
  const auto number = [](double v) { return std::isfinite(v) ? fmt::format("{:.2f}", v) : std::string("-"); };
  for (size_t i = 0; i < top.size(); ++i) {
    const TResultRow& r = top[i];
    text += TopLine(std::to_string(i + 1), std::to_string(r.Receptor),
                    std::isfinite(r.Value) ? FormatPlotValue(r.Value, 5) : "-",
                    r.Date != 0 ? std::to_string(r.Date) : "-", number(r.X), number(r.Y));
  }
  return text;
}

}  // namespace

std::optional<TResultFormat> ResultOutputs::TableFormat() const { return ResultFormatFromName(format); }

void AddResultOutputOptions(CLI::App& cmd, ResultOutputs& outputs) {
  cmd.add_option("--format", outputs.format,
                 "plt (PLOTFILEs, the default), csv (receptor,x,y,elevation,value,date), geojson (points with those "
                 "properties) or asc (ESRI ASCII grid; receptors on a complete regular grid only): files named as "
                 "the PLOTFILEs with the format's extension, values in the POSTFILE's units")
      ->type_name("FORMAT")
      ->check(CLI::Validator(
          [](std::string& text) -> std::string {
            if (IsPlt(text) || ResultFormatFromName(text)) return {};
            return "\"" + text + "\" is not one of plt, csv, geojson and asc";
          },
          "", "FORMAT"));
  cmd.add_option("--crs", outputs.crs,
                 "with --format geojson: the EPSG code of the receptors' coordinate system, written as the legacy "
                 "\"crs\" member (e.g. EPSG:32615)")
      ->type_name("EPSG:N");
  cmd.add_option("--top", outputs.top,
                 "also print the N highest receptors of each result (rank, receptor, value, date, x, y), after "
                 "the files written and an empty line")
      ->type_name("N")
      ->check(CLI::Range(1, kMaxTop).description(""));
}

std::string ResultFileName(const std::string& plotName, const ResultOutputs& outputs) {
  const auto format = outputs.TableFormat();
  if (!format) return plotName;
  return fs::path(plotName).replace_extension(ResultFormatName(*format)).string();
}

std::string OutputTypeFileName(const std::string& path, TPostOutType type) {
  const fs::path file(path);
  return (file.parent_path() /
          (file.stem().string() + "_" + AsciiUpper(PostOutTypeName(type)) + file.extension().string()))
      .string();
}

std::vector<TFileRole> ResultFileRoles(const TFileRole& output, const ResultOutputs& outputs) {
  std::vector<TFileRole> roles{output};
  if (outputs.TableFormat())
    for (TPostOutType t : kAllPostOutTypes)
      roles.push_back({output.Role + " (its " + std::string(PostOutTypeName(t)) + " file)",
                       OutputTypeFileName(output.Path, t)});
  return roles;
}

void CheckResultOutputs(const ResultOutputs& outputs, const std::string& plotFile) {
  const auto format = outputs.TableFormat();
  if (!format && !IsPlt(outputs.format))
    throw EUsageError(fmt::format("--format: \"{}\" is not one of plt, csv, geojson and asc", outputs.format));
  if (!outputs.crs.empty()) {
    if (format != TResultFormat::rfGeoJson)
      throw EUsageError("--crs is written into GeoJSON only: add --format geojson or leave --crs out");
    if (!EpsgCode(outputs.crs))
      throw EUsageError(fmt::format("--crs: \"{}\" is not EPSG:N (N a positive code, e.g. EPSG:32615)", outputs.crs));
  }
  if (format != TResultFormat::rfAsciiGrid) return;
  try {
    FormatResultAsciiGrid(ReceptorRows(TPlotFile::Read(plotFile)));
  } catch (const EFormatError& e) {
    throw EUsageError(fmt::format("--format asc refused for the PLOTFILE {}: {}", plotFile,
                                  RootMessage(e)));
  }
}

std::string WriteResult(const ResultOutputs& outputs, const std::vector<TResultRow>& rows, std::string_view valueName,
                        const std::string& path) {
  return traced("WriteResult", [&] {
    if (const auto format = outputs.TableFormat()) {
      switch (*format) {
        case TResultFormat::rfCsv: WriteFileAtomically(path, FormatResultCsv(rows, valueName)); break;
        case TResultFormat::rfGeoJson:
          WriteFileAtomically(path, FormatResultGeoJson(rows, valueName, EpsgCode(outputs.crs)));
          break;
        case TResultFormat::rfAsciiGrid: WriteFileAtomically(path, FormatResultAsciiGrid(rows)); break;
      }
    }
    return outputs.top > 0 ? TopTable(rows, static_cast<size_t>(outputs.top), valueName, path) : std::string();
  });
}

void WriteResults(const ResultOutputs& outputs, const std::vector<std::string>& paths,
                  const std::vector<TResultRows>& results) {
  if (outputs.PlotFiles())
    for (const std::string& file : paths) std::cout << file << "\n";
  std::vector<std::string> tables;
  if (!results.empty()) {
    // Item after item, one entry per output type of the run.
    const size_t types = results.size() / std::max<size_t>(paths.size(), 1);
    Assert(types >= 1 && types * paths.size() == results.size(),
           fmt::format("{} results for {} outputs", results.size(), paths.size()));
    for (size_t k = 0; k < results.size(); ++k) {
      const TResultRows& result = results[k];
      std::string path = paths[k / types];
      if (outputs.TableFormat() && types > 1) path = OutputTypeFileName(path, result.Type);
      tables.push_back(WriteResult(outputs, result.Rows, PostOutTypeName(result.Type), path));
      if (outputs.TableFormat()) std::cout << path << "\n" << std::flush;
    }
  }
  for (const std::string& table : tables)
    if (!table.empty()) std::cout << "\n" << table;
}

}  // namespace zorvik::cli
