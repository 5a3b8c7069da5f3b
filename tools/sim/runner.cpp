#include "tools/sim/runner.h"

#include "tools/sim/beast_frame.h"
#include "tools/sim/pty_stream.h"
#include "tools/sim/serial_stream.h"
#include "tools/sim/udp_sink.h"

namespace quorvex::sim {
namespace {

SimSettings WithStart(SimSettings settings, std::int64_t startUnixMillis) {
    settings.startUnixMillis = startUnixMillis;
    return settings;
}

}  // namespace

Runner::Runner(const SimOptions& options, std::int64_t startUnixMillis,
               std::function<void(const std::string&)> say)
    : options_(options),
      say_(std::move(say)),
      simulation_(WithStart(options.settings, startUnixMillis)) {
    const FaultPlan& faults = options.settings.faults;
    truth_.Coverage().enabled = true;
    truth_.Coverage().station = options.settings.sky.station;
    truth_.Levels().enabled =
        options.receivers[0].format == kBeastFormat || options.receivers[1].format == kBeastFormat;
    for (int r = 0; r < 2; ++r) {
        const ReceiverTarget& target = options.receivers[r];
        const auto source = static_cast<Source>(r);
        SourceTruth& truth = truth_[source];
        const std::string name = "receiver" + std::to_string(r + 1);
        truth.format = target.format;
        switch (target.kind) {
            case ReceiverTarget::Kind::None:
                continue;
            case ReceiverTarget::Kind::Pty:
                streams_[r] =
                    std::make_unique<PtyStream>([this, name, &truth](const std::string& path) {
                        truth.output = "pty " + path;
                        if (say_) say_(name + ": pty " + path);
                    });
                break;
            case ReceiverTarget::Kind::Device:
                streams_[r] = std::make_unique<SerialStream>(target.device, target.baud);
                truth.output = "device " + target.device;
                if (say_) say_(name + ": device " + target.device);
                break;
            case ReceiverTarget::Kind::Udp:
                datagramSink_ = std::make_unique<UdpSink>(target.host, target.port);
                datagramChannel_ =
                    std::make_unique<DatagramChannel>(source, *datagramSink_, truth_, faults);
                truth.output = "udp " + target.host + ":" + std::to_string(target.port);
                if (say_) say_(name + ": " + truth.output);
                break;
            case ReceiverTarget::Kind::TcpBeast:
                beastServers_[r] = std::make_unique<TcpFanOut>(target.port, name + " tcp-beast");
                beastChannels_[r] =
                    std::make_unique<FanOutChannel>(source, *beastServers_[r], truth_);
                truth.output = "tcp-beast 127.0.0.1:" + std::to_string(beastServers_[r]->Port());
                if (say_) say_(name + ": " + truth.output);
                break;
        }
        truth.enabled = true;
        if (streams_[r]) {
            const bool pty = target.kind == ReceiverTarget::Kind::Pty;
            streamChannels_[r] = std::make_unique<StreamChannel>(
                source, target.baud, *streams_[r], truth_, pty ? faults.Every(Fault::PtyClose) : 0);
        }
    }
    if (options.feed) {
        feedServer_ = std::make_unique<FeedServer>(options.feedPort);
        feedChannel_ =
            std::make_unique<FeedChannel>(*feedServer_, truth_, faults.Every(Fault::FeedReset));
        SourceTruth& truth = truth_[Source::Feed];
        truth.enabled = true;
        truth.output = "tcp port " + std::to_string(feedServer_->Port());
        if (say_) say_("feed: " + truth.output);
    }
}

Runner::~Runner() = default;

void Runner::Deliver(Source source, Unit&& unit) {
    if (source == Source::Feed) {
        if (feedChannel_) feedChannel_->Offer(std::move(unit));
        return;
    }
    const int r = static_cast<int>(source);
    if (streamChannels_[r])
        streamChannels_[r]->Offer(std::move(unit));
    else if (beastChannels_[r])
        beastChannels_[r]->Offer(std::move(unit));
    else if (datagramChannel_ && options_.receivers[r].kind == ReceiverTarget::Kind::Udp) {
        datagramChannel_->Offer(std::move(unit));
    }
}

void Runner::Step(double now) {
    simulation_.Advance(now,
                        [this](Source source, Unit&& unit) { Deliver(source, std::move(unit)); });
    Service(now);
}

void Runner::Service(double now) {
    for (auto& channel : streamChannels_) {
        if (channel) channel->Service(now);
    }
    for (auto& channel : beastChannels_) {
        if (channel) channel->Service();
    }
    if (datagramChannel_) datagramChannel_->Service(now);
    if (feedChannel_) feedChannel_->Service(now);
}

std::string Runner::TruthJson(double now, bool final) const {
    return truth_.Json(options_.settings.sky.seed, now, final);
}

std::string Runner::PtyPath(int receiver) const {
    const auto* pty = dynamic_cast<const PtyStream*>(streams_[receiver].get());
    return pty ? pty->Path() : std::string();
}

}  // namespace quorvex::sim
