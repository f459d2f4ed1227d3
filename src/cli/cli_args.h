// Command-line words of one subcommand: positional words and --flags, checked as they are
// taken so that anything left over is reported as a usage error.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace quillon::cli {

class Args {
 public:
  explicit Args(std::vector<std::string> words) : words_(std::move(words)), used_(words_.size()) {}

  // The next positional word not yet taken. Words starting with "-" are flags (a negative
  // number is positional), and the word after a flag that takes a value is that value, so
  // options may stand before, between or after the positional words.
  std::optional<std::string> Next();
  // "--name" present (taken).
  bool Flag(const std::string& name);
  // "--name VALUE" or "--name=VALUE"; missing_value is set when the value is absent. name
  // must be one of the flags TakesValue knows.
  std::optional<std::string> Value(const std::string& name, bool* missing_value = nullptr);
  // True when --help or -h was given.
  bool Help();
  // The first word not taken, if any (for "unexpected argument" messages).
  std::optional<std::string> Leftover() const;

 private:
  std::vector<std::string> words_;
  std::vector<bool> used_;
};

// True for the commands' flags that take a value ("--packsize N"): the word after one is
// its value, never a positional word or a global option.
bool TakesValue(const std::string& flag);

// Whole number in [min, max]; nullopt otherwise.
std::optional<long long> ParseInt(const std::string& text, long long min, long long max);

}  // namespace quillon::cli
