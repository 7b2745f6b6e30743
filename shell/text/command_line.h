// The command line of pathwick, pathwick-trace, pathwick-record and
// pathwick-maze, read one way for all four (with CLI11): an option takes its value as the next
// argument or after "=" (--map=FILE), "--" ends the options, options act in
// the order given (a later one wins), numbers are checked alike. A usage
// error is one line saying what is wrong and one line pointing to --help;
// it counts wherever it stands, also beside --help or --version, which are
// answered only for a sound command line. Names in messages are quoted as
// Quoted() does.
#pragma once

#include <functional>
#include <limits>
#include <memory>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "shell/files/quoting.h"

constexpr int kUsageExitCode = 2;

// What is wrong with the command line, in one line; thrown by the handlers
// given to CommandLine for a value they cannot take.
class UsageProblem : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// The whole numbers an option takes: from `least` to `most`, in steps of
// `step` counted from 0. A `most` of kNoUpperLimit reads "from LEAST up",
// unless `namesMost` asks for the number itself, for an option whose users
// may reach it.
constexpr long long kNoUpperLimit = std::numeric_limits<long long>::max();
struct NumberRange {
  long long least;
  long long most;
  long long step = 1;
  bool namesMost = false;
};

// A whole decimal number (digits only, no sign, no blanks) within `range`.
bool ParseWholeNumber(std::string_view text, const NumberRange& range, long long* value);

// "option '--every' takes a whole number from 1 up, not 'x'".
std::string NumberProblem(const std::string& option, const NumberRange& range,
                          std::string_view text);

// "Try 'PROGRAM --help' for more information."
std::string TryHelpLine(const std::string& program);

// The two lines of a usage error as a console tool prints them:
// "PROGRAM: PROBLEM", then the pointer to --help.
std::string UsageErrorText(const std::string& program, const std::string& problem);

// "PROGRAM VERSION", the line that --version prints.
std::string VersionText(const std::string& program);

class CommandLine {
 public:
  enum class Result { Run, Help, Version, Error };

  // --help is always there.
  explicit CommandLine(std::string program);
  ~CommandLine();
  CommandLine(const CommandLine&) = delete;
  CommandLine& operator=(const CommandLine&) = delete;

  // Options, by their whole name ("--map"); each handler runs when its option
  // is read and may throw UsageProblem.
  void AddFlag(const std::string& name, std::function<void()> onGiven);
  void AddVersionFlag();
  // An empty value is a usage error.
  void AddValue(const std::string& name, std::function<void(const std::string&)> onValue);
  void AddNumber(const std::string& name, const NumberRange& range,
                 std::function<void(long long)> onValue);
  // The arguments that are not options, "-" among them, and every argument
  // after "--": file names, none of which may be empty. Without this, such
  // an argument is a usage error.
  void AddOperands(std::vector<std::string>* operands);

  // Reads the arguments (the program name left out). Help and Version only
  // when nothing is wrong; on Error, problem() says what is.
  Result Parse(const std::vector<std::string>& arguments);
  const std::string& problem() const { return problem_; }

 private:
  struct Parser;
  std::unique_ptr<Parser> parser_;
  std::string problem_;
};
