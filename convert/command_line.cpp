#include "convert/command_line.h"

#include <algorithm>
#include <memory>
#include <optional>
#include <string_view>
#include <unordered_map>
#include <utility>

#include "engine/conversion.h"
#include "engine/message_text.h"
#include "engine/number_text.h"
#include "engine/option_table.h"
#include "engine/output_path.h"

namespace snipforge {
namespace {

constexpr std::string_view kUsage = "Usage: snipforge-convert [OPTION]... [--] LIST...\n";
constexpr std::size_t kHelpColumn = 30;  // where the options' descriptions start in --help
constexpr std::size_t kHelpWidth = 79;
constexpr std::string_view kStandardStream = "-";
// Names of standard output that mean what "-o -" means: written to the descriptor, never
// resolved to the file it has open.
constexpr std::string_view kStandardOutputNames[] = {"/dev/stdout", "/dev/fd/1"};

constexpr const Option& kOutputRow = OptionFor(&ControlValues::tOutput);

// The row a command-line option names, and the value it sets when it is a check box's:
// "--good" checks the box, "--no-good" clears it.
struct Flag {
  const Option* option = nullptr;
  int check = 1;
};

Flag FindFlag(std::string_view flag) {
  if (const Option* option = FindOptionByFlag(flag)) return {option, 1};
  if (!flag.starts_with("no-")) return {};
  const Option* cleared = FindOptionByFlag(flag.substr(3));
  if (cleared == nullptr || cleared->kind != OptionKind::kCheckBox) return {};
  return {cleared, 0};
}

}  // namespace

Result<CommandLineRequest> ParseCommandLine(const std::vector<std::string>& arguments) {
  CommandLineRequest request;
  bool onlyLists = false;
  for (std::size_t i = 0; i < arguments.size(); ++i) {
    const std::string& argument = arguments[i];
    if (onlyLists || argument == kStandardStream || !argument.starts_with('-')) {
      request.lists.push_back(argument);
      continue;
    }
    if (argument == "--") {
      onlyLists = true;
      continue;
    }
    std::string_view flag = argument;
    if (flag == "-o") flag = "--output";
    if (flag == "-h") flag = "--help";
    if (flag == "-n") flag = "--no-clobber";
    // Messages show what was typed with its control characters written out.
    if (!flag.starts_with("--")) return Fail("unknown option " + EscapeControlCharacters(argument));
    flag.remove_prefix(2);
    std::optional<std::string> attached;  // the value of "--name=value"
    if (const std::size_t equals = flag.find('='); equals != std::string_view::npos) {
      attached = std::string(flag.substr(equals + 1));
      flag = flag.substr(0, equals);
    }
    const std::string name = "--" + EscapeControlCharacters(flag);
    const Flag found = FindFlag(flag);
    if (found.option == nullptr || found.option->kind == OptionKind::kCheckBox) {
      if (attached) return Fail(name + " takes no value");
      if (flag == "help" || flag == "version") {
        (flag == "help" ? request.help : request.version) = true;
        return request;  // nothing after it matters
      }
      if (flag == "stored" || flag == "no-clobber") {
        (flag == "stored" ? request.stored : request.noClobber) = true;
        continue;
      }
      if (found.option == nullptr) {
        return Fail("unknown option " + EscapeControlCharacters(argument));
      }
      request.given.emplace_back(found.option, std::to_string(found.check));
      continue;
    }
    std::string value;
    if (attached) {
      value = std::move(*attached);
    } else if (i + 1 < arguments.size()) {
      value = arguments[++i];
    } else {
      return Fail(name + " needs a value");
    }
    if (found.option->kind == OptionKind::kNumericText && !IsNumberText(value)) {
      return Fail(name + " takes a number, not " + QuoteForMessage(value));
    }
    if (found.option->kind == OptionKind::kChoice && !ChoiceIndex(*found.option, value)) {
      return Fail(name + " takes " + ChoiceWords(*found.option, " or ") + ", not " +
                  QuoteForMessage(value));
    }
    if (found.option == &kOutputRow) {
      const bool standardOutput = std::find(std::begin(kStandardOutputNames),
                                            std::end(kStandardOutputNames),
                                            value) != std::end(kStandardOutputNames);
      request.output = standardOutput ? std::string(kStandardStream) : std::move(value);
    } else {
      request.given.emplace_back(found.option, std::move(value));
    }
  }
  if (request.lists.empty()) return Fail("no LIST given");
  if (request.output && request.lists.size() > 1) return Fail("--output takes one LIST only");
  if (std::count(request.lists.begin(), request.lists.end(), kStandardStream) > 0 &&
      !request.output) {
    return Fail("the LIST - (standard input) needs --output FILE, or -o - for standard output");
  }
  return request;
}

namespace {

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

std::string Help() {
  std::string help(kUsage);
  help +=
      "Turns each LIST, a text file of bad frame numbers, into an Avisynth script, or a\n"
      "VapourSynth fragment: the script that the Snipforge window writes with the same\n"
      "values, byte for byte. Each script goes beside its LIST, the extension of the\n"
      "LIST's name replaced by \"avs\" (\"vpy\" for VapourSynth: clips/a.txt gives\n"
      "clips/a.avs), and replaces a file of that name.\n"
      "A LIST - is read from standard input and needs --output.\n"
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
                     ": the script of a single LIST, - for standard output (default: LIST "
                     "with its extension replaced by \"avs\" or \"vpy\")";
    } else if (option.kind == OptionKind::kCheckBox) {
      form += ", --no-" + std::string(option.flag);
      description += std::string(option.caption) + ". " + std::string(option.tip) +
                     " (default: " +
                     (start.*option.check == 1 ? flag : "--no-" + std::string(option.flag)) +
                     ")";
    } else if (option.kind == OptionKind::kChoice) {
      form += ' ' + ChoiceWords(option, "|");
      description += std::string(option.caption) + ". " + std::string(option.tip) +
                     " (default: " + OptionText(start, option) + ")";
    } else {
      const std::string_view metavar = option.kind == OptionKind::kNumericText ? "N" : "TEXT";
      form += ' ' + std::string(metavar);
      const std::string& value = start.*option.text;
      description += CaptionAround(option.caption, metavar) + ". " + std::string(option.tip) +
                     " (default: " + (value.empty() ? "empty" : value) + ")";
    }
    AppendHelpEntry(help, form, description);
  }
  AppendHelpEntry(help, "-n, --no-clobber",
                  "leave an existing script as it is: that LIST fails and the exit status is 1");
  AppendHelpEntry(help, "    --stored",
                  "start from the values the window last stored for you, not its start values");
  AppendHelpEntry(help, "-h, --help", "show this help and exit");
  AppendHelpEntry(help, "    --version", "show the version and exit");
  help +=
      "\n"
      "Exit status:\n"
      "  0    every LIST was converted; nothing is printed then, unless lines of a\n"
      "       LIST looked like frames but were read as text, which standard error\n"
      "       says with the remedy\n"
      "  1    some LIST failed: each failure is one line on standard error\n"
      "       (\"frames.txt: invalid filename: frames.txt: no such file\"), and every\n"
      "       other LIST is converted\n"
      "  2    a usage error or an option value no LIST could be converted with, before\n"
      "       any file is read or written\n";
  return help;
}

// The list that got a script of this run.
struct Converted {
  FileId list;
  std::string name;
};

// The refusal of an --output that names no file on a disk: a device, a pipe, a path on a file
// system of devices or processes (/dev/stderr, /proc/self/fd/2, //dev/stdout, ...). Told by the
// folder the path resolves to, not by its text.
std::optional<std::string> RefuseNonFileOutput(const std::string& output) {
  ResolvedPath where;
  const std::error_code error = where.Resolve(output);
  const bool refused = error == FileRefusal::kDeviceFileSystem ||
                       error == FileRefusal::kNotRegularFile ||
                       (!error && where.OnDeviceFileSystem());
  if (!refused) return std::nullopt;
  return "--output " + EscapeControlCharacters(output) +
         ": not a file on a disk; -o - writes the script to standard output";
}

}  // namespace

int RunCommandLine(const std::vector<std::string>& arguments, const StoreLocations& stores,
                   const Console& console) {
  // `message` comes with what the user typed already written out.
  const auto usageError = [&console](const std::string& message) {
    console.errors << "snipforge-convert: " << message << '\n'
                   << "Try 'snipforge-convert --help' for more information.\n";
    return kUsageError;
  };
  const Result<CommandLineRequest> parsed = ParseCommandLine(arguments);
  if (!parsed) return usageError(parsed.error());
  const CommandLineRequest& request = *parsed;
  if (request.help) {
    console.out << Help();
    return kAllConverted;
  }
  if (request.version) {
    console.out << "snipforge-convert " SNIPFORGE_VERSION "\n";
    return kAllConverted;
  }

  ControlValues values;
  if (request.stored) {
    const LoadedSettings loaded = LoadSettings(stores);
    if (!loaded.anyStoreRead) {
      console.errors << "snipforge-convert: --stored: no stored values could be read from "
                     << EscapeControlCharacters(StoreName(stores.user)) << " or "
                     << EscapeControlCharacters(StoreName(stores.machine))
                     << "; the window's start values are used\n";
    }
    for (const StoredText& stored : loaded.texts) {
      SetOptionText(values, *stored.option, stored.text);
    }
  }
  for (const auto& [option, text] : request.given) SetOptionText(values, *option, text);
  // The values were checked as numbers where numbers belong; the message may name other text.
  if (const Result<void> usable = CheckOptionsForAnyList(values); !usable) {
    return usageError(EscapeControlCharacters(usable.error()));
  }
  if (request.output && *request.output != kStandardStream) {
    if (const std::optional<std::string> refused = RefuseNonFileOutput(*request.output)) {
      return usageError(*refused);
    }
  }

  // Every list's file, taken before any script is written and closed again (thousands stay
  // open for no longer than a look), and every script written, so that no script replaces a
  // list of the run or the script of another list ("a.txt" and "a.csv"; on Windows also "a.txt"
  // and "A.csv", or a list named by its short name). Files, not names, are compared, which
  // catches links, "..", case and short names alike; hashes keep thousands of lists linear.
  std::unordered_map<FileId, std::string, FileIdHash> lists;
  std::vector<FileId> listIds(request.lists.size());
  for (std::size_t i = 0; i < request.lists.size(); ++i) {
    InputFile file;
    if (request.lists[i] == kStandardStream || file.Open(request.lists[i])) continue;
    listIds[i] = file.info().id;
    lists.try_emplace(listIds[i], request.lists[i]);
  }
  std::unordered_map<FileId, Converted, FileIdHash> written;

  int exitCode = kAllConverted;
  for (std::size_t i = 0; i < request.lists.size(); ++i) {
    const std::string& list = request.lists[i];
    const bool fromInput = list == kStandardStream;
    values.tInput = fromInput ? "standard input" : list;
    values.tOutput = request.output.value_or(
        DeriveOutputPath(LongPathName(list), ScriptExtension(ScriptTargetOf(values))));
    RunOptions run;
    run.replace = request.noClobber ? ReplacePolicy::Never() : ReplacePolicy::Always();
    run.autoRemedy = "use --format auto";
    run.claim = [&](const FileId& listId, const FileId& script) -> Result<void> {
      if (const auto other = lists.find(script); other != lists.end()) {
        return Fail("its script " + values.tOutput + " is the list " + other->second +
                    " of this run; convert it on its own with --output");
      }
      const auto earlier = written.find(script);
      if (earlier == written.end() || earlier->second.list == listId) return {};
      return Fail("its script " + values.tOutput + " is already the script of " +
                  earlier->second.name + "; convert it on its own with --output");
    };
    if (values.tOutput == kStandardStream) run.scriptHandle = console.standardOutput;
    RunOutcome outcome;
    if (fromInput) {
      auto copy = std::make_shared<InputFile>();
      if (const std::error_code error = copy->OpenCopyOf(console.standardInput)) {
        outcome.message = "cannot read standard input: " + error.message();
      } else {
        run.input = std::move(copy);
      }
    }
    if (outcome.message.empty()) outcome = RunConversion(values, run);
    if (outcome.ok) {
      if (!(outcome.summary.script == FileId{})) {
        written.insert_or_assign(outcome.summary.script, Converted{listIds[i], list});
      }
      // Converted, but lines that looked like frames were read as text: said, and no failure.
      if (!outcome.summary.warning.empty()) {
        console.errors << EscapeControlCharacters(list) << ": "
                       << EscapeControlCharacters(outcome.summary.warning) << '\n';
      }
      continue;
    }
    if (outcome.existing && request.noClobber) outcome.message += "; left as it is (--no-clobber)";
    console.errors << EscapeControlCharacters(list) << ": "
                   << EscapeControlCharacters(outcome.message) << '\n';
    exitCode = kSomeFailed;
  }
  return exitCode;
}

}  // namespace snipforge
