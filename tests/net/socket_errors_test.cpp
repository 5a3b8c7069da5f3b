// Socket error codes: errno mapped into the Windows Sockets space, and the two message forms.

#include "net/socket_errors.h"

#include <gtest/gtest.h>

#include <cerrno>

#include "platform/sockets.h"

namespace quorvex::net {
namespace {

TEST(SocketErrorsTest, ErrnoTakesTheWindowsSocketsCode) {
    using platform::SocketErrorFromErrno;
    EXPECT_EQ(SocketErrorFromErrno(ECONNREFUSED), 10061);
    EXPECT_EQ(SocketErrorFromErrno(ECONNRESET), 10054);
    EXPECT_EQ(SocketErrorFromErrno(EADDRINUSE), 10048);
    EXPECT_EQ(SocketErrorFromErrno(EMSGSIZE), 10040);
    EXPECT_EQ(SocketErrorFromErrno(EWOULDBLOCK), 10035);
    EXPECT_EQ(SocketErrorFromErrno(ETIMEDOUT), 10060);
    EXPECT_EQ(SocketErrorFromErrno(EINTR), 10004);
    EXPECT_EQ(SocketErrorFromErrno(ENOTEMPTY), 10066);
    EXPECT_EQ(SocketErrorFromErrno(EPIPE), 10058);
    EXPECT_EQ(SocketErrorFromErrno(EIO), EIO);  // no counterpart: passed on
    EXPECT_EQ(SocketErrorFromErrno(0), 0);
}

TEST(SocketErrorsTest, MessagesCarryTheCodeAndItsText) {
    EXPECT_EQ(SocketErrorMessage(10061), "Socket Error # 10061\r\nConnection refused.");
    EXPECT_EQ(SocketErrorMessage(10035), "Socket Error # 10035\r\nOperation would block. ");
    EXPECT_EQ(SocketErrorMessage(10066), "Socket Error # 10066\r\nDirectory not empty");
    EXPECT_EQ(SocketErrorMessage(10067), "Socket Error # 10067\r\n");
    EXPECT_EQ(SocketErrorMessage(11001), "Socket Error # 11001\r\n");
    EXPECT_EQ(EIdSocketError(10040).LastError(), 10040);

    EXPECT_EQ(WindowsSocketErrorMessage(10061, "connect"),
              "Windows socket error: Connection refused (10061), on API 'connect'");
    EXPECT_EQ(WindowsSocketErrorMessage(10054, "recv"),
              "Windows socket error: Connection reset by peer (10054), on API 'recv'");
    EXPECT_EQ(WindowsSocketErrorMessage(11001, "ASync Lookup"),
              "Windows socket error: Name or service not known (11001), on API 'ASync Lookup'");
}

}  // namespace
}  // namespace quorvex::net
