// Running the preset converter on Linux and other POSIX systems.
#include "PresetState.h"

#include <spawn.h>
#include <sys/wait.h>

#include <cerrno>
#include <cstring>

extern char** environ;

bool RunProgram(const std::vector<std::string>& args, int& exitCode, std::string& error)
{
  if (args.empty() || args[0].empty()) {
    error = "no program";
    return false;
  }
  std::vector<char*> argv;
  for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);
  pid_t pid = 0;
  const int rc = posix_spawn(&pid, args[0].c_str(), nullptr, nullptr, argv.data(), environ);
  if (rc != 0) {
    error = std::strerror(rc);
    return false;
  }
  int status = 0;
  while (waitpid(pid, &status, 0) < 0) {
    if (errno != EINTR) {
      error = std::strerror(errno);
      return false;
    }
  }
  if (!WIFEXITED(status)) {
    error = "it ended abnormally";
    return false;
  }
  exitCode = WEXITSTATUS(status);
  return true;
}

std::string ProgramFileName(const std::string& baseName)
{
  return baseName;
}
