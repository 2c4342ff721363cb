#pragma once
// A pseudo-terminal for tests: the test holds the master side and plays the
// device; the code under test opens slavePath() as its serial port.
#include <QByteArray>
#include <QElapsedTimer>
#include <QString>

#include <fcntl.h>
#include <poll.h>
#include <stdlib.h>
#include <termios.h>
#include <unistd.h>

class PtyPair {
 public:
  PtyPair() {
    master_ = posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK);
    if (master_ < 0 || grantpt(master_) != 0 || unlockpt(master_) != 0) return;
    const char* name = ptsname(master_);
    if (name) slave_ = QString::fromLocal8Bit(name);
    // Raw mode on the line so that bytes pass unchanged and unechoed even
    // before the port under test sets its own attributes.
    termios tio{};
    if (tcgetattr(master_, &tio) == 0) {
      cfmakeraw(&tio);
      tcsetattr(master_, TCSANOW, &tio);
    }
  }
  ~PtyPair() { closeMaster(); }
  PtyPair(const PtyPair&) = delete;
  PtyPair& operator=(const PtyPair&) = delete;

  bool ok() const { return master_ >= 0 && !slave_.isEmpty(); }
  QString slavePath() const { return slave_; }

  bool send(const QByteArray& bytes) {
    qsizetype done = 0;
    while (done < bytes.size()) {
      const ssize_t n = ::write(master_, bytes.constData() + done, size_t(bytes.size() - done));
      if (n > 0) {
        done += n;
      } else {
        pollfd p{master_, POLLOUT, 0};
        if (::poll(&p, 1, 100) <= 0) return false;
      }
    }
    return true;
  }

  // Everything the port under test wrote so far.
  QByteArray received() {
    QByteArray out;
    char buf[512];
    for (;;) {
      const ssize_t n = ::read(master_, buf, sizeof buf);
      if (n <= 0) break;
      out.append(buf, n);
    }
    return out;
  }

  // The device disappears: the slave path goes away and the open port hangs up.
  void closeMaster() {
    if (master_ >= 0) ::close(master_);
    master_ = -1;
  }

 private:
  int master_ = -1;
  QString slave_;
};
