#include "meteo/F77FmtParser.h"

#include <algorithm>

#include "records/AttributeCollection.h"
#include "util/TextUtils.h"

namespace zorvik {
namespace {

bool IsDigit(char c) { return c >= '0' && c <= '9'; }
bool IsQuote(char c) { return c == '\'' || c == '"'; }

// The decimal digits from the 1-based position `pos` of the descriptor; 0 when there are none.
int NumberAt(std::string_view descriptor, size_t pos) {
  int value = 0;
  for (size_t i = pos - 1; i < descriptor.size() && IsDigit(descriptor[i]); ++i) {
    value = value * 10 + (descriptor[i] - '0');
    if (value > 100000000) break;  // no line is that wide; keeps the arithmetic in range
  }
  return value;
}

}  // namespace

TF77_FMT_Parser::TF77_FMT_Parser() { tokens.SetDelimiters(","); }

std::string TF77_FMT_Parser::NormaliseStatement(std::string_view s) {
  if (s.size() <= 2) throw ENotFMTStatement("fmt string is not long enough");
  if (s.front() != '(' || s.back() != ')') throw ENotFMTStatement("fmt string is not enclosed in required parens");
  std::string out = "(";
  const size_t n = s.size();
  size_t i = 1;
  while (i < n) {
    const char c = s[i];
    if (IsQuote(c) || c == 'A' || c == 'E' || c == 'F' || c == 'I' || c == 'T') {
      // One descriptor with its terminator.
      const size_t end = s.find_first_of(",)", i + 1);
      if (end == std::string_view::npos) {
        out += s.substr(i);
        break;
      }
      out += s.substr(i, end - i + 1);
      i = end + 1;
    } else if (c == ')') {
      out += ')';
      ++i;
    } else if (c >= '1' && c <= '9') {
      size_t k = i;
      int count = 0;
      while (k < n && IsDigit(s[k])) {
        count = std::min(count * 10 + (s[k] - '0'), 1000);
        ++k;
      }
      const char next = k < n ? s[k] : '\0';
      if (next == '(') {
        size_t close = s.find(')', k + 1);
        if (close == std::string_view::npos) close = n;
        const std::string_view group = s.substr(k + 1, close - k - 1);
        for (int copy = 0; copy < count; ++copy) {
          if (copy > 0) out += ',';
          out += group;
        }
        const size_t after = close + 1;
        if (after < n && s[after] == ',') out += ',';
        i = after + 1;
      } else if (next == 'X') {
        out += s.substr(i, k - i + 1);
        const size_t end = s.find_first_of(",)", k + 1);
        if (end == std::string_view::npos) break;
        if (s[end] == ',') out += ',';
        i = end + 1;
      } else {
        i = k + 2;
      }
    } else {
      break;  // not accepted here: the rest of the statement is ignored
    }
  }
  if (out.back() != ')') out += ')';
  return out;
}

void TF77_FMT_Parser::SetFmtStr(std::string_view statement) {
  std::string normalised = NormaliseStatement(statement);
  TTokenizer split;
  split.SetDelimiters(",");
  split.Tokenize(std::string_view(normalised).substr(1, normalised.size() - 2));
  ffmtStr = std::move(normalised);
  tokens = std::move(split);
}

void TF77_FMT_Parser::LexElements(std::string_view inputStr, TAttributeCollectionRef& elements) {
  elements.Clear();
  std::string_view rest = inputStr;
  int64_t count = 0;  // characters consumed
  int element = 0;
  auto drop = [&](int64_t w) {
    rest.remove_prefix(static_cast<size_t>(std::min<int64_t>(std::max<int64_t>(w, 0), static_cast<int64_t>(rest.size()))));
  };
  auto take = [&](int w) {
    std::string_view text = rest.substr(0, std::min(static_cast<size_t>(w), rest.size()));
    drop(w);
    return text;
  };

  for (const std::string& d : tokens.Tokens()) {
    const char c = d.front();
    if (IsQuote(c)) {
      const int64_t w = std::max<int64_t>(static_cast<int64_t>(d.size()) - 2, 0);
      drop(w);
      count += w;
      continue;
    }
    if (IsDigit(c)) {
      const int w = NumberAt(d, 1);
      drop(w);
      count += w;
      continue;
    }
    if (c == 'T') {
      const int64_t column = NumberAt(d, 2);
      if (column - 1 >= count) {
        drop(column - 1 - count);
        count = column - 1;
      }
      continue;
    }
    int w = 0;
    if (c == 'A' || c == 'I') {
      w = NumberAt(d, 2);
    } else if (c == 'E' || c == 'F') {
      w = NumberAt(d, 2);
      if (w == 0) w = NumberAt(d, 3);
    } else {
      continue;  // a descriptor this parser does not know
    }
    if (w == 0) continue;

    const int64_t firstColumn = count + 1;
    const std::string_view text = take(w);
    count += w;
    if (fElementAsString) {
      elements.AddAttribute(std::make_unique<Atr_String>(std::to_string(firstColumn))).SetAsString(text);
    } else if (c == 'A') {
      elements.AddAttribute(std::make_unique<Atr_String>(GetFieldName(element))).SetAsString(text);
    } else if (c == 'I') {
      elements.AddAttribute(std::make_unique<Atr_Integer>(GetFieldName(element))).SetAsString(text);
    } else {
      std::string number(TrimSpacesView(text));
      if (!number.empty() && number.front() == '.')
        number = "0" + number;
      else if (!number.empty() && number.back() == '.')
        number.pop_back();
      elements.AddAttribute(std::make_unique<Atr_Float>(GetFieldName(element))).SetAsString(number);
    }
    ++element;
  }
}

}  // namespace zorvik
