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

  // The elements of the line before serve again where they are as many and named alike (a new element each
  // line cost two allocations): each is first put back as new, so that it takes its text as a new one would.
  bool reuse = Elements.Count() == static_cast<int>(tokens.size());
  for (size_t k = 0; reuse && k < tokens.size(); ++k)
    reuse = Elements.ByIndex(static_cast<int>(k)).FieldType() == AttrType::atString &&
            SameTextAscii(Elements.ByIndex(static_cast<int>(k)).FieldName(), GetFieldName(static_cast<int>(k)));
  if (!reuse) {
    Elements.Clear();
    for (size_t k = 0; k < tokens.size(); ++k)
      Elements.AddAttribute(std::make_unique<Atr_String>(GetFieldName(static_cast<int>(k)))).SetAsString(tokens[k]);
    return;
  }
  for (size_t k = 0; k < tokens.size(); ++k) {
    base_Attribute& element = Elements.ByIndex(static_cast<int>(k));
    element.Clear();
    element.SetChanged(false);
    element.SetAsString(tokens[k]);
  }
}

}  // namespace zorvik
