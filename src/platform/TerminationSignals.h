#pragma once

#include <initializer_list>
#include <memory>

#include <QObject>

class QSocketNotifier;

namespace hlv {

// SIGTERM, SIGHUP and SIGINT (a logout, a kill, Ctrl+C) as an event of the program's event
// loop, so that the program ends through the same shutdown as a close of its window: its
// settings saved, its monitor stopped, its queued log writes flushed.
//
// A signal handler may do very little safely: the handlers here only write the signal's
// number into one end of a socket pair. The other end is read by a socket notifier on the
// event loop, which raises received(). Handlers are installed by install(), first thing
// in main; signals that come before start() (during start-up) wait in the pair and are
// raised once the event loop runs after start(). One object per program; the console, the
// watch program and the job monitor server all end through it.
class TerminationSignals : public QObject
{
    Q_OBJECT
public:
    // Creates the socket pair and installs the handlers for `signalNumbers` (by default
    // SIGTERM, SIGHUP and SIGINT); false (with the default actions left in place) when the
    // pair cannot be made. Safe to call more than once. With hardExitSeconds, a program
    // whose thread may be held (by a print server that does not answer) ends by SIGALRM that
    // many seconds after a signal, should its orderly end not have come first.
    static bool install(std::initializer_list<int> signalNumbers = {}, unsigned hardExitSeconds = 0);

    explicit TerminationSignals(QObject* parent = nullptr);
    ~TerminationSignals() override;

    // Starts raising received() from the event loop, for the signals already waiting too.
    void start();

Q_SIGNALS:
    void received(int signalNumber);

private:
    void readSignals();

    std::unique_ptr<QSocketNotifier> m_notifier;
};

} // namespace hlv
