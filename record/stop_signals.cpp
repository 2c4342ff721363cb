#include "stop_signals.h"

#include <QtGlobal>

#include <csignal>

#ifdef Q_OS_WIN
#include <QMetaObject>
#include <windows.h>
#else
#include <QSocketNotifier>
#include <cerrno>
#include <fcntl.h>
#include <unistd.h>
#endif

namespace zt {

namespace {

#ifdef Q_OS_WIN
StopSignals* gWatcher = nullptr;

BOOL WINAPI ConsoleHandler(DWORD type) {
  if (type != CTRL_C_EVENT && type != CTRL_BREAK_EVENT) return FALSE;
  // Runs on a thread of its own: the watcher is told through its event loop.
  if (gWatcher) QMetaObject::invokeMethod(gWatcher, "stopRequested", Qt::QueuedConnection, Q_ARG(int, SIGINT));
  return TRUE;
}
#else
int gPipe[2] = {-1, -1};

void Handler(int sig) {
  // Only async-signal-safe calls here: one write, errno kept for whatever
  // the signal interrupted.
  const int saved = errno;
  const unsigned char b = static_cast<unsigned char>(sig);
  [[maybe_unused]] const ssize_t n = ::write(gPipe[1], &b, 1);
  errno = saved;
}
#endif

}  // namespace

StopSignals::StopSignals(QObject* parent) : QObject(parent) {}

StopSignals::~StopSignals() {
#ifdef Q_OS_WIN
  SetConsoleCtrlHandler(ConsoleHandler, FALSE);
  gWatcher = nullptr;
#else
  if (gPipe[0] >= 0) {
    std::signal(SIGINT, SIG_DFL);
    std::signal(SIGTERM, SIG_DFL);
  }
#endif
}

bool StopSignals::install() {
#ifdef Q_OS_WIN
  gWatcher = this;
  return SetConsoleCtrlHandler(ConsoleHandler, TRUE) != 0;
#else
  if (gPipe[0] < 0) {
    if (::pipe(gPipe) != 0) return false;
    for (int fd : gPipe) {
      ::fcntl(fd, F_SETFD, FD_CLOEXEC);
      ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) | O_NONBLOCK);
    }
  }
  notifier_ = new QSocketNotifier(gPipe[0], QSocketNotifier::Read, this);
  connect(notifier_, &QSocketNotifier::activated, this, &StopSignals::readPipe);
  struct sigaction sa = {};
  sa.sa_handler = Handler;
  sigemptyset(&sa.sa_mask);
  sa.sa_flags = SA_RESTART;
  return ::sigaction(SIGINT, &sa, nullptr) == 0 && ::sigaction(SIGTERM, &sa, nullptr) == 0;
#endif
}

void StopSignals::readPipe() {
#ifndef Q_OS_WIN
  unsigned char b = 0;
  while (::read(gPipe[0], &b, 1) == 1) emit stopRequested(int(b));
#endif
}

}  // namespace zt
