// Running the preset converter on Windows.
#include "PresetState.h"
#include "WideText_win32.h"

#include <windows.h>

namespace {

// One argument as the C runtime's command-line parser reads it back: in quotes,
// with backslashes doubled where they precede a quote.
void AppendQuotedArg(std::wstring& line, const std::wstring& arg)
{
  line += L'"';
  std::size_t backslashes = 0;
  for (wchar_t c : arg) {
    if (c == L'\\') {
      ++backslashes;
      continue;
    }
    if (c == L'"') backslashes = backslashes * 2 + 1;
    line.append(backslashes, L'\\');
    backslashes = 0;
    line += c;
  }
  line.append(backslashes * 2, L'\\');
  line += L'"';
}

} // namespace

bool RunProgram(const std::vector<std::string>& args, int& exitCode, std::string& error)
{
  if (args.empty() || args[0].empty()) {
    error = "no program";
    return false;
  }
  std::wstring line;
  for (const std::string& a : args) {
    if (!line.empty()) line += L' ';
    AppendQuotedArg(line, Widen(a));
  }
  const std::wstring program = Widen(args[0]);
  STARTUPINFOW si = {};
  si.cb = sizeof si;
  PROCESS_INFORMATION pi = {};
  if (!CreateProcessW(program.c_str(), &line[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi)) {
    error = "error " + std::to_string(GetLastError());
    return false;
  }
  WaitForSingleObject(pi.hProcess, INFINITE);
  DWORD code = 0;
  const bool gotCode = GetExitCodeProcess(pi.hProcess, &code) != 0;
  CloseHandle(pi.hThread);
  CloseHandle(pi.hProcess);
  if (!gotCode) {
    error = "its exit code is unknown";
    return false;
  }
  exitCode = static_cast<int>(code);
  return true;
}

std::string ProgramFileName(const std::string& baseName)
{
  return baseName + ".exe";
}
