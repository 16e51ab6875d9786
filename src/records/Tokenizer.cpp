#include "records/Tokenizer.h"

namespace zorvik {

void TTokenizer::Tokenize(std::string_view input) {
  tokenList.clear();
  std::string_view rest = input;
  auto isDelimiter = [&](char c) { return fdelimiters.find(c) != std::string::npos; };
  while (!rest.empty()) {
    bool emptyToken = false;
    while (!rest.empty() && isDelimiter(rest.front())) {
      rest.remove_prefix(1);
      if (fallowEmptyTokens) {
        emptyToken = true;
        break;
      }
    }
    if (emptyToken) {
      tokenList.emplace_back();
      continue;
    }
    if (rest.empty()) break;
    const size_t p = rest.find_first_of(fdelimiters);
    if (p == std::string_view::npos) {
      tokenList.emplace_back(rest);
      rest = {};
    } else {
      tokenList.emplace_back(rest.substr(0, p));
      rest.remove_prefix(p + 1);
    }
  }
}

std::string TTokenizer::GetTokenItem(int index) const {
  if (index < 0 || index >= Count()) return {};
  return tokenList[static_cast<size_t>(index)];
}

}  // namespace zorvik
