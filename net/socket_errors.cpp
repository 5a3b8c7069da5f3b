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
