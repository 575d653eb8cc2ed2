// snipforge-convert.exe puts the console's output code page back as it found it, however it
// ends: after a conversion, after a usage error, and on Ctrl+C while it waits for its list on
// standard input. The console is shared with the shell that started it, which would go on in
// UTF-8. Needs a console (windows_program_test.sh gives wine one through a pseudo-terminal).
//   code_page_test.exe SNIPFORGE-CONVERT.EXE
#include <windows.h>

#include <cstdio>
#include <string>

namespace {

constexpr UINT kFound = 850;  // the shell's code page, as the converter finds it
constexpr DWORD kWait = 10000;

// Runs the converter in this console and waits for it to end. With `interrupt` its standard
// input is a pipe that stays open, and once it has set its own code page, Ctrl+C goes to the
// console. False when it did not end.
bool Run(const std::wstring& program, const std::wstring& arguments, bool interrupt) {
  SECURITY_ATTRIBUTES inherited{sizeof inherited, nullptr, TRUE};
  HANDLE readEnd = nullptr;
  HANDLE writeEnd = nullptr;
  if (!CreatePipe(&readEnd, &writeEnd, &inherited, 0)) return false;
  SetHandleInformation(writeEnd, HANDLE_FLAG_INHERIT, 0);
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdInput = readEnd;
  startup.hStdOutput = GetStdHandle(STD_OUTPUT_HANDLE);
  startup.hStdError = GetStdHandle(STD_OUTPUT_HANDLE);
  std::wstring command = L"\"" + program + L"\" " + arguments;
  PROCESS_INFORMATION process{};
  const bool started = CreateProcessW(nullptr, command.data(), nullptr, nullptr, TRUE, 0, nullptr,
                                      nullptr, &startup, &process) != 0;
  CloseHandle(readEnd);
  if (!started) {
    CloseHandle(writeEnd);
    std::printf("cannot start %ls: error %lu\n", program.c_str(), GetLastError());
    return false;
  }
  if (interrupt) {
    for (DWORD waited = 0; GetConsoleOutputCP() != CP_UTF8 && waited < kWait; waited += 10) {
      Sleep(10);
    }
    if (GetConsoleOutputCP() != CP_UTF8) std::printf("the converter never set UTF-8\n");
    GenerateConsoleCtrlEvent(CTRL_C_EVENT, 0);
  }
  const bool ended = WaitForSingleObject(process.hProcess, kWait) == WAIT_OBJECT_0;
  if (!ended) TerminateProcess(process.hProcess, 1);
  CloseHandle(writeEnd);
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
  return ended;
}

}  // namespace

int wmain(int argc, wchar_t* argv[]) {
  if (argc != 2) {
    std::printf("usage: code_page_test.exe SNIPFORGE-CONVERT.EXE\n");
    return 2;
  }
  if (GetConsoleOutputCP() == 0) {
    std::printf("skipped: no console\n");
    return 77;
  }
  // The Ctrl+C this program sends is not for it. A handler, not the flag that ignores Ctrl+C,
  // which the converter would inherit.
  SetConsoleCtrlHandler([](DWORD) -> BOOL { return TRUE; }, TRUE);
  std::wstring script(MAX_PATH + 1, L'\0');
  script.resize(GetTempPathW(MAX_PATH + 1, script.data()));
  script += L"snipforge-code-page-test.avs";
  const struct {
    const char* name;
    std::wstring arguments;
    bool interrupt;
  } cases[] = {
      {"--version", L"--version", false},
      {"a usage error", L"--no-such-option list.txt", false},
      {"Ctrl+C", L"-o \"" + script + L"\" -", true},
  };
  int exitCode = 0;
  for (const auto& c : cases) {
    SetConsoleOutputCP(kFound);
    if (!Run(argv[1], c.arguments, c.interrupt)) {
      std::printf("%s: the converter did not end\n", c.name);
      exitCode = 1;
    }
    if (const UINT now = GetConsoleOutputCP(); now != kFound) {
      std::printf("%s: the console is left in code page %u, not %u\n", c.name, now, kFound);
      exitCode = 1;
    }
  }
  DeleteFileW(script.c_str());
  return exitCode;
}
