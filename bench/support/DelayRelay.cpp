#include "bench/support/DelayRelay.h"

#include <arpa/inet.h>
#include <condition_variable>
#include <cstring>
#include <deque>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <string>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

namespace BenchData {

namespace {

using Clock = std::chrono::steady_clock;

// One direction of a link: a reader stamps each chunk with its due time, a writer sends it then.
struct Pipe {
    int from = -1, to = -1;
    bool toServer = false;
    std::mutex mutex;
    std::condition_variable wake;
    std::deque<std::pair<Clock::time_point, std::string>> chunks;
    bool ended = false;
    std::thread reader, writer;
};

void sendAll(int fd, const std::string& bytes) {
    size_t sent = 0;
    while (sent < bytes.size()) {
        const ssize_t n = ::send(fd, bytes.data() + sent, bytes.size() - sent, MSG_NOSIGNAL);
        if (n <= 0)
            return;
        sent += size_t(n);
    }
}

} // namespace

struct DelayRelay::Link {
    int client = -1, server = -1;
    std::atomic_int lastSpoke{0}; // 1: the client, 2: the server
    Pipe up, down;

    void run(Pipe& pipe, DelayRelay& relay) {
        pipe.reader = std::thread([this, &pipe, &relay] {
            char buffer[65536];
            for (;;) {
                const ssize_t n = ::recv(pipe.from, buffer, sizeof buffer, 0);
                std::lock_guard lock(pipe.mutex);
                if (n <= 0) {
                    pipe.ended = true;
                    pipe.wake.notify_one();
                    return;
                }
                const int speaker = pipe.toServer ? 1 : 2;
                if (pipe.toServer && lastSpoke != 1)
                    ++relay.roundTrips_;
                lastSpoke = speaker;
                pipe.chunks.emplace_back(Clock::now() + std::chrono::milliseconds(relay.delayMs_),
                                         std::string(buffer, size_t(n)));
                pipe.wake.notify_one();
            }
        });
        pipe.writer = std::thread([&pipe] {
            std::unique_lock lock(pipe.mutex);
            for (;;) {
                pipe.wake.wait(lock, [&] { return pipe.ended || !pipe.chunks.empty(); });
                if (pipe.chunks.empty()) {
                    ::shutdown(pipe.to, SHUT_WR);
                    return;
                }
                auto [due, bytes] = std::move(pipe.chunks.front());
                pipe.chunks.pop_front();
                lock.unlock();
                std::this_thread::sleep_until(due);
                sendAll(pipe.to, bytes);
                lock.lock();
            }
        });
    }

    void stop() {
        ::shutdown(client, SHUT_RDWR);
        ::shutdown(server, SHUT_RDWR);
        for (Pipe* p : {&up, &down})
            for (std::thread* t : {&p->reader, &p->writer})
                if (t->joinable())
                    t->join();
        ::close(client);
        ::close(server);
    }
};

DelayRelay::DelayRelay(const QString& serverSocketPath) : target_(serverSocketPath) {
    listener_ = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ::bind(listener_, reinterpret_cast<sockaddr*>(&address), sizeof address);
    ::listen(listener_, 64);
    socklen_t length = sizeof address;
    ::getsockname(listener_, reinterpret_cast<sockaddr*>(&address), &length);
    port_ = ntohs(address.sin_port);
    acceptor_ = std::thread([this] { acceptLoop(); });
}

DelayRelay::~DelayRelay() {
    stopping_ = true;
    ::shutdown(listener_, SHUT_RDWR);
    acceptor_.join();
    ::close(listener_);
    for (auto& link : links_)
        link->stop();
}

void DelayRelay::acceptLoop() {
    for (;;) {
        const int client = ::accept(listener_, nullptr, nullptr);
        if (client < 0 || stopping_) {
            if (client >= 0)
                ::close(client);
            return;
        }
        const int server = ::socket(AF_UNIX, SOCK_STREAM, 0);
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        std::strncpy(address.sun_path, target_.toUtf8().constData(), sizeof address.sun_path - 1);
        if (::connect(server, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
            ::close(client);
            ::close(server);
            continue;
        }
        const int on = 1;
        ::setsockopt(client, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
        auto link = std::make_unique<Link>();
        link->client = client;
        link->server = server;
        link->up.from = client;
        link->up.to = server;
        link->up.toServer = true;
        link->down.from = server;
        link->down.to = client;
        link->run(link->up, *this);
        link->run(link->down, *this);
        ++connections_;
        std::lock_guard lock(mutex_);
        links_.push_back(std::move(link));
    }
}

} // namespace BenchData
