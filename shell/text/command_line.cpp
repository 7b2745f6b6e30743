#include "shell/text/command_line.h"

#include <CLI/CLI.hpp>
#include <algorithm>
#include <charconv>
#include <utility>

#include "shell/files/quoting.h"

namespace {

constexpr char kEndOfOptions[] = "--";

std::string NeedsValue(const std::string& option) {
  return "option " + Quoted(option) + " needs a value";
}

// "from 1 to 4096", "from 0 up", "a multiple of 10 from 10 to 655350".
std::string Describe(const NumberRange& range) {
  std::string text = range.step > 1 ? "a multiple of " + std::to_string(range.step) + " "
                                    : std::string("a whole number ");
  text += "from " + std::to_string(range.least);
  if (range.most == kNoUpperLimit && !range.namesMost) return text + " up";
  return text + " to " + std::to_string(range.most);
}

}  // namespace

bool ParseWholeNumber(std::string_view text, const NumberRange& range, long long* value) {
  const char* end = text.data() + text.size();
  long long number = 0;
  // from_chars takes no "+" and no blanks, as wanted here.
  const auto [stop, error] = std::from_chars(text.data(), end, number);
  if (text.empty() || error != std::errc() || stop != end || number < range.least ||
      number > range.most || number % range.step != 0) {
    return false;
  }
  *value = number;
  return true;
}

std::string NumberProblem(const std::string& option, const NumberRange& range,
                          std::string_view text) {
  return "option " + Quoted(option) + " takes " + Describe(range) + ", not " + Quoted(text);
}

std::string TryHelpLine(const std::string& program) {
  return "Try " + Quoted(program + " --help") + " for more information.";
}

std::string UsageErrorText(const std::string& program, const std::string& problem) {
  return program + ": " + problem + "\n" + TryHelpLine(program) + "\n";
}

std::string VersionText(const std::string& program) { return program + " " PATHWICK_VERSION "\n"; }

struct CommandLine::Parser {
  CLI::App app;
  bool helpAsked = false;
  bool versionAsked = false;
  std::vector<std::string>* operands = nullptr;

  // Every option acts as soon as it is read, so that the options act in the
  // order given.
  CLI::Option* ActOnRead(CLI::Option* option) { return option->trigger_on_parse(); }

  // What CLI11 would read otherwise than the programs mean, checked before
  // it reads the arguments: an unknown option, or one that CLI11 would take
  // for an operand ("---"); "--map=" read as a bare "--map" that takes the
  // next argument; a flag given a value ("--windowed=yes"). Empty when the
  // options are sound.
  std::string ProblemWithOptions(const std::vector<std::string>& arguments) {
    for (size_t i = 0; i < arguments.size(); ++i) {
      const std::string& argument = arguments[i];
      if (argument == kEndOfOptions) break;
      if (argument.size() < 2 || argument[0] != '-') continue;
      const size_t equals = argument.find('=');
      const std::string name = argument.substr(0, equals);
      const CLI::Option* option = app.get_option_no_throw(name);
      if (option == nullptr) return "unknown option " + Quoted(name);
      const bool isFlag = option->get_items_expected_max() == 0;
      if (equals == std::string::npos) {
        if (!isFlag) ++i;  // the value, whatever it looks like
      } else if (isFlag) {
        return "option " + Quoted(name) + " takes no value";
      } else if (equals + 1 == argument.size()) {
        return NeedsValue(name);
      }
    }
    return "";
  }

  // An operand is a file name, which cannot be empty.
  std::string ProblemWithOperands() const {
    if (operands == nullptr) return "";
    for (const std::string& operand : *operands) {
      if (operand.empty()) return "an empty argument is no file name";
    }
    return "";
  }
};

CommandLine::CommandLine(std::string program) : parser_(std::make_unique<Parser>()) {
  CLI::App& app = parser_->app;
  app.name(std::move(program));
  app.set_help_flag();  // the programs print their own help texts
  // On Windows CLI11 would take "/name" for an option; the programs take
  // "/" as the start of a path.
  app.allow_windows_style_options(false);
  Parser* parser = parser_.get();
  parser_->ActOnRead(app.add_flag_callback("--help", [parser] { parser->helpAsked = true; }));
}

CommandLine::~CommandLine() = default;

void CommandLine::AddFlag(const std::string& name, std::function<void()> onGiven) {
  parser_->ActOnRead(parser_->app.add_flag_callback(name, std::move(onGiven)));
}

void CommandLine::AddVersionFlag() {
  Parser* parser = parser_.get();
  AddFlag("--version", [parser] { parser->versionAsked = true; });
}

void CommandLine::AddValue(const std::string& name,
                           std::function<void(const std::string&)> onValue) {
  parser_->ActOnRead(parser_->app.add_option_function<std::string>(
      name, [name, onValue = std::move(onValue)](const std::string& value) {
        if (value.empty()) throw UsageProblem(NeedsValue(name));
        onValue(value);
      }));
}

void CommandLine::AddNumber(const std::string& name, const NumberRange& range,
                            std::function<void(long long)> onValue) {
  AddValue(name, [name, range, onValue = std::move(onValue)](const std::string& text) {
    long long number = 0;
    if (!ParseWholeNumber(text, range, &number)) {
      throw UsageProblem(NumberProblem(name, range, text));
    }
    onValue(number);
  });
}

void CommandLine::AddOperands(std::vector<std::string>* operands) {
  parser_->app.add_option("OPERAND", *operands);
  parser_->operands = operands;
}

CommandLine::Result CommandLine::Parse(const std::vector<std::string>& arguments) {
  problem_ = parser_->ProblemWithOptions(arguments);
  if (!problem_.empty()) return Result::Error;
  // CLI11 takes the arguments last first.
  std::vector<std::string> reversed(arguments.rbegin(), arguments.rend());
  try {
    parser_->app.parse(reversed);
    problem_ = parser_->ProblemWithOperands();
    if (!problem_.empty()) return Result::Error;
    if (parser_->helpAsked) return Result::Help;
    if (parser_->versionAsked) return Result::Version;
    return Result::Run;
  } catch (const UsageProblem& problem) {
    problem_ = problem.what();
  } catch (const CLI::ArgumentMismatch&) {
    // The arguments ran out before the value of the last one.
    problem_ = NeedsValue(arguments.back());
  } catch (const CLI::ExtrasError&) {
    // Options are checked before: an extra is an operand that no one takes.
    // CLI11 lists the "--" that ended the options among the extras.
    std::vector<std::string> extras = parser_->app.remaining();
    extras.erase(std::remove(extras.begin(), extras.end(), kEndOfOptions), extras.end());
    problem_ = "unexpected argument " + Quoted(extras.front());
  } catch (const CLI::ParseError& error) {
    problem_ = error.what();
  }
  return Result::Error;
}
