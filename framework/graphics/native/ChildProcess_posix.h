#pragma once
// An outside program run beside the host without waiting for it (the X11
// window layer's file dialogs and questions). Its standard output comes back
// through a pipe whose our end is close-on-exec and non-blocking, so programs
// the host starts meanwhile never inherit it and reading never waits; its
// standard input and error are /dev/null. It runs in a process group of its
// own: ending it ends whatever it started as well.
//
// Started with posix_spawn (no copy of the host's address space), signal mask
// emptied and the common signals back to their defaults, whatever the host's
// thread had set. Only this pid is ever waited for, never any other child of
// the host; a host that reaps every child itself (SIGCHLD ignored, or a
// handler waiting for any pid) leaves the exit status unknown (-1).
//
// Thread: the thread that owns the object (the editor's GUI thread). No lock.

#include <string>
#include <sys/types.h>
#include <vector>

class ChildProcess {
public:
  // Output kept at most; more is read and dropped.
  static constexpr size_t kMaxOutput = 65536;

  ChildProcess() = default;
  // Kill(): a program still running does not outlive its owner.
  ~ChildProcess();
  ChildProcess(const ChildProcess&) = delete;
  ChildProcess& operator=(const ChildProcess&) = delete;

  // Starts exe with args (args[0] is the program's name); false when it could
  // not be started or one is running already.
  bool Start(const std::string& exe, const std::vector<std::string>& args);
  // Reads what the program wrote since the last call without waiting; true
  // once it has ended (output closed and process reaped): Output() and
  // ExitStatus() are then final. True as well when nothing was started.
  bool Poll();
  // Waits until the program ends, reading its output.
  void Wait();
  // Ends the program and its group at once (SIGKILL), reaps it and closes
  // the pipe. Nothing happens when none is running.
  void Kill();

  bool Running() const { return mPid > 0; }
  pid_t Pid() const { return mPid; }
  const std::string& Output() const { return mOut; }
  // The exit status; -1 when killed by a signal, not started or unknown.
  int ExitStatus() const { return mStatus; }

private:
  // Reads until the pipe is empty; false at its end (the pipe is then closed).
  bool Drain();
  void Reap(int options);

  pid_t mPid = -1;
  int mFd = -1;
  std::string mOut;
  int mStatus = -1;
};
