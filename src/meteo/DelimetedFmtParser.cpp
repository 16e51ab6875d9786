#include "meteo/DelimetedFmtParser.h"

#include <memory>

#include "records/AttributeCollection.h"
#include "util/TextUtils.h"

namespace zorvik {
namespace {

bool IsSeparator(char c) {
  const auto u = static_cast<unsigned char>(c);
  return u >= 1 && u <= 32;
}

}  // namespace

void TDelimeted_FMT_Parser::LexElements(std::string_view InputStr, TAttributeCollectionRef& Elements) {
  const std::string_view s = TrimView(InputStr);

  tokens.clear();
  size_t i = 0;
  const size_t n = s.size();
  while (i < n) {
    std::string token;
    if (s[i] == fQuoteChar) {
      ++i;
      while (i < n) {
        if (s[i] == fQuoteChar) {
          if (i + 1 < n && s[i + 1] == fQuoteChar) {
            token += fQuoteChar;
            i += 2;
            continue;
          }
          ++i;
          break;
        }
        token += s[i++];
      }
    } else {
      const size_t start = i;
      while (i < n && !IsSeparator(s[i]) && s[i] != fDelimiter) ++i;
      token.assign(s.substr(start, i - start));
    }
    tokens.push_back(std::move(token));
    while (i < n && IsSeparator(s[i])) ++i;
    if (i < n && s[i] == fDelimiter) {
      // A delimiter other than a blank: a trailing one still ends an (empty) field.
      if (i + 1 == n) tokens.emplace_back();
      ++i;
      while (i < n && IsSeparator(s[i])) ++i;
    }
  }

  Elements.Clear();
  for (size_t k = 0; k < tokens.size(); ++k)
    Elements.AddAttribute(std::make_unique<Atr_String>(GetFieldName(static_cast<int>(k)))).SetAsString(tokens[k]);
}

}  // namespace zorvik
