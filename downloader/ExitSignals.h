#pragma once
#include <QObject>

class QSocketNotifier;

// Turns SIGTERM, SIGINT and SIGHUP into a signal on the UI thread, through a pipe that
// the handler writes to, so the exit sequence runs as if the user had chosen Exit. One
// object at a time; the previous handlers come back when it is destroyed.
class ExitSignals : public QObject {
    Q_OBJECT

public:
    explicit ExitSignals(QObject* parent = nullptr);
    ~ExitSignals() override;
    ExitSignals(const ExitSignals&) = delete;
    ExitSignals& operator=(const ExitSignals&) = delete;

    bool IsInstalled() const { return m_notifier != nullptr; }

signals:
    void exitRequested(int signalNumber);

private:
    void OnReadable();

    QSocketNotifier* m_notifier = nullptr;
};
