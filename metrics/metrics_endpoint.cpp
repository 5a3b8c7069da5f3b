#include "metrics/metrics_endpoint.h"

#include <arpa/inet.h>
#include <netdb.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <CivetServer.h>
#include <civetweb.h>
#include <prometheus/collectable.h>
#include <prometheus/exposer.h>

#include <atomic>
#include <chrono>
#include <cstring>
#include <exception>
#include <mutex>
#include <string_view>
#include <thread>

namespace quorvex::metrics {
namespace {

constexpr std::string_view kPath = "/metrics";

// The families published last; a scrape takes a copy and lets the tick go on.
class Published : public prometheus::Collectable {
  public:
    std::vector<prometheus::MetricFamily> Collect() const override {
        std::shared_ptr<const std::vector<prometheus::MetricFamily>> families;
        {
            const std::lock_guard lock(mutex_);
            families = families_;
        }
        return *families;
    }
    void Publish(std::vector<prometheus::MetricFamily> families) {
        auto next =
            std::make_shared<const std::vector<prometheus::MetricFamily>>(std::move(families));
        const std::lock_guard lock(mutex_);
        families_.swap(next);
        // The one replaced is freed outside the lock, as `next` goes.
    }

  private:
    mutable std::mutex mutex_;
    std::shared_ptr<const std::vector<prometheus::MetricFamily>> families_ =
        std::make_shared<const std::vector<prometheus::MetricFamily>>();
};

void Refuse(mg_connection* connection, int status, std::string_view reason,
            std::string_view extraHeader) {
    const std::string body = std::string(reason) + "\n";
    mg_printf(connection,
              "HTTP/1.1 %d %.*s\r\n%.*sContent-Type: text/plain\r\nContent-Length: %zu\r\n"
              "Connection: close\r\n\r\n%s",
              status, static_cast<int>(reason.size()), reason.data(),
              static_cast<int>(extraHeader.size()), extraHeader.data(), body.size(), body.c_str());
}

// Before the library's handler: only GET of the one path goes on.
int BeginRequest(mg_connection* connection) {
    const mg_request_info* request = mg_get_request_info(connection);
    const std::string_view uri = request->local_uri != nullptr ? request->local_uri : "";
    if (uri != kPath) {
        Refuse(connection, 404, "Not Found", {});
        return 404;
    }
    if (request->request_method == nullptr || std::string_view(request->request_method) != "GET") {
        Refuse(connection, 405, "Method Not Allowed", "Allow: GET\r\n");
        return 405;
    }
    return 0;
}

std::string HostText(const std::string& host) {
    return host.find(':') != std::string::npos ? "[" + host + "]" : host;
}

// Why `host`:`port` cannot be listened on, as a bind of our own finds it; empty when it can.
std::string BindTrouble(const std::string& host, int port) {
    addrinfo hints{};
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_flags = AI_NUMERICHOST | AI_NUMERICSERV;
    addrinfo* found = nullptr;
    const std::string service = std::to_string(port);
    if (const int error = ::getaddrinfo(host.c_str(), service.c_str(), &hints, &found);
        error != 0) {
        return std::string("not a numeric address (") + ::gai_strerror(error) + ")";
    }
    std::string trouble;
    const int fd = ::socket(found->ai_family, found->ai_socktype | SOCK_CLOEXEC, 0);
    const int on = 1;
    if (fd < 0) {
        trouble = std::strerror(errno);
    } else if (::setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on) != 0 ||
               ::bind(fd, found->ai_addr, found->ai_addrlen) != 0 || ::listen(fd, 1) != 0) {
        trouble = std::strerror(errno);
    }
    if (fd >= 0) ::close(fd);
    ::freeaddrinfo(found);
    return trouble;
}

}  // namespace

struct MetricsEndpoint::Impl {
    CivetCallbacks callbacks;
    std::shared_ptr<Published> published = std::make_shared<Published>();
    std::string host;
    int port = 0;
    // Last: it stops its threads first as the endpoint goes.
    std::unique_ptr<prometheus::Exposer> exposer;
};

std::variant<std::unique_ptr<MetricsEndpoint>, std::string> MetricsEndpoint::Listen(
    const std::string& host, int port) {
    auto impl = std::make_unique<Impl>();
    impl->host = host;
    impl->callbacks.begin_request = BeginRequest;
    const std::string where = HostText(host) + ":" + std::to_string(port);
    // Our own bind first: civetweb says only that it could not start.
    if (std::string trouble = BindTrouble(host, port); !trouble.empty()) {
        return "Metrics cannot listen on " + where + ": " + trouble;
    }
    try {
        impl->exposer = std::make_unique<prometheus::Exposer>(
            std::vector<std::string>{
                "listening_ports", where,                                        //
                "num_threads", std::to_string(kMetricsServerThreads),            //
                "connection_queue", "16",                                        //
                "listen_backlog", "64",                                          //
                "request_timeout_ms", std::to_string(kMetricsRequestTimeoutMs),  //
                "keep_alive_timeout_ms", "0",                                    //
                "enable_keep_alive", "no",                                       //
                "linger_timeout_ms", "0",                                        //
                "max_request_size", "16384",                                     //
            },
            &impl->callbacks);
    } catch (const std::exception& error) {
        std::string trouble = BindTrouble(host, port);
        return "Metrics cannot listen on " + where + ": " +
               (trouble.empty() ? std::string(error.what()) : trouble);
    }
    const std::vector<int> ports = impl->exposer->GetListeningPorts();
    impl->port = ports.empty() ? port : ports.front();
    impl->exposer->RegisterCollectable(impl->published, std::string(kPath));
    return std::unique_ptr<MetricsEndpoint>(new MetricsEndpoint(std::move(impl)));
}

MetricsEndpoint::MetricsEndpoint(std::unique_ptr<Impl> impl) : impl_(std::move(impl)) {}

MetricsEndpoint::~MetricsEndpoint() {
    // civetweb's stop waits for its listening thread, which looks at the stop flag only
    // between polls of up to 2 s: connections of our own wake it, one every 20 ms until the
    // server is gone, so the program ends at once.
    std::atomic<bool> stopped{false};
    std::thread wake([this, &stopped] {
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_port = htons(static_cast<std::uint16_t>(impl_->port));
        ::inet_pton(AF_INET, impl_->host.c_str(), &address.sin_addr);
        if (impl_->host == "0.0.0.0") address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        for (int i = 0; i < 200 && !stopped.load(); ++i) {
            // Not blocking: a backlog full of idle clients must not hold the end up.
            const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
            if (fd >= 0) {
                ::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address);
                ::close(fd);
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
    });
    impl_->exposer.reset();
    stopped = true;
    wake.join();
}

int MetricsEndpoint::Port() const {
    return impl_->port;
}

std::string MetricsEndpoint::Url() const {
    return "http://" + HostText(impl_->host) + ":" + std::to_string(impl_->port) +
           std::string(kPath);
}

void MetricsEndpoint::Publish(std::vector<prometheus::MetricFamily> families) {
    impl_->published->Publish(std::move(families));
}

}  // namespace quorvex::metrics
