#include "cli/cli_args.h"

#include <CLI/CLI.hpp>
#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <stdexcept>

namespace quillon::cli {
namespace {

bool IsOptionWord(const std::string& w) {
  // A negative number is a positional word ("label set 120 -35").
  return w.size() > 1 && w[0] == '-' && !std::isdigit(static_cast<unsigned char>(w[1]));
}

}  // namespace

Args::Args(std::vector<std::string> words, const CommandOptions& options) {
  CLI::App app;
  app.set_help_flag();
  app.allow_extras();  // positional words and unknown options stay in order in remaining()
  std::vector<std::pair<std::string, CLI::Option*>> declared;
  for (const std::string& name : options.values)
    declared.emplace_back(name, app.add_option(name)->allow_extra_args(false)->take_all());
  for (const std::string& name : options.flags) declared.emplace_back(name, app.add_flag(name));
  for (const char* name : {"--help", "-h"}) declared.emplace_back(name, app.add_flag(name));

  std::vector<std::string> reversed(words.rbegin(), words.rend());
  try {
    app.parse(reversed);
  } catch (const CLI::ParseError& e) {
    // The only error with extras allowed: a value option at the end without its value.
    const std::string what = e.what();
    error_ = what.substr(0, what.find(':')) + " needs a value";
    rest_ = words;
  }
  for (auto& [name, option] : declared) {
    Given& g = given_[name];
    g.values = option->results();
    if (!g.values.empty()) given_order_.push_back(name);
  }
  if (error_.empty()) rest_ = app.remaining();
  used_.assign(rest_.size(), false);
}

Args::Given& Args::Declared(const std::string& name) {
  auto it = given_.find(name);
  if (it == given_.end()) throw std::logic_error("option " + name + " is not declared");
  return it->second;
}

std::optional<std::string> Args::Next() {
  for (size_t i = 0; i < rest_.size(); ++i) {
    if (used_[i] || IsOptionWord(rest_[i])) continue;
    used_[i] = true;
    return rest_[i];
  }
  return std::nullopt;
}

bool Args::Flag(const std::string& name) {
  Given& g = Declared(name);
  if (g.values.empty()) return false;
  g.taken = true;
  return true;
}

std::optional<std::string> Args::Value(const std::string& name, bool* missing_value) {
  if (missing_value) *missing_value = false;
  Given& g = Declared(name);
  if (g.values.empty()) return std::nullopt;
  g.taken = true;
  return g.values.front();
}

bool Args::Help() {
  const bool long_form = Flag("--help");
  return Flag("-h") || long_form;
}

std::optional<std::string> Args::Leftover() const {
  for (size_t i = 0; i < rest_.size(); ++i) {
    if (!used_[i]) return rest_[i];
  }
  for (const std::string& name : given_order_) {
    const Given& g = given_.at(name);
    if (!g.taken || g.values.size() > 1) return name;
  }
  return std::nullopt;
}

std::optional<long long> ParseInt(const std::string& text, long long min, long long max) {
  if (text.empty()) return std::nullopt;
  errno = 0;
  char* end = nullptr;
  long long v = std::strtoll(text.c_str(), &end, 10);
  if (errno != 0 || *end != '\0' || v < min || v > max) return std::nullopt;
  return v;
}

}  // namespace quillon::cli
