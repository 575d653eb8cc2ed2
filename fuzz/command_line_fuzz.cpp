// snipforge-convert's argument parser on arbitrary arguments (the input cut at NUL bytes): a
// request or a message, never a crash. A request keeps the rules of the command line, and the
// plain argument vector written back from it ("--flag=value" options, then "--" and the lists)
// asks for the same again.
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "convert/command_line.h"
#include "engine/number_text.h"
#include "engine/option_table.h"

namespace {

using namespace snipforge;

bool Same(const CommandLineRequest& a, const CommandLineRequest& b) {
  return a.help == b.help && a.version == b.version && a.stored == b.stored &&
         a.noClobber == b.noClobber && a.given == b.given && a.output == b.output &&
         a.lists == b.lists;
}

std::vector<std::string> Rebuild(const CommandLineRequest& request) {
  std::vector<std::string> arguments;
  if (request.stored) arguments.emplace_back("--stored");
  if (request.noClobber) arguments.emplace_back("--no-clobber");
  for (const auto& [option, value] : request.given) {
    const std::string flag(option->flag);
    if (option->kind == OptionKind::kCheckBox) {
      arguments.push_back(value == "1" ? "--" + flag : "--no-" + flag);
    } else {
      arguments.push_back("--" + flag + "=" + value);
    }
  }
  if (request.output) arguments.push_back("--output=" + *request.output);
  if (request.help || request.version) {
    // The lists before --help or --version were taken before any "--", so they read as lists
    // without one; what follows those two is not read.
    arguments.insert(arguments.end(), request.lists.begin(), request.lists.end());
    arguments.emplace_back(request.help ? "--help" : "--version");
  } else {
    arguments.emplace_back("--");
    arguments.insert(arguments.end(), request.lists.begin(), request.lists.end());
  }
  return arguments;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::vector<std::string> arguments;
  if (size > 0) arguments.emplace_back();
  for (std::size_t i = 0; i < size; ++i) {
    if (data[i] == 0) {
      arguments.emplace_back();
    } else {
      arguments.back() += static_cast<char>(data[i]);
    }
  }

  const Result<CommandLineRequest> parsed = ParseCommandLine(arguments);
  // When no argument starts with '-' but the list "-", every argument is a list, and they are
  // accepted unless there are none or "-" is among them (no --output can be given then).
  const bool plain = std::none_of(arguments.begin(), arguments.end(), [](const std::string& a) {
    return a.starts_with('-') && a != "-";
  });
  if (plain) {
    const bool standardInput = std::count(arguments.begin(), arguments.end(), "-") > 0;
    if (parsed.ok() != (!arguments.empty() && !standardInput)) std::abort();
  }
  if (!parsed) {
    if (parsed.error().empty()) std::abort();
    return 0;
  }
  const CommandLineRequest& request = *parsed;
  if (request.help && request.version) std::abort();
  if (plain && (request.lists != arguments || !request.given.empty())) std::abort();
  if (!request.help && !request.version) {
    if (request.lists.empty()) std::abort();
    if (request.output && request.lists.size() != 1) std::abort();
    if (!request.output &&
        std::find(request.lists.begin(), request.lists.end(), "-") != request.lists.end()) {
      std::abort();
    }
  }
  for (const auto& [given, value] : request.given) {
    const Option* option = given;  // clang 14 captures no structured binding
    if (std::none_of(kOptions.begin(), kOptions.end(), [&](const Option& row) {
          return &row == option;
        })) {
      std::abort();
    }
    if (option->flag.empty() || option->path) std::abort();  // the lists and --output give those
    if (option->kind == OptionKind::kNumericText && !IsNumberText(value)) std::abort();
    if (option->kind == OptionKind::kCheckBox && value != "0" && value != "1") std::abort();
    if (option->kind == OptionKind::kChoice && !ChoiceIndex(*option, value)) std::abort();
  }

  const Result<CommandLineRequest> again = ParseCommandLine(Rebuild(request));
  if (!again || !Same(*again, request)) std::abort();
  return 0;
}
