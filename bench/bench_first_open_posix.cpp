// First instantiation of the plug-in in a fresh process, as a host's plug-in scan
// does it: each iteration starts the helper program (bench/fresh_process), which
// loads the built library and reports the time from the entry point to an opened
// plug-in. Later instances in a process are much cheaper; this one pays for
// everything done once per process.

#include <benchmark/benchmark.h>

#ifdef TAV_OPEN_PLUGIN_HELPER

#include <cstdlib>
#include <spawn.h>
#include <string>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace {

// Runs the helper once; its measured nanoseconds, or -1.
long long OpenInFreshProcess()
{
  int fds[2];
  if (pipe(fds) != 0) return -1;
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, fds[1], STDOUT_FILENO);
  posix_spawn_file_actions_addclose(&actions, fds[0]);
  posix_spawn_file_actions_addclose(&actions, fds[1]);
  char helper[] = TAV_OPEN_PLUGIN_HELPER;
  char plugin[] = TAV_PLUGIN_LIBRARY;
  char* argv[] = {helper, plugin, nullptr};
  pid_t pid = -1;
  const int spawned = posix_spawn(&pid, helper, &actions, nullptr, argv, environ);
  posix_spawn_file_actions_destroy(&actions);
  close(fds[1]);
  std::string out;
  char buf[64];
  ssize_t n;
  while ((n = read(fds[0], buf, sizeof buf)) > 0) out.append(buf, static_cast<size_t>(n));
  close(fds[0]);
  if (spawned != 0) return -1;
  int status = 0;
  if (waitpid(pid, &status, 0) != pid || !WIFEXITED(status) || WEXITSTATUS(status) != 0 || out.empty()) return -1;
  return std::atoll(out.c_str());
}

void BM_FirstInstantiationInFreshProcess(benchmark::State& state)
{
  for (auto _ : state) {
    const long long ns = OpenInFreshProcess();
    if (ns < 0) {
      state.SkipWithError("the helper could not open the plug-in");
      break;
    }
    state.SetIterationTime(static_cast<double>(ns) * 1e-9);
  }
}
BENCHMARK(BM_FirstInstantiationInFreshProcess)->UseManualTime()->Unit(benchmark::kMillisecond)->MinTime(2.0);

} // namespace

#endif
