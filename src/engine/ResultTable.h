#pragma once
// Per-receptor results as tables for other programs: CSV, GeoJSON points and the ESRI ASCII grid, and the
// highest receptors of a result. Every text is built in memory; numbers are written locale-independently in
// their shortest form that reads back to the same double, and lines end in CR LF.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace zorvik {

// One receptor's result: its number (from 1), its position as the model gives it, the value and the date of
// the value (the model's YYMMDDHH key; 0 when the value has no date).
struct TResultRow {
  int Receptor;
  double X, Y, Elevation;
  double Value;
  int32_t Date;
};

enum class TResultFormat { rfCsv, rfGeoJson, rfAsciiGrid };

// "csv", "geojson" or "asc" (letters in any case); nothing for any other name.
std::optional<TResultFormat> ResultFormatFromName(std::string_view name);
// The name ResultFormatFromName reads back.
std::string_view ResultFormatName(TResultFormat format);

// A header row "receptor,x,y,elevation,<valueName>,date", then one row per receptor in the given order. A date
// of 0 and a number that is not finite (an elevation the PLOTFILE lacks) are written as empty fields; a name
// with a comma or quote is quoted.
std::string FormatResultCsv(const std::vector<TResultRow>& rows, std::string_view valueName);

// A FeatureCollection with one Point feature per receptor (coordinates [x, y] as given) whose properties are
// the CSV's columns; a date of 0 and a number that is not finite are null (the geometry too when x or y is
// not finite: JSON has no text for such numbers). With an EPSG code the collection
// carries the legacy member "crs": {"type": "name", "properties": {"name": "urn:ogc:def:crs:EPSG::N"}}.
std::string FormatResultGeoJson(const std::vector<TResultRow>& rows, std::string_view valueName,
                                std::optional<int> epsg);

// An ESRI ASCII grid whose cell centres are the receptors: ncols, nrows, xllcorner, yllcorner (the lowest
// centre less half a cell), cellsize and NODATA_value -9999 (written for a value that is not finite), then the
// rows from north to south, each from west to east. Coordinates may differ from the exact grid by a millionth
// of the grid's extent. Raises EFormatError when the receptors are not a complete regular Cartesian grid: fewer
// than two positions, columns or rows not equally spaced, a cell with no receptor or with two, or an x spacing
// different from the y spacing (the format has square cells only).
std::string FormatResultAsciiGrid(const std::vector<TResultRow>& rows);

// The n rows of highest value, highest first; equal values in ascending receptor number, NaN values last.
// Fewer than n rows give all of them.
std::vector<TResultRow> TopRows(std::vector<TResultRow> rows, size_t n);

}  // namespace zorvik
