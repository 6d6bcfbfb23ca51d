#include "ChildProcess_posix.h"

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

ChildProcess::~ChildProcess() { Kill(); }

bool ChildProcess::Start(const std::string& exe, const std::vector<std::string>& args)
{
  if (mPid > 0) return false;
  mOut.clear();
  mStatus = -1;
  std::vector<char*> argv;
  for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);

  int fds[2];
  if (pipe2(fds, O_CLOEXEC) != 0) return false;
  posix_spawn_file_actions_t actions;
  posix_spawnattr_t attr;
  posix_spawn_file_actions_init(&actions);
  posix_spawnattr_init(&attr);
  // Output first: with standard files closed in the host the pipe may have got fd 0 or 2.
  posix_spawn_file_actions_adddup2(&actions, fds[1], 1);
  posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
  posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
  sigset_t mask, defaults;
  sigemptyset(&mask);
  sigemptyset(&defaults);
  for (int sig : {SIGPIPE, SIGCHLD, SIGINT, SIGTERM, SIGHUP, SIGQUIT}) sigaddset(&defaults, sig);
  posix_spawnattr_setsigmask(&attr, &mask);
  posix_spawnattr_setsigdefault(&attr, &defaults);
  posix_spawnattr_setpgroup(&attr, 0);
  posix_spawnattr_setflags(&attr, POSIX_SPAWN_SETPGROUP | POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);
  pid_t pid = -1;
  const int rc = posix_spawn(&pid, exe.c_str(), &actions, &attr, argv.data(), environ);
  posix_spawnattr_destroy(&attr);
  posix_spawn_file_actions_destroy(&actions);
  close(fds[1]);
  if (rc != 0) {
    close(fds[0]);
    return false;
  }
  fcntl(fds[0], F_SETFL, fcntl(fds[0], F_GETFL) | O_NONBLOCK);
  mPid = pid;
  mFd = fds[0];
  return true;
}

bool ChildProcess::Drain()
{
  char buf[4096];
  for (;;) {
    const ssize_t n = read(mFd, buf, sizeof buf);
    if (n > 0) {
      if (mOut.size() < kMaxOutput) mOut.append(buf, std::min(static_cast<size_t>(n), kMaxOutput - mOut.size()));
    } else if (n < 0 && errno == EINTR) {
      continue;
    } else if (n < 0 && errno == EAGAIN) {
      return true;
    } else {
      close(mFd);
      mFd = -1;
      return false;
    }
  }
}

void ChildProcess::Reap(int options)
{
  int status = 0;
  pid_t r;
  do {
    r = waitpid(mPid, &status, options);
  } while (r < 0 && errno == EINTR);
  if (r == 0) return; // still running
  mStatus = (r == mPid && WIFEXITED(status)) ? WEXITSTATUS(status) : -1;
  mPid = -1;
}

bool ChildProcess::Poll()
{
  if (mPid <= 0) return true;
  if (mFd >= 0 && Drain()) return false;
  Reap(WNOHANG);
  return mPid <= 0;
}

void ChildProcess::Wait()
{
  while (mFd >= 0 && Drain()) {
    pollfd p = {mFd, POLLIN, 0};
    poll(&p, 1, -1);
  }
  if (mPid > 0) Reap(0);
}

void ChildProcess::Kill()
{
  if (mFd >= 0) {
    close(mFd);
    mFd = -1;
  }
  if (mPid <= 0) return;
  // Only while the pid is still ours (running, or a zombie not yet reaped) can
  // its group id not have gone to another process.
  siginfo_t info;
  info.si_pid = 0;
  if (waitid(P_PID, static_cast<id_t>(mPid), &info, WEXITED | WNOHANG | WNOWAIT) == 0) kill(-mPid, SIGKILL);
  Reap(0);
}
