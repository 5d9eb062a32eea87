// Event-loop waits: a socket notifier on the descriptor, a single-shot timer for a pause.
#include "app/event_wait.h"

#include <poll.h>

#include <QElapsedTimer>
#include <QEventLoop>
#include <QSocketNotifier>
#include <QTimer>

namespace {

bool IsReadable(int fd) {
  pollfd p{fd, POLLIN, 0};
  return ::poll(&p, 1, 0) > 0;
}

}  // namespace

void WaitReadableInEventLoop(int fd) {
  // A quit of the application ends every nested loop, so the loop is re-entered until the
  // descriptor really is readable.
  while (!IsReadable(fd)) {
    QEventLoop loop;
    QSocketNotifier notifier(fd, QSocketNotifier::Read);
    QObject::connect(&notifier, &QSocketNotifier::activated, &loop, &QEventLoop::quit);
    if (IsReadable(fd)) break;
    loop.exec();
  }
}

void PauseInEventLoop(int milliseconds) {
  QElapsedTimer clock;
  clock.start();
  while (clock.elapsed() < milliseconds) {
    QEventLoop loop;
    QTimer::singleShot(milliseconds - static_cast<int>(clock.elapsed()), &loop, &QEventLoop::quit);
    loop.exec();
  }
}
