// Command-line words of one command, split by CLI11 into the options the command declares
// and everything else (its positional words, and anything it does not know, which is
// reported as a usage error). Options may stand before, between or after positional words.
#pragma once

#include <map>
#include <optional>
#include <string>
#include <vector>

namespace quillon::cli {

// The options a command takes beside its positional words, over all of its sub-commands:
// those with a value ("--packsize N" or "--packsize=N") and plain flags. --help and -h are
// flags of every command.
struct CommandOptions {
  std::vector<std::string> values;
  std::vector<std::string> flags;
};

class Args {
 public:
  // Words without options of their own (tests, a command that declares none).
  explicit Args(std::vector<std::string> words) : Args(std::move(words), CommandOptions{}) {}
  // Splits words by options. A value option at the end, without its value, leaves error()
  // saying so; the command's parse then stops there.
  Args(std::vector<std::string> words, const CommandOptions& options);

  // "" when the words could be split.
  const std::string& error() const { return error_; }

  // The next positional word not yet taken (words starting with "-" are options, except
  // "-" itself and negative numbers).
  std::optional<std::string> Next();
  // A declared flag was given (taken). Asking for an undeclared one is a programming error
  // (std::logic_error): declare it in the command's CommandOptions.
  bool Flag(const std::string& name);
  // A declared value option's value (taken); nullopt when it was not given. missing_value
  // stays false (a missing value is error() already).
  std::optional<std::string> Value(const std::string& name, bool* missing_value = nullptr);
  // True when --help or -h was given.
  bool Help();
  // The first word not taken, if any (for "unexpected argument" messages): a positional
  // word or an unknown option, else a declared option that was not asked for (or given
  // twice).
  std::optional<std::string> Leftover() const;
  // The words that are neither declared options nor their values, in order.
  const std::vector<std::string>& rest() const { return rest_; }

 private:
  struct Given {
    std::vector<std::string> values;  // one per use ("true" for a flag)
    bool taken = false;
  };
  Given& Declared(const std::string& name);

  std::vector<std::string> rest_;
  std::vector<bool> used_;
  std::map<std::string, Given> given_;    // every declared option, given or not
  std::vector<std::string> given_order_;  // the declared options given, in parse order
  std::string error_;
};

// Whole number in [min, max]; nullopt otherwise.
std::optional<long long> ParseInt(const std::string& text, long long min, long long max);

}  // namespace quillon::cli
