#include "net/socket_errors.h"

#include "platform/sockets.h"
#include "translation/resource_strings.h"

namespace quorvex::net {

using translation::FormatMessage;
using translation::LoadResString;
using translation::ResString;

std::string SocketErrorMessage(int code) {
    std::string message = FormatMessage(LoadResString(ResString::IdSocketError), {code});
    message += "\r\n";
    if (const auto text = translation::SocketErrorText(code)) message += LoadResString(*text);
    return message;
}

std::string WindowsSocketErrorMessage(int code, std::string_view api) {
    const std::string systemText = platform::SocketErrorSystemText(code);
    return FormatMessage(LoadResString(ResString::SocketWindowsError),
                         {std::string_view(systemText), code, api});
}

std::string SocketFailureText(int code) {
    std::string text = platform::SocketErrorSystemText(code);
    return text.empty() ? "Socket error " + std::to_string(code) : text;
}

std::string ConnectionClosedText(std::string_view address, int port) {
    return "Connection closed by " + std::string(address) + ":" + std::to_string(port);
}

std::string RetryingText(std::string_view reason, int retryMs) {
    return std::string(reason) + "; trying again every " + std::to_string((retryMs + 999) / 1000) +
           " s";
}

EIdSocketError::EIdSocketError(int code) : EIdException(SocketErrorMessage(code)), code_(code) {}

EIdNoBindingsSpecified::EIdNoBindingsSpecified()
    : EIdException(LoadResString(ResString::IdNoBindingsSpecified)) {}

EIdInvalidSocket::EIdInvalidSocket()
    : EIdException(LoadResString(ResString::IdCannotAllocateSocket)) {}

EIdCouldNotBindSocket::EIdCouldNotBindSocket()
    : EIdException(LoadResString(ResString::IdCouldNotBindSocket)) {}

EIdStackSetSizeExceeded::EIdStackSetSizeExceeded()
    : EIdException(LoadResString(ResString::IdSetSizeExceeded)) {}

}  // namespace quorvex::net
