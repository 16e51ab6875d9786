#pragma once
// Sets or clears environment variables for one test and puts the old values back afterwards.
#include <cstdlib>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace zorvik::test {

class ScopedEnv {
 public:
  ScopedEnv() = default;
  ~ScopedEnv() {
    for (auto it = fSaved.rbegin(); it != fSaved.rend(); ++it) Apply(it->first, it->second);
  }
  ScopedEnv(const ScopedEnv&) = delete;
  ScopedEnv& operator=(const ScopedEnv&) = delete;

  // A value of std::nullopt removes the variable.
  ScopedEnv& Set(const std::string& name, std::optional<std::string> value) {
    const char* old = std::getenv(name.c_str());
    fSaved.emplace_back(name, old ? std::optional<std::string>(old) : std::nullopt);
    Apply(name, value);
    return *this;
  }

 private:
  static void Apply(const std::string& name, const std::optional<std::string>& value) {
    if (value) {
      ::setenv(name.c_str(), value->c_str(), 1);
    } else {
      ::unsetenv(name.c_str());
    }
  }
  std::vector<std::pair<std::string, std::optional<std::string>>> fSaved;
};

}  // namespace zorvik::test
