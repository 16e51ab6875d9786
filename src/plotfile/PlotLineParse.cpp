#include "plotfile/PlotLineParse.h"

#include <algorithm>
#include <array>
#include <charconv>

#include <fmt/format.h>

#include "util/TextUtils.h"

namespace zorvik {
namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

// A whole text of decimal digits with a value of at least 1 and at most `maximum`.
bool IsCount(std::string_view s, int maximum) {
  if (s.empty() || s.size() > 9 || !std::all_of(s.begin(), s.end(), [](char c) { return c >= '0' && c <= '9'; }))
    return false;
  int value = 0;
  std::from_chars(s.data(), s.data() + s.size(), value);
  return value >= 1 && value <= maximum;
}

constexpr std::array<std::string_view, 12> kMonths = {"JANUARY", "FEBRUARY", "MARCH",     "APRIL",
                                                       "MAY",     "JUNE",     "JULY",      "AUGUST",
                                                       "SEPTEMBER", "OCTOBER", "NOVEMBER", "DECEMBER"};

}  // namespace

std::vector<std::string> PlotLineTokens(std::string_view line) {
  std::vector<std::string> tokens;
  size_t i = 0;
  while (i < line.size()) {
    while (i < line.size() && IsBlank(line[i])) ++i;
    if (i >= line.size()) break;
    size_t start = i;
    while (i < line.size() && !IsBlank(line[i])) ++i;
    std::string_view token = line.substr(start, i - start);
    auto quote = [](char c) { return c == '"' || c == '\''; };
    if (!token.empty() && quote(token.front())) token.remove_prefix(1);
    if (!token.empty() && quote(token.back())) token.remove_suffix(1);
    token = TrimView(token);
    if (token == "_") token = {};
    tokens.emplace_back(token);
  }
  return tokens;
}

bool PlotNumberValue(std::string_view token, double& value) {
  std::string text(token);
  auto sep = text.find_first_of(",._");
  if (sep != std::string::npos) text[sep] = '.';
  bool digit = false;
  for (char c : text) {
    if (c >= '0' && c <= '9')
      digit = true;
    else if (c != '+' && c != '-' && c != '.' && c != 'e' && c != 'E')
      return false;
  }
  if (!digit) return false;
  const char* first = text.data();
  const char* last = text.data() + text.size();
  if (*first == '+') ++first;
  if (first != last && *first == '+') return false;
  auto [ptr, ec] = std::from_chars(first, last, value);
  return ec == std::errc() && ptr == last;
}

bool IsPlotNumber(std::string_view token) {
  double value;
  return PlotNumberValue(token, value);
}

bool IsHighValueWord(std::string_view token, std::string* high) {
  std::string word(token);
  std::string upper = AsciiUpper(word);
  if (auto p = upper.find("-HIGHEST"); p != std::string::npos) {
    word.erase(p, 8);
    upper.erase(p, 8);
  }
  if (upper.size() < 3) return false;
  std::string_view suffix = std::string_view(upper).substr(upper.size() - 2);
  if (suffix != "ST" && suffix != "ND" && suffix != "RD" && suffix != "TH") return false;
  if (!IsCount(std::string_view(upper).substr(0, upper.size() - 2), 999)) return false;
  if (high) *high = word;
  return true;
}

bool IsAverageWord(std::string_view token) {
  std::string upper = AsciiUpper(token);
  return upper.find("-HR") != std::string::npos || upper == "PERIOD" || upper == "MONTH" || upper == "ANNUAL";
}

int MonthOfName(std::string_view token) {
  for (size_t i = 0; i < kMonths.size(); ++i)
    if (SameTextAscii(kMonths[i], token)) return static_cast<int>(i) + 1;
  return 0;
}

int PlotFileKindOf(std::string_view upperLine) {
  for (const auto& kind : PlotFileKinds())
    if (upperLine.find(kind.Phrase) != std::string_view::npos) return kind.DataType;
  return 0;
}

bool IsReceptorCountLine(std::string_view upperLine) {
  const auto p = upperLine.find("TOTAL OF");
  return p != std::string_view::npos && upperLine.find("RECEPTOR", p) != std::string_view::npos;
}

bool ReceptorCountOf(std::string_view upperLine, int32_t& count, std::string* token) {
  auto p = upperLine.find("TOTAL OF");
  if (p == std::string_view::npos) return false;
  std::string_view rest = upperLine.substr(p + 8);
  size_t i = 0;
  while (i < rest.size() && IsBlank(rest[i])) ++i;
  size_t end = i;
  while (end < rest.size() && !IsBlank(rest[end])) ++end;
  const std::string_view text = rest.substr(i, end - i);
  if (token) *token = std::string(text);
  auto isDigit = [](char c) { return c >= '0' && c <= '9'; };
  if (text.empty() || !isDigit(text.front()) || !isDigit(text.back())) return false;
  int64_t value = 0;
  for (size_t k = 0; k < text.size(); ++k) {
    if (isDigit(text[k])) {
      value = value * 10 + (text[k] - '0');
      if (value > INT32_MAX) return false;
    } else if (text[k] != ',' || !isDigit(text[k - 1])) {
      // Only a comma between digits ("1,296") is allowed: a thousands separator.
      return false;
    }
  }
  count = static_cast<int32_t>(value);
  return true;
}

bool ApplyKindWord(std::string_view token, std::string& hour, std::string& high, bool& highSet) {
  auto append = [&](std::string_view word) { hour = std::string(TrimView(hour + " " + std::string(word))); };
  if (token == "PERIOD" || token == "MONTH" || token == "ANNUAL" || token == "1/2-HR" || token == "1/2HR") {
    hour = std::string(token);
  } else if (token == "NO2" || token == "PM2.5" || token == "SO2") {
    append(token);
  } else if (token == "NAAQS") {
    append("NAAQS");
    high = "OTHERS";
    highSet = true;
    return true;
  } else if (auto p = token.find("-HR"); p != std::string_view::npos && IsCount(token.substr(0, p), INT32_MAX)) {
    hour = std::string(token);
  } else if (token.size() > 2 && token.ends_with("HR") && IsCount(token.substr(0, token.size() - 2), INT32_MAX)) {
    hour = std::string(token);
  } else if (std::string word; IsHighValueWord(token, &word)) {
    high = word;
    highSet = true;
  }
  return false;
}

TPlotKindLine ParsePlotKindLine(std::string_view upperLine) {
  TPlotKindLine kind;
  std::string line(upperLine);
  if (auto g = line.find("GROUP:"); g != std::string::npos) {
    size_t start = g + 6;
    while (start < line.size() && line[start] == ' ') ++start;
    size_t blank = line.find(' ', start);
    if (blank == std::string::npos) {
      kind.group = line.substr(start);
    } else {
      kind.group = line.substr(start, blank - start);
      line.resize(blank);
    }
    kind.hasGroup = true;
  }
  std::string high;
  bool highSet = false;
  for (const auto& token : PlotLineTokens(upperLine))
    if (ApplyKindWord(token, kind.hour, high, highSet)) break;
  if (highSet) kind.high = high;
  if (upperLine.find("ANNUAL") != std::string_view::npos)
    kind.keyword = TPltAverageKeyword::kwAnnual;
  else if (upperLine.find("1-HR") != std::string_view::npos)
    kind.keyword = TPltAverageKeyword::kw1Hr;
  std::string header2(TrimView(line));
  for (auto p = header2.find("  "); p != std::string::npos; p = header2.find("  ")) header2.erase(p, 1);
  kind.header2 = std::move(header2);
  return kind;
}

namespace {

bool AllDigits(std::string_view s) {
  return !s.empty() && std::all_of(s.begin(), s.end(), [](char c) { return c >= '0' && c <= '9'; });
}
bool PositiveNumber(std::string_view s) { return AllDigits(s) && s.find_first_not_of('0') != std::string_view::npos; }

// Why one item of a FORMAT statement (no group) cannot be used; empty when it can.
std::string FormatItemProblem(std::string_view item) {
  if (item.empty()) return "it has an empty item";
  const char first = item.front();
  if (first == '\'' || first == '"') {
    if (item.size() < 2 || item.back() != first) return fmt::format("its literal {} is not closed", item);
    if (item.find(',') != std::string_view::npos) return fmt::format("its literal {} holds a comma", item);
    return {};
  }
  if (item.back() == 'X') {
    if (PositiveNumber(item.substr(0, item.size() - 1))) return {};
    return fmt::format("\"{}\" is no blank count (nX)", item);
  }
  const std::string_view rest = item.substr(1);
  const auto dot = rest.find('.');
  const std::string_view width = rest.substr(0, dot);
  const std::string_view decimals = dot == std::string_view::npos ? std::string_view() : rest.substr(dot + 1);
  bool ok = false;
  switch (first) {
    case 'T': ok = PositiveNumber(rest); break;
    case 'A': ok = PositiveNumber(rest); break;
    case 'I': ok = PositiveNumber(width) && (dot == std::string_view::npos || AllDigits(decimals)); break;
    case 'F':
    case 'E': ok = PositiveNumber(width) && dot != std::string_view::npos && AllDigits(decimals); break;
    default:
      if (first >= '0' && first <= '9')
        return fmt::format("\"{}\" repeats a single descriptor; write the repeat as a group, n(...)", item);
      return fmt::format("\"{}\" is no descriptor of a PLOTFILE layout (A, E, F, I, T, X)", item);
  }
  return ok ? std::string() : fmt::format("\"{}\" has no valid width", item);
}

}  // namespace

std::string PlotFormatProblem(std::string_view statement) {
  if (statement.size() < 2 || statement.front() != '(' || statement.back() != ')')
    return "it is not enclosed in parentheses";
  const std::string_view body = statement.substr(1, statement.size() - 2);
  size_t i = 0;
  while (i <= body.size()) {
    // One item: up to the next comma outside a group and outside a literal.
    size_t end = i;
    char quote = 0;
    int depth = 0;
    for (; end < body.size(); ++end) {
      const char c = body[end];
      if (quote) {
        if (c == quote) quote = 0;
      } else if (c == '\'' || c == '"') {
        quote = c;
      } else if (c == '(') {
        if (++depth > 1) return "it nests groups";
      } else if (c == ')') {
        if (--depth < 0) return "its parentheses do not match";
      } else if (c == ',' && depth == 0) {
        break;
      }
    }
    if (quote) return "a literal is not closed";
    if (depth != 0) return "its parentheses do not match";
    const std::string_view item = body.substr(i, end - i);
    if (const auto open = item.find('('); open != std::string_view::npos) {
      if (!PositiveNumber(item.substr(0, open)))
        return fmt::format("the group \"{}\" has no repeat count", item);
      if (item.back() != ')') return fmt::format("the group \"{}\" is followed by more text", item);
      const std::string_view inner = item.substr(open + 1, item.size() - open - 2);
      size_t k = 0;
      while (k <= inner.size()) {
        size_t e = inner.find(',', k);
        if (e == std::string_view::npos) e = inner.size();
        if (std::string problem = FormatItemProblem(inner.substr(k, e - k)); !problem.empty()) return problem;
        k = e + 1;
      }
    } else if (std::string problem = FormatItemProblem(item); !problem.empty()) {
      return problem;
    }
    i = end + 1;
  }
  return {};
}

Tplotcolumn PlotColumnOfHeading(std::string_view heading) {
  std::string_view cut = heading.substr(0, heading.find('('));
  cut = TrimView(cut);
  std::string upper = AsciiUpper(cut);
  for (const auto& name : PlotColumnNames()) {
    if (SameTextAscii(name.Name, cut)) return name.Column;
    bool containable = name.Column == Tplotcolumn::pltConcYr || name.Column == Tplotcolumn::pltDateYr ||
                       name.Column == Tplotcolumn::pltCont;
    if (containable && upper.find(name.Name) != std::string::npos) return name.Column;
  }
  return Tplotcolumn::pltnullcolumn;
}

std::string PlotFieldKey(Tplotcolumn column, std::string_view heading) {
  const auto& info = PlotColumnInfo(column);
  std::string key(info.Key);
  bool suffixed = column == Tplotcolumn::pltConcYr || column == Tplotcolumn::pltDateYr || column == Tplotcolumn::pltCont;
  if (suffixed && heading.size() > info.Title.size()) key += heading.substr(info.Title.size());
  return key;
}

}  // namespace zorvik
