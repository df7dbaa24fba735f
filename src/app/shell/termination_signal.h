#pragma once

#include <QObject>

class QSocketNotifier;

namespace linesift {

// Turns SIGTERM (a logout without a session manager, `kill`) into a signal
// delivered on the window's thread: the handler only writes one byte into a
// pipe, which a socket notifier reads in the event loop. One instance at a
// time; the previous disposition is restored when it is destroyed.
class TerminationSignal : public QObject {
    Q_OBJECT
  public:
    explicit TerminationSignal(QObject* parent = nullptr);
    ~TerminationSignal() override;

    // Whether the handler is in place (the pipe could be made).
    bool IsInstalled() const { return notifier_ != nullptr; }

  signals:
    // SIGTERM arrived; emitted from the event loop.
    void terminationRequested();

  private:
    void OnReadable();

    QSocketNotifier* notifier_ = nullptr;
};

}  // namespace linesift
