#include "tools/sim/datagram_channel.h"

namespace quorvex::sim {

DatagramChannel::DatagramChannel(Source source, DatagramSink& sink, GroundTruth& truth,
                                 const FaultPlan& faults)
    : source_(source), sink_(sink), truth_(truth), faults_(faults) {}

void DatagramChannel::Offer(Unit&& unit) {
    // A packet that does not fit closes the datagram; when that one is to be oversized, this
    // packet is the one beyond the limit.
    if (!oversized_ && bytes_ + unit.text.size() > kDatagramLimit) Close();
    if (oversized_) {
        unit.kind = Unit::Kind::Faulty;
        unit.fault = Fault::OversizedDatagram;
        bytes_ += unit.text.size();
        units_.push_back(std::move(unit));
        std::string datagram;
        for (std::size_t i = 0; i + 1 < units_.size(); ++i) datagram += units_[i].text;
        datagram.append(padding_, ' ');
        datagram += units_.back().text;
        Send(datagram);
        return;
    }
    const bool endsDatagram = unit.kind == Unit::Kind::Faulty && unit.fault == Fault::Nul;
    bytes_ += unit.text.size();
    units_.push_back(std::move(unit));
    if (endsDatagram) Close();
}

void DatagramChannel::Service(double now) {
    if (!units_.empty() && !oversized_ && now - units_.front().time >= kHoldSeconds) Close();
}

void DatagramChannel::Close() {
    if (units_.empty()) return;
    ++datagrams_;
    if (faults_.Due(Fault::OversizedDatagram, datagrams_)) {
        padding_ = kDatagramLimit - bytes_;
        oversized_ = true;
        return;
    }
    std::string datagram;
    datagram.reserve(bytes_);
    for (const Unit& unit : units_) datagram += unit.text;
    Send(datagram);
    if (faults_.Due(Fault::EmptyDatagram, datagrams_) && sink_.Send({})) {
        truth_.CountFault(source_, Fault::EmptyDatagram);
    }
}

void DatagramChannel::Send(const std::string& datagram) {
    if (sink_.Send(datagram)) {
        for (const Unit& unit : units_) truth_.Count(source_, unit);
        truth_[source_].bytes += static_cast<std::int64_t>(padding_);
    }
    units_.clear();
    bytes_ = 0;
    padding_ = 0;
    oversized_ = false;
}

}  // namespace quorvex::sim
