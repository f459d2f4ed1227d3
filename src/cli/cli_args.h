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

  // The next positional word not yet taken (words starting with "--" are flags).
  std::optional<std::string> Next();
  // "--name" present (taken).
  bool Flag(const std::string& name);
  // "--name VALUE" or "--name=VALUE"; missing_value is set when the value is absent.
  std::optional<std::string> Value(const std::string& name, bool* missing_value = nullptr);
  // True when --help or -h was given.
  bool Help();
  // The first word not taken, if any (for "unexpected argument" messages).
  std::optional<std::string> Leftover() const;

 private:
  std::vector<std::string> words_;
  std::vector<bool> used_;
};

// Whole number in [min, max]; nullopt otherwise.
std::optional<long long> ParseInt(const std::string& text, long long min, long long max);

}  // namespace quillon::cli
