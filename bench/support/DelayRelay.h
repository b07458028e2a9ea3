#pragma once

// A TCP relay on 127.0.0.1 in front of a server's Unix socket that holds every chunk a set
// time in each direction, as a slow network would, and counts round trips: a burst the client
// sends after the server last spoke on that connection is one.

#include <QString>
#include <atomic>
#include <chrono>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

namespace BenchData {

class DelayRelay {
  public:
    explicit DelayRelay(const QString& serverSocketPath);
    ~DelayRelay();
    DelayRelay(const DelayRelay&) = delete;
    DelayRelay& operator=(const DelayRelay&) = delete;

    int port() const { return port_; }
    void setDelay(std::chrono::milliseconds oneWay) { delayMs_ = int(oneWay.count()); }
    long roundTrips() const { return roundTrips_; }
    long connections() const { return connections_; }

    struct Link;

  private:
    void acceptLoop();

    QString target_;
    int listener_ = -1;
    int port_ = 0;
    std::atomic_int delayMs_{0};
    std::atomic_long roundTrips_{0};
    std::atomic_long connections_{0};
    std::atomic_bool stopping_{false};
    std::mutex mutex_;
    std::vector<std::unique_ptr<Link>> links_;
    std::thread acceptor_;
};

} // namespace BenchData
