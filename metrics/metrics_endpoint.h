#pragma once
// The HTTP endpoint Prometheus scrapes: GET /metrics on one address, answered by a few
// server threads of its own with the families published last. The tick publishes (a swap
// under a mutex); a scrape copies what was published and never touches the run, so a slow,
// stalled or abusive client costs the measurement nothing. The server serves a bounded
// number of connections at once, ends a request that is not whole within a few seconds
// (408), refuses an oversized header (413 or 431), any path but /metrics (404) and any
// method but GET (405).

#include <memory>
#include <string>
#include <variant>
#include <vector>

#include <prometheus/metric_family.h>

namespace quorvex::metrics {

inline constexpr const char* kDefaultMetricsHost = "127.0.0.1";
// What the server allows: connections served at once, and the time a request has to
// arrive whole.
inline constexpr int kMetricsServerThreads = 2;
inline constexpr int kMetricsRequestTimeoutMs = 5000;

class MetricsEndpoint {
  public:
    // Listens on `host`:`port` (0: any free port). The endpoint, or the sentence that says
    // why it cannot listen ("Metrics cannot listen on HOST:PORT: REASON").
    static std::variant<std::unique_ptr<MetricsEndpoint>, std::string> Listen(
        const std::string& host, int port);
    ~MetricsEndpoint();
    MetricsEndpoint(const MetricsEndpoint&) = delete;
    MetricsEndpoint& operator=(const MetricsEndpoint&) = delete;

    // The port it listens on, and the address to scrape ("http://127.0.0.1:9718/metrics").
    int Port() const;
    std::string Url() const;

    // What scrapes from now on answer. Any thread; the user-interface thread's tick in the
    // program.
    void Publish(std::vector<prometheus::MetricFamily> families);

  private:
    struct Impl;
    explicit MetricsEndpoint(std::unique_ptr<Impl> impl);
    std::unique_ptr<Impl> impl_;
};

}  // namespace quorvex::metrics
