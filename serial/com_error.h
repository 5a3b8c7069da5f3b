#pragma once
// EComPort, the serial port's error, and the serial component's start-up.
//
// Threads: InitialiseSerialComponent once on the user-interface thread at program start,
// after the translation layer and before any port exists; later calls do nothing. EComPort
// may be built on any thread.

#include <stdexcept>
#include <string>

namespace quorvex::serial {

// The start-up of the serial component: adds its resource-string domain "serial" to the
// translation layer and passes the 23 port messages through the layer, once. Until it has
// run, errors carry the built-in texts. A catalogue that cannot be read raises
// translation::ETranslationError and leaves the built-in texts; a later call loads again.
void InitialiseSerialComponent();

inline constexpr int kNoOsError = -1;

// A message code 1 to 23 with the operating system's error number (errno; kNoOsError when
// there is none). The text is the code's message as loaded at start-up, followed, when
// there is an error number, by the suffix " (win error code: %d)" with it, which is loaded
// through the translation layer each time an error is made.
class EComPort : public std::runtime_error {
  public:
    explicit EComPort(int code, int osError = kNoOsError);
    int Code() const { return code_; }
    int OsError() const { return osError_; }

  private:
    int code_;
    int osError_;
};

// Message codes, by what failed.
inline constexpr int CError_OpenFailed = 1;
inline constexpr int CError_WriteFailed = 2;
inline constexpr int CError_ReadFailed = 3;
inline constexpr int CError_InvalidAsync = 4;
inline constexpr int CError_PurgeFailed = 5;
inline constexpr int CError_AsyncCheck = 6;
inline constexpr int CError_SetStateFailed = 7;
inline constexpr int CError_TimeoutsFailed = 8;
inline constexpr int CError_SetupComFailed = 9;
inline constexpr int CError_ClearComFailed = 10;
inline constexpr int CError_ModemStatFailed = 11;
inline constexpr int CError_EscapeComFailed = 12;
inline constexpr int CError_TransmitFailed = 13;
inline constexpr int CError_ConnChangeProp = 14;
inline constexpr int CError_EnumPortsFailed = 15;
inline constexpr int CError_StoreFailed = 16;
inline constexpr int CError_LoadFailed = 17;
inline constexpr int CError_RegFailed = 18;
inline constexpr int CError_LedStateFailed = 19;
inline constexpr int CError_ThreadCreated = 20;
inline constexpr int CError_WaitFailed = 21;
inline constexpr int CError_HasLink = 22;
inline constexpr int CError_RegError = 23;

}  // namespace quorvex::serial
