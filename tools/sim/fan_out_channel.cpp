#include "tools/sim/fan_out_channel.h"

#include <algorithm>

namespace quorvex::sim {

FanOutChannel::FanOutChannel(Source source, ClientStreams& clients, GroundTruth& truth)
    : source_(source), clients_(clients), truth_(truth) {}

void FanOutChannel::Offer(Unit&& unit) {
    if (connected_.empty()) return;
    for (const Client& client : connected_) {
        if (client.bytes.size() + unit.text.size() > kBacklogBytes) {
            ++truth_[source_].overflow;
            return;
        }
    }
    const std::uint64_t number = firstNumber_ + sent_.size();
    for (Client& client : connected_) {
        client.bytes += unit.text;
        client.units.push_back(number);
    }
    sent_.push_back({std::move(unit), connected_.size()});
}

void FanOutChannel::Release(std::uint64_t number, bool whole) {
    Sent& sent = sent_[number - firstNumber_];
    --sent.holders;
    sent.whole = sent.whole || whole;
}

void FanOutChannel::Settle() {
    while (!sent_.empty() && sent_.front().holders == 0) {
        if (sent_.front().whole) truth_.Count(source_, sent_.front().unit);
        sent_.pop_front();
        ++firstNumber_;
    }
}

void FanOutChannel::Service() {
    const std::vector<std::uint64_t> ids = clients_.Clients();
    std::erase_if(connected_, [&](const Client& client) {
        if (std::binary_search(ids.begin(), ids.end(), client.id)) return false;
        for (const std::uint64_t number : client.units) Release(number, false);
        return true;
    });
    for (const std::uint64_t id : ids) {
        if (connected_.empty() || connected_.back().id < id) connected_.push_back({id, {}, {}});
    }

    for (Client& client : connected_) {
        if (client.bytes.empty()) continue;
        std::size_t n = clients_.Write(client.id, client.bytes);
        client.bytes.erase(0, n);
        while (n > 0 && !client.units.empty()) {
            const std::size_t need =
                sent_[client.units.front() - firstNumber_].unit.text.size() - client.frontWritten;
            if (n < need) {
                client.frontWritten += n;
                break;
            }
            n -= need;
            client.frontWritten = 0;
            Release(client.units.front(), true);
            client.units.pop_front();
        }
    }
    Settle();
}

}  // namespace quorvex::sim
