#include "engine/ResultTable.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <string>

#include "util/Exceptions.h"
#include "util/TextUtils.h"

namespace zorvik {

namespace {

constexpr const char* kEol = "\r\n";

// The shortest text that reads back to the same double; "." always, never "-0".
void AppendNumber(std::string& out, double value) {
  if (value == 0) value = 0;  // -0 becomes 0
  char text[32];
  const auto [end, ec] = std::to_chars(text, text + sizeof text, value);
  out.append(text, end);
}

// A number that is not finite has no text in CSV or JSON: `none` stands for it.
void AppendNumberOr(std::string& out, double value, std::string_view none) {
  if (std::isfinite(value))
    AppendNumber(out, value);
  else
    out += none;
}

std::string NumberText(double value) {
  std::string s;
  AppendNumber(s, value);
  return s;
}

void AppendInteger(std::string& out, long long value) {
  char text[24];
  const auto [end, ec] = std::to_chars(text, text + sizeof text, value);
  out.append(text, end);
}

void AppendCsvField(std::string& out, std::string_view field) {
  if (field.find_first_of(",\"\r\n") == std::string_view::npos) {
    out.append(field);
    return;
  }
  out += '"';
  for (char c : field) {
    if (c == '"') out += '"';
    out += c;
  }
  out += '"';
}

// A JSON string of 8-bit text: quotes, backslashes and control characters escaped, other bytes as they are.
void AppendJsonString(std::string& out, std::string_view text) {
  out += '"';
  for (char c : text) {
    const auto u = static_cast<unsigned char>(c);
    if (c == '"' || c == '\\') {
      out += '\\';
      out += c;
    } else if (u < 0x20) {
      static constexpr char kHex[] = "0123456789abcdef";
      out += "\\u00";
      out += kHex[u >> 4];
      out += kHex[u & 15];
    } else {
      out += c;
    }
  }
  out += '"';
}

// ---- errors of the ASCII grid, each message in one place ----

[[noreturn]] void RaiseNotAGrid(const std::string& why) {
  throw EFormatError("ESRI ASCII grid: the receptors do not form a regular Cartesian grid (" + why + ")");
}

[[noreturn]] void RaiseNoCellSize(size_t receptors) {
  throw EFormatError("ESRI ASCII grid: " + std::to_string(receptors) +
                     " receptor(s) at a single position give no cell size");
}

[[noreturn]] void RaiseNonFinitePosition(int receptor) {
  throw EFormatError("ESRI ASCII grid: receptor " + std::to_string(receptor) + " has no finite position");
}

[[noreturn]] void RaiseUnevenSpacing(char axis, double a, double b, double c) {
  RaiseNotAGrid(std::string(1, axis) + " coordinates " + NumberText(a) + ", " + NumberText(b) + ", " +
                NumberText(c) + " are not equally spaced");
}

[[noreturn]] void RaiseNonSquareCells(double dx, double dy) {
  throw EFormatError("ESRI ASCII grid: the x spacing " + NumberText(dx) + " differs from the y spacing " +
                     NumberText(dy) + "; the format has square cells only");
}

[[noreturn]] void RaiseMissingCell(double x, double y) {
  RaiseNotAGrid("no receptor at x " + NumberText(x) + ", y " + NumberText(y));
}

[[noreturn]] void RaiseSharedCell(const TResultRow& first, const TResultRow& second) {
  const auto place = [](const TResultRow& r) {
    return std::to_string(r.Receptor) + " (x " + NumberText(r.X) + ", y " + NumberText(r.Y) + ")";
  };
  RaiseNotAGrid("receptors " + place(first) + " and " + place(second) + " fall in the same cell");
}

// The distinct positions along one axis, values within `tol` of each other taken as one (at their mean),
// ascending; checked to be equally spaced.
struct TAxis {
  std::vector<double> Centres;
  double Spacing = 0;  // 0 for a single position
};

TAxis BuildAxis(std::vector<double> values, double tol, char name) {
  std::sort(values.begin(), values.end());
  TAxis axis;
  size_t begin = 0;
  for (size_t i = 1; i <= values.size(); ++i) {
    if (i == values.size() || values[i] - values[i - 1] > tol) {
      double sum = 0;
      for (size_t k = begin; k < i; ++k) sum += values[k];
      axis.Centres.push_back(sum / static_cast<double>(i - begin));
      begin = i;
    }
  }
  const size_t n = axis.Centres.size();
  if (n < 2) return axis;
  axis.Spacing = (axis.Centres.back() - axis.Centres.front()) / static_cast<double>(n - 1);
  for (size_t i = 1; i + 1 < n; ++i) {
    const double expected = axis.Centres.front() + static_cast<double>(i) * axis.Spacing;
    if (std::fabs(axis.Centres[i] - expected) > tol)
      RaiseUnevenSpacing(name, axis.Centres[i - 1], axis.Centres[i], axis.Centres[i + 1]);
  }
  return axis;
}

size_t CellIndex(const TAxis& axis, double value) {
  if (axis.Centres.size() < 2) return 0;
  const double i = std::round((value - axis.Centres.front()) / axis.Spacing);
  return static_cast<size_t>(std::clamp(i, 0.0, static_cast<double>(axis.Centres.size() - 1)));
}

// Higher value first, NaN last, then lower receptor number first.
bool RanksBefore(const TResultRow& a, const TResultRow& b) {
  const bool aNan = std::isnan(a.Value), bNan = std::isnan(b.Value);
  if (aNan != bNan) return bNan;
  if (!aNan && a.Value != b.Value) return a.Value > b.Value;
  return a.Receptor < b.Receptor;
}

}  // namespace

std::optional<TResultFormat> ResultFormatFromName(std::string_view name) {
  const std::string lower = AsciiLower(name);
  for (TResultFormat f : {TResultFormat::rfCsv, TResultFormat::rfGeoJson, TResultFormat::rfAsciiGrid})
    if (lower == ResultFormatName(f)) return f;
  return std::nullopt;
}

std::string_view ResultFormatName(TResultFormat format) {
  switch (format) {
    case TResultFormat::rfCsv: return "csv";
    case TResultFormat::rfGeoJson: return "geojson";
    case TResultFormat::rfAsciiGrid: return "asc";
  }
  return "";
}

std::string FormatResultCsv(const std::vector<TResultRow>& rows, std::string_view valueName) {
  std::string out = "receptor,x,y,elevation,";
  AppendCsvField(out, valueName);
  out += ",date";
  out += kEol;
  for (const TResultRow& r : rows) {
    AppendInteger(out, r.Receptor);
    for (double v : {r.X, r.Y, r.Elevation, r.Value}) {
      out += ',';
      AppendNumberOr(out, v, "");
    }
    out += ',';
    if (r.Date != 0) AppendInteger(out, r.Date);
    out += kEol;
  }
  return out;
}

std::string FormatResultGeoJson(const std::vector<TResultRow>& rows, std::string_view valueName,
                                std::optional<int> epsg) {
  std::string out = "{\"type\": \"FeatureCollection\",";
  out += kEol;
  if (epsg) {
    out += "\"crs\": {\"type\": \"name\", \"properties\": {\"name\": \"urn:ogc:def:crs:EPSG::";
    AppendInteger(out, *epsg);
    out += "\"}},";
    out += kEol;
  }
  out += "\"features\": [";
  out += kEol;
  for (size_t i = 0; i < rows.size(); ++i) {
    const TResultRow& r = rows[i];
    out += "{\"type\": \"Feature\", \"geometry\": ";
    if (std::isfinite(r.X) && std::isfinite(r.Y)) {
      out += "{\"type\": \"Point\", \"coordinates\": [";
      AppendNumber(out, r.X);
      out += ", ";
      AppendNumber(out, r.Y);
      out += "]}";
    } else {
      out += "null";
    }
    out += ", \"properties\": {\"receptor\": ";
    AppendInteger(out, r.Receptor);
    out += ", \"x\": ";
    AppendNumberOr(out, r.X, "null");
    out += ", \"y\": ";
    AppendNumberOr(out, r.Y, "null");
    out += ", \"elevation\": ";
    AppendNumberOr(out, r.Elevation, "null");
    out += ", ";
    AppendJsonString(out, valueName);
    out += ": ";
    AppendNumberOr(out, r.Value, "null");
    out += ", \"date\": ";
    if (r.Date != 0)
      AppendInteger(out, r.Date);
    else
      out += "null";
    out += "}}";
    if (i + 1 < rows.size()) out += ',';
    out += kEol;
  }
  out += "]}";
  out += kEol;
  return out;
}

std::string FormatResultAsciiGrid(const std::vector<TResultRow>& rows) {
  if (rows.empty()) RaiseNoCellSize(0);
  std::vector<double> xs, ys;
  xs.reserve(rows.size());
  ys.reserve(rows.size());
  for (const TResultRow& r : rows) {
    if (!std::isfinite(r.X) || !std::isfinite(r.Y)) RaiseNonFinitePosition(r.Receptor);
    xs.push_back(r.X);
    ys.push_back(r.Y);
  }
  const auto [xMin, xMax] = std::minmax_element(xs.begin(), xs.end());
  const auto [yMin, yMax] = std::minmax_element(ys.begin(), ys.end());
  const double tol = 1e-6 * std::max(*xMax - *xMin, *yMax - *yMin);
  if (tol == 0) RaiseNoCellSize(rows.size());

  const TAxis columns = BuildAxis(std::move(xs), tol, 'x');
  const TAxis gridRows = BuildAxis(std::move(ys), tol, 'y');
  double cellSize = columns.Spacing;
  if (columns.Centres.size() < 2) {
    cellSize = gridRows.Spacing;
  } else if (gridRows.Centres.size() >= 2 && std::fabs(columns.Spacing - gridRows.Spacing) > tol) {
    RaiseNonSquareCells(columns.Spacing, gridRows.Spacing);
  }

  const size_t nCols = columns.Centres.size(), nRows = gridRows.Centres.size();
  // Receptor index + 1 of each cell, row 0 in the south.
  std::vector<size_t> cells(nCols * nRows, 0);
  for (size_t i = 0; i < rows.size(); ++i) {
    const size_t col = CellIndex(columns, rows[i].X), row = CellIndex(gridRows, rows[i].Y);
    size_t& cell = cells[row * nCols + col];
    if (cell != 0)
      RaiseSharedCell(rows[cell - 1], rows[i]);
    cell = i + 1;
  }
  for (size_t k = 0; k < cells.size(); ++k)
    if (cells[k] == 0) RaiseMissingCell(columns.Centres[k % nCols], gridRows.Centres[k / nCols]);

  const double xCentre = columns.Centres.front(), yCentre = gridRows.Centres.front();
  std::string out = "ncols ";
  AppendInteger(out, static_cast<long long>(nCols));
  out += kEol;
  out += "nrows ";
  AppendInteger(out, static_cast<long long>(nRows));
  out += kEol;
  out += "xllcorner ";
  AppendNumber(out, xCentre - cellSize / 2);
  out += kEol;
  out += "yllcorner ";
  AppendNumber(out, yCentre - cellSize / 2);
  out += kEol;
  out += "cellsize ";
  AppendNumber(out, cellSize);
  out += kEol;
  out += "NODATA_value -9999";
  out += kEol;
  for (size_t row = nRows; row-- > 0;) {
    for (size_t col = 0; col < nCols; ++col) {
      if (col > 0) out += ' ';
      const double v = rows[cells[row * nCols + col] - 1].Value;
      if (std::isfinite(v))
        AppendNumber(out, v);
      else
        out += "-9999";
    }
    out += kEol;
  }
  return out;
}

std::vector<TResultRow> TopRows(std::vector<TResultRow> rows, size_t n) {
  n = std::min(n, rows.size());
  std::partial_sort(rows.begin(), rows.begin() + static_cast<std::ptrdiff_t>(n), rows.end(), RanksBefore);
  rows.resize(n);
  return rows;
}

}  // namespace zorvik
