#include "serial/com_data_packet.h"

#include "platform/ui_thread.h"
#include "serial/com_port.h"

namespace quorvex::serial {

TComDataPacket::TComDataPacket() : own_(std::make_unique<PacketFramer>()), framer_(own_.get()) {
    framer_->OnPacket = [this](const std::string& text) {
        if (OnPacket) OnPacket(this, text);
    };
    framer_->OnDiscard = [this](const std::string& text) {
        if (OnDiscard) OnDiscard(this, text);
    };
    Link();
}

TComDataPacket::TComDataPacket(PacketFramer& framer) : framer_(&framer) {
    Link();
}

void TComDataPacket::Link() {
    link_.OnRxBuf = [this](TComPort*, const char* Buffer, int Count) {
        FeedText(std::string_view(Buffer, static_cast<std::size_t>(Count)));
    };
}

TComDataPacket::~TComDataPacket() {
    try {
        SetComPort(nullptr);
    } catch (...) {
        // Only a link that was never attached can fail to detach; nothing is left to do.
    }
}

void TComDataPacket::SetComPort(TComPort* value) {
    if (value == comPort_) return;
    if (comPort_ != nullptr) {
        comPort_->UnRegisterLink(&link_);
        comPort_->RemoveDestroyListener(this);
    }
    comPort_ = value;
    if (comPort_ != nullptr) {
        comPort_->AddDestroyListener(this, [this, port = comPort_] {
            if (comPort_ == port) SetComPort(nullptr);
        });
        comPort_->RegisterLink(&link_);
    }
}

void TComDataPacket::FeedText(std::string_view Str) {
    QUORVEX_ASSERT_UI_THREAD();
    framer_->FeedText(Str);
}

}  // namespace quorvex::serial
