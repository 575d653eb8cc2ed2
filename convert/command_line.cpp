#include "convert/command_line.h"

#include <algorithm>
#include <filesystem>
#include <optional>
#include <string_view>
#include <system_error>
#include <utility>

#include "engine/conversion.h"
#include "engine/number_text.h"
#include "engine/option_table.h"
#include "engine/output_path.h"

namespace snipforge {
namespace {

constexpr std::string_view kUsage = "Usage: snipforge-convert [OPTION]... LIST...\n";
constexpr std::size_t kHelpColumn = 30;  // where the options' descriptions start in --help
constexpr std::size_t kHelpWidth = 79;

constexpr const Option& kOutputRow = OptionFor(&ControlValues::tOutput);

// What a command line asks for.
struct Request {
  bool help = false;
  bool version = false;
  bool stored = false;
  std::vector<std::pair<const Option*, std::string>> given;  // in order: the last one wins
  std::optional<std::string> output;
  std::vector<std::string> lists;
  std::string usageError;  // what is wrong with the command line, if anything
};

// The row a command-line option names, and the value it sets when it is a check box's:
// "--good" checks the box, "--no-good" clears it.
struct Flag {
  const Option* option = nullptr;
  int check = 1;
};

Flag FindFlag(std::string_view flag) {
  for (const Option& option : kOptions) {
    if (option.flag.empty()) continue;
    if (flag == option.flag) return {&option, 1};
    if (option.kind == OptionKind::kCheckBox && flag.starts_with("no-") &&
        flag.substr(3) == option.flag) {
      return {&option, 0};
    }
  }
  return {};
}

Request Parse(const std::vector<std::string>& arguments) {
  Request request;
  const auto fail = [&request](std::string message) {
    request.usageError = std::move(message);
    return request;
  };
  bool onlyLists = false;
  for (std::size_t i = 0; i < arguments.size(); ++i) {
    const std::string& argument = arguments[i];
    if (onlyLists || argument == "-" || !argument.starts_with('-')) {
      request.lists.push_back(argument);
      continue;
    }
    if (argument == "--") {
      onlyLists = true;
      continue;
    }
    std::string_view flag = argument;
    if (flag == "-o") flag = "--output";
    if (!flag.starts_with("--")) return fail("unknown option " + argument);
    flag.remove_prefix(2);
    std::optional<std::string> attached;  // the value of "--name=value"
    if (const std::size_t equals = flag.find('='); equals != std::string_view::npos) {
      attached = std::string(flag.substr(equals + 1));
      flag = flag.substr(0, equals);
    }
    const std::string name = "--" + std::string(flag);
    const Flag found = FindFlag(flag);
    if (found.option == nullptr || found.option->kind == OptionKind::kCheckBox) {
      if (attached) return fail(name + " takes no value");
      if (flag == "help" || flag == "version") {
        (flag == "help" ? request.help : request.version) = true;
        return request;  // nothing after it matters
      }
      if (flag == "stored") {
        request.stored = true;
        continue;
      }
      if (found.option == nullptr) return fail("unknown option " + argument);
      request.given.emplace_back(found.option, std::to_string(found.check));
      continue;
    }
    std::string value;
    if (attached) {
      value = std::move(*attached);
    } else if (i + 1 < arguments.size()) {
      value = arguments[++i];
    } else {
      return fail(name + " needs a value");
    }
    if (found.option->kind == OptionKind::kNumericText && !IsNumberText(value)) {
      return fail(name + " takes a number, not \"" + value + "\"");
    }
    if (found.option == &kOutputRow) {
      request.output = std::move(value);
    } else {
      request.given.emplace_back(found.option, std::move(value));
    }
  }
  if (request.lists.empty()) return fail("no LIST given");
  if (request.output && request.lists.size() > 1) return fail("--output takes one LIST only");
  return request;
}

// One option of --help: its form on the left, the description from kHelpColumn on, wrapped at
// blanks to kHelpWidth.
void AppendHelpEntry(std::string& help, std::string_view form, std::string_view description) {
  std::string line = "  " + std::string(form);
  if (line.size() + 2 > kHelpColumn) {  // the description starts on the next line
    help += line + '\n';
    line.clear();
  }
  constexpr std::size_t room = kHelpWidth - kHelpColumn;
  while (!description.empty()) {
    std::size_t cut = description.size();
    if (cut > room) {
      cut = description.rfind(' ', room);
      // "(default: 0)" stays on one line.
      while (cut != std::string_view::npos && cut > 0 &&
             description.substr(0, cut).ends_with("(default:")) {
        cut = description.rfind(' ', cut - 1);
      }
      if (cut == std::string_view::npos) cut = std::min(description.find(' '), description.size());
    }
    line.resize(kHelpColumn, ' ');
    line += description.substr(0, cut);
    help += line + '\n';
    line.clear();
    description.remove_prefix(std::min(cut + 1, description.size()));
  }
}

// The window's words for an option, its box's blank run filled by `value`:
// "Cut N frames before bad frames".
std::string Sentence(std::string_view caption, std::string_view value) {
  const std::size_t run = caption.find("  ");
  if (run == std::string_view::npos) return std::string(caption);
  const std::size_t after = caption.find_first_not_of(' ', run);
  return std::string(caption.substr(0, run)) + ' ' + std::string(value) + ' ' +
         std::string(caption.substr(after));
}

std::string Help() {
  std::string help(kUsage);
  help +=
      "Turns each LIST, a text file of bad frame numbers, into an Avisynth script: the\n"
      "script that the Snipforge window writes with the same values, byte for byte.\n"
      "Each script goes beside its LIST, the LIST's extension replaced by \"avs\"\n"
      "(clips/a.txt gives clips/a.avs).\n"
      "\n"
      "Each option sets the window's control that its description names (group box:\n"
      "label); the others keep the window's start values, or with --stored the values\n"
      "the window last stored for you. Numbers take the forms that the window's boxes\n"
      "take: 2, -3, 2.5, 1e2.\n"
      "\n"
      "Options:\n";
  const ControlValues start;
  for (const Option& option : kOptions) {
    if (option.flag.empty()) continue;
    const std::string flag = "--" + std::string(option.flag);
    std::string form = "    " + flag;
    std::string description;
    if (!option.group.empty()) description = std::string(option.group) + ": ";
    if (&option == &kOutputRow) {
      form = "-o, " + flag + " FILE";
      description += std::string(option.caption) +
                     ": the script of a single LIST (default: LIST with its extension "
                     "replaced by \"avs\")";
    } else if (option.kind == OptionKind::kCheckBox) {
      form += ", --no-" + std::string(option.flag);
      description += std::string(option.caption) + " (default: " +
                     (start.*option.check == 1 ? flag : "--no-" + std::string(option.flag)) +
                     ")";
    } else {
      const std::string_view metavar = option.kind == OptionKind::kNumericText ? "N" : "TEXT";
      form += ' ' + std::string(metavar);
      const std::string& value = start.*option.text;
      description += Sentence(option.caption, metavar) +
                     " (default: " + (value.empty() ? "empty" : value) + ")";
    }
    AppendHelpEntry(help, form, description);
  }
  AppendHelpEntry(help, "    --stored",
                  "start from the values the window last stored for you, not its start values");
  AppendHelpEntry(help, "    --help", "show this help and exit");
  AppendHelpEntry(help, "    --version", "show the version and exit");
  help +=
      "\n"
      "Exit status:\n"
      "  0    every LIST was converted; nothing is printed then\n"
      "  1    some LIST failed: each failure is one line on standard error\n"
      "       (\"frames.txt: invalid filename\"), and every other LIST is converted\n"
      "  2    a usage error, before any file is read or written\n";
  return help;
}

// True when the two paths name one file (or one file to be: the same path).
bool SameFile(const std::string& one, const std::string& other) {
  std::error_code error;
  return one == other || std::filesystem::equivalent(one, other, error);
}

}  // namespace

int RunCommandLine(const std::vector<std::string>& arguments, const SettingsFiles& store,
                   std::ostream& out, std::ostream& errors) {
  const Request request = Parse(arguments);
  if (!request.usageError.empty()) {
    errors << "snipforge-convert: " << request.usageError << '\n'
           << "Try 'snipforge-convert --help' for more information.\n";
    return kUsageError;
  }
  if (request.help) {
    out << Help();
    return kAllConverted;
  }
  if (request.version) {
    out << "snipforge-convert " SNIPFORGE_VERSION "\n";
    return kAllConverted;
  }

  ControlValues values;
  if (request.stored) {
    for (const StoredText& stored : LoadSettings(store)) {
      SetOptionText(values, *stored.option, stored.text);
    }
  }
  for (const auto& [option, text] : request.given) SetOptionText(values, *option, text);

  int status = kAllConverted;
  // The scripts written so far and their lists: lists whose names differ only after a point
  // ("a.txt", "a.csv", or "clips.d/a" and "clips.d/b") would get one script.
  std::vector<std::pair<std::string, std::string>> written;
  for (const std::string& list : request.lists) {
    values.tInput = list;
    values.tOutput = request.output.value_or(DeriveOutputPath(list));
    const auto earlier = std::find_if(written.begin(), written.end(), [&](const auto& script) {
      return SameFile(script.first, values.tOutput) && !SameFile(script.second, list);
    });
    RunOutcome outcome;
    if (SameFile(values.tInput, values.tOutput)) {
      outcome.message = "the script would replace the list; name another file with --output";
    } else if (earlier != written.end()) {
      outcome.message = "its script " + values.tOutput + " is already the script of " +
                        earlier->second + "; convert it on its own with --output";
    } else {
      outcome = RunConversion(values);
    }
    if (outcome.ok) {
      written.emplace_back(values.tOutput, list);
    } else {
      errors << list << ": " << outcome.message << '\n';
      status = kSomeFailed;
    }
  }
  return status;
}

}  // namespace snipforge
