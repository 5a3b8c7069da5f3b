#pragma once
// The errors of the network components and their messages. Every text comes through the
// resource-string loader, so a catalogue may translate it.
//
// Threads: any thread (the UDP listener's thread builds its errors too).

#include <stdexcept>
#include <string>
#include <string_view>

namespace quorvex::net {

// "Socket Error # <code>", CR LF, and the text of the code ("Connection refused." for
// 10061); nothing after the line break for a code without a text.
std::string SocketErrorMessage(int code);

// "Windows socket error: <system text> (<code>), on API '<api>'".
std::string WindowsSocketErrorMessage(int code, std::string_view api);

// Why a connection failed or ended, as a network source's column says it: the system's text
// of the code ("Connection refused", "Connection reset by peer", ...), or "Socket error
// <code>" for a code without one.
std::string SocketFailureText(int code);

// "Connection closed by <address>:<port>": the peer ended the stream.
std::string ConnectionClosedText(std::string_view address, int port);

// "<reason>; trying again every <n> s", the interval rounded up to whole seconds.
std::string RetryingText(std::string_view reason, int retryMs);

// The UDP listener's errors.
class EIdException : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

class EIdSocketError : public EIdException {
  public:
    explicit EIdSocketError(int code);
    int LastError() const { return code_; }

  private:
    int code_;
};

// "No bindings specified."
class EIdNoBindingsSpecified : public EIdException {
  public:
    EIdNoBindingsSpecified();
};

// "Cannot allocate socket."
class EIdInvalidSocket : public EIdException {
  public:
    EIdInvalidSocket();
};

// "Could not bind socket. Address and port are already in use."
class EIdCouldNotBindSocket : public EIdException {
  public:
    EIdCouldNotBindSocket();
};

// "Set Size Exceeded."
class EIdStackSetSizeExceeded : public EIdException {
  public:
    EIdStackSetSizeExceeded();
};

// The TCP client's errors, message only.
class ESocketError : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

}  // namespace quorvex::net
