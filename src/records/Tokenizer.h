#pragma once
// TTokenizer: cuts a text at delimiter characters. Runs of delimiters give no empty tokens unless
// allowEmptyTokens is set; then every delimiter that begins the rest of the text gives one empty token.
//
//   TTokenizer t;
//   t.SetDelimiters(",");
//   t.Tokenize(",a,,b,");        // a, b   (with SetAllowEmptyTokens(true): "", a, "", b)
#include <string>
#include <string_view>
#include <vector>

namespace zorvik {

class TTokenizer {
 public:
  bool allowEmptyTokens() const { return fallowEmptyTokens; }
  void SetAllowEmptyTokens(bool allow) { fallowEmptyTokens = allow; }
  // Each character of the text is a delimiter (default: one blank).
  const std::string& delimiters() const { return fdelimiters; }
  void SetDelimiters(std::string delimiters) { fdelimiters = std::move(delimiters); }

  // Replaces the tokens by those of input.
  void Tokenize(std::string_view input);
  int Count() const { return static_cast<int>(tokenList.size()); }
  // The token, or "" for an index out of range.
  std::string GetTokenItem(int index) const;
  const std::vector<std::string>& Tokens() const { return tokenList; }

 private:
  bool fallowEmptyTokens = false;
  std::string fdelimiters = " ";
  std::vector<std::string> tokenList;
};

}  // namespace zorvik
