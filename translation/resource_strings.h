#pragma once
// The resource-string table: one identifier per fixed message of the components, with its
// built-in English text, and the loader that passes each through the translation layer.
// Components load their messages here, never from a literal.
//
// Threads: everything here may be called from any thread.

#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <optional>
#include <string>
#include <string_view>
#include <variant>

namespace quorvex::translation {

class Translator;

enum class ResString : std::uint16_t {
    // The serial port's messages, by message code 1 to 23, and the suffix that carries the
    // operating system's error number.
    ComErrOpen,
    ComErrWrite,
    ComErrRead,
    ComErrAsync,
    ComErrPurge,
    ComErrAsyncCheck,
    ComErrSetState,
    ComErrTimeouts,
    ComErrSetupComm,
    ComErrClearComm,
    ComErrModemStatus,
    ComErrEscape,
    ComErrTransmitChar,
    ComErrConnected,
    ComErrEnumPorts,
    ComErrStoreSettings,
    ComErrLoadSettings,
    ComErrRegisterLink,
    ComErrLedStateWithPort,
    ComErrThreadCreated,
    ComErrWaitFailed,
    ComErrHasLink,
    ComErrRegistry,
    ComErrOsCode,

    // The UDP listener and its socket layer.
    IdNoBindingsSpecified,
    IdCannotAllocateSocket,
    IdCouldNotBindSocket,
    IdSetSizeExceeded,
    IdUDPReceiveErrorZeroBytes,
    IdStackCanNotLoadWinsock,
    IdStackInitializationFailed,
    IdSocketError,

    // The texts of the socket error codes 10004 to 10066.
    SocketEINTR,
    SocketEBADF,
    SocketEACCES,
    SocketEFAULT,
    SocketEINVAL,
    SocketEMFILE,
    SocketEWOULDBLOCK,
    SocketEINPROGRESS,
    SocketEALREADY,
    SocketENOTSOCK,
    SocketEDESTADDRREQ,
    SocketEMSGSIZE,
    SocketEPROTOTYPE,
    SocketENOPROTOOPT,
    SocketEPROTONOSUPPORT,
    SocketESOCKTNOSUPPORT,
    SocketEOPNOTSUPP,
    SocketEPFNOSUPPORT,
    SocketEAFNOSUPPORT,
    SocketEADDRINUSE,
    SocketEADDRNOTAVAIL,
    SocketENETDOWN,
    SocketENETUNREACH,
    SocketENETRESET,
    SocketECONNABORTED,
    SocketECONNRESET,
    SocketENOBUFS,
    SocketEISCONN,
    SocketENOTCONN,
    SocketESHUTDOWN,
    SocketETOOMANYREFS,
    SocketETIMEDOUT,
    SocketECONNREFUSED,
    SocketELOOP,
    SocketENAMETOOLONG,
    SocketEHOSTDOWN,
    SocketEHOSTUNREACH,
    SocketENOTEMPTY,

    // The TCP feed client.
    SocketWindowsError,
    SocketAsyncError,
    SocketNoAddress,
    SocketCannotCreate,
    SocketAlreadyOpen,
    SocketCantChangeWhileActive,

    // The rate chart.
    ChartLegendColorWidth,
    ChartLegendTopPos,
    ChartFunctionPeriod,

    // The integer conversion.
    InvalidInteger,

    Count
};

inline constexpr std::size_t kResStringCount = static_cast<std::size_t>(ResString::Count);

// The built-in (English) text of `id`.
std::string_view BuiltInText(ResString id);

// The identifier of the serial port's message `code` (1 to 23); nothing for another code.
std::optional<ResString> ComPortMessage(int code);
// The identifier of the text of the socket error `code` (10004 to 10066, as far as the
// table has one); nothing for another code.
std::optional<ResString> SocketErrorText(int code);

// The resource string `id`, translated by the program's translation layer (unchanged before
// InitialiseTranslation and without catalogues).
std::string LoadResString(ResString id);
// The same through `translator`.
std::string LoadResString(Translator& translator, ResString id);

// An argument of FormatMessage: a whole number or a text.
using MessageArg = std::variant<long long, std::string_view>;

// `pattern` with its "%d" and "%s" directives replaced by `args` in order and "%%" by "%".
// Made for translated patterns, which the program cannot trust: a directive takes the next
// argument whatever its kind (a number shown in decimal, a text as it is), a directive with
// no argument left and anything else after "%" stay as written.
std::string FormatMessage(std::string_view pattern, std::initializer_list<MessageArg> args);

}  // namespace quorvex::translation
