#include "translation/resource_strings.h"

#include <array>

#include "translation/translation.h"
#include "translation/translator.h"

namespace quorvex::translation {

namespace {

struct Text {
    ResString id;
    std::string_view text;
};

// In the order of the identifiers; checked below.
constexpr Text kTexts[] = {
    {ResString::ComErrOpen, "Unable to open com port"},
    {ResString::ComErrWrite, "WriteFile function failed"},
    {ResString::ComErrRead, "ReadFile function failed"},
    {ResString::ComErrAsync, "Invalid Async parameter"},
    {ResString::ComErrPurge, "PurgeComm function failed"},
    {ResString::ComErrAsyncCheck, "Unable to get async status"},
    {ResString::ComErrSetState, "SetCommState function failed"},
    {ResString::ComErrTimeouts, "SetCommTimeouts failed"},
    {ResString::ComErrSetupComm, "SetupComm function failed"},
    {ResString::ComErrClearComm, "ClearCommError function failed"},
    {ResString::ComErrModemStatus, "GetCommModemStatus function failed"},
    {ResString::ComErrEscape, "EscapeCommFunction function failed"},
    {ResString::ComErrTransmitChar, "TransmitCommChar function failed"},
    {ResString::ComErrConnected, "Cannot set property while connected"},
    {ResString::ComErrEnumPorts, "EnumPorts function failed"},
    {ResString::ComErrStoreSettings, "Failed to store settings"},
    {ResString::ComErrLoadSettings, "Failed to load settings"},
    {ResString::ComErrRegisterLink, "Link (un)registration failed"},
    {ResString::ComErrLedStateWithPort, "Cannot change led state if ComPort is selected"},
    {ResString::ComErrThreadCreated, "Cannot wait for event if event thread is created"},
    {ResString::ComErrWaitFailed, "WaitForEvent method failed"},
    {ResString::ComErrHasLink, "A component is linked to OnRxBuf event"},
    {ResString::ComErrRegistry, "Registry error"},
    {ResString::ComErrOsCode, " (win error code: %d)"},

    {ResString::IdNoBindingsSpecified, "No bindings specified."},
    {ResString::IdCannotAllocateSocket, "Cannot allocate socket."},
    {ResString::IdCouldNotBindSocket,
     "Could not bind socket. Address and port are already in use."},
    {ResString::IdSetSizeExceeded, "Set Size Exceeded."},
    {ResString::IdUDPReceiveErrorZeroBytes, "UDP Receive Error = 0."},
    {ResString::IdStackCanNotLoadWinsock, "%s could not be loaded."},
    {ResString::IdStackInitializationFailed, "Winsock Initialization Error."},
    {ResString::IdSocketError, "Socket Error # %d"},

    {ResString::SocketEINTR, "Interrupted system call."},
    {ResString::SocketEBADF, "Bad file number."},
    {ResString::SocketEACCES, "Access denied."},
    {ResString::SocketEFAULT, "Bad address."},
    {ResString::SocketEINVAL, "Invalid argument."},
    {ResString::SocketEMFILE, "Too many open files."},
    {ResString::SocketEWOULDBLOCK, "Operation would block. "},
    {ResString::SocketEINPROGRESS, "Operation now in progress."},
    {ResString::SocketEALREADY, "Operation already in progress."},
    {ResString::SocketENOTSOCK, "Socket operation on non-socket."},
    {ResString::SocketEDESTADDRREQ, "Destination address required."},
    {ResString::SocketEMSGSIZE, "Message too long."},
    {ResString::SocketEPROTOTYPE, "Protocol wrong type for socket."},
    {ResString::SocketENOPROTOOPT, "Bad protocol option."},
    {ResString::SocketEPROTONOSUPPORT, "Protocol not supported."},
    {ResString::SocketESOCKTNOSUPPORT, "Socket type not supported."},
    {ResString::SocketEOPNOTSUPP, "Operation not supported on socket."},
    {ResString::SocketEPFNOSUPPORT, "Protocol family not supported."},
    {ResString::SocketEAFNOSUPPORT, "Address family not supported by protocol family."},
    {ResString::SocketEADDRINUSE, "Address already in use."},
    {ResString::SocketEADDRNOTAVAIL, "Cannot assign requested address."},
    {ResString::SocketENETDOWN, "Network is down."},
    {ResString::SocketENETUNREACH, "Network is unreachable."},
    {ResString::SocketENETRESET, "Net dropped connection or reset."},
    {ResString::SocketECONNABORTED, "Software caused connection abort."},
    {ResString::SocketECONNRESET, "Connection reset by peer."},
    {ResString::SocketENOBUFS, "No buffer space available."},
    {ResString::SocketEISCONN, "Socket is already connected."},
    {ResString::SocketENOTCONN, "Socket is not connected."},
    {ResString::SocketESHUTDOWN, "Cannot send or receive after socket is closed."},
    {ResString::SocketETOOMANYREFS, "Too many references, cannot splice."},
    {ResString::SocketETIMEDOUT, "Connection timed out."},
    {ResString::SocketECONNREFUSED, "Connection refused."},
    {ResString::SocketELOOP, "Too many levels of symbolic links."},
    {ResString::SocketENAMETOOLONG, "File name too long."},
    {ResString::SocketEHOSTDOWN, "Host is down."},
    {ResString::SocketEHOSTUNREACH, "No route to host."},
    {ResString::SocketENOTEMPTY, "Directory not empty"},

    {ResString::SocketWindowsError, "Windows socket error: %s (%d), on API '%s'"},
    {ResString::SocketAsyncError, "Asynchronous socket error %d"},
    {ResString::SocketNoAddress, "No address specified"},
    {ResString::SocketCannotCreate, "Can't create new socket"},
    {ResString::SocketAlreadyOpen, "Socket already open"},
    {ResString::SocketCantChangeWhileActive, "Can't change value while socket is active"},

    {ResString::ChartLegendColorWidth, "Legend Color Width must be between 0 and 100 %"},
    {ResString::ChartLegendTopPos, "Top Legend Position must be between 0 and 100 %"},
    {ResString::ChartFunctionPeriod, "Function Period should be >= 0"},

    {ResString::InvalidInteger, "'%s' is not a valid integer value"},
};

constexpr bool InIdentifierOrder() {
    if (std::size(kTexts) != kResStringCount) return false;
    for (std::size_t i = 0; i < std::size(kTexts); ++i) {
        if (static_cast<std::size_t>(kTexts[i].id) != i) return false;
    }
    return true;
}
static_assert(InIdentifierOrder(), "one text per identifier, in the identifiers' order");

// The socket error codes that have a text, with their identifiers.
struct SocketCode {
    int code;
    ResString id;
};
constexpr SocketCode kSocketCodes[] = {
    {10004, ResString::SocketEINTR},           {10009, ResString::SocketEBADF},
    {10013, ResString::SocketEACCES},          {10014, ResString::SocketEFAULT},
    {10022, ResString::SocketEINVAL},          {10024, ResString::SocketEMFILE},
    {10035, ResString::SocketEWOULDBLOCK},     {10036, ResString::SocketEINPROGRESS},
    {10037, ResString::SocketEALREADY},        {10038, ResString::SocketENOTSOCK},
    {10039, ResString::SocketEDESTADDRREQ},    {10040, ResString::SocketEMSGSIZE},
    {10041, ResString::SocketEPROTOTYPE},      {10042, ResString::SocketENOPROTOOPT},
    {10043, ResString::SocketEPROTONOSUPPORT}, {10044, ResString::SocketESOCKTNOSUPPORT},
    {10045, ResString::SocketEOPNOTSUPP},      {10046, ResString::SocketEPFNOSUPPORT},
    {10047, ResString::SocketEAFNOSUPPORT},    {10048, ResString::SocketEADDRINUSE},
    {10049, ResString::SocketEADDRNOTAVAIL},   {10050, ResString::SocketENETDOWN},
    {10051, ResString::SocketENETUNREACH},     {10052, ResString::SocketENETRESET},
    {10053, ResString::SocketECONNABORTED},    {10054, ResString::SocketECONNRESET},
    {10055, ResString::SocketENOBUFS},         {10056, ResString::SocketEISCONN},
    {10057, ResString::SocketENOTCONN},        {10058, ResString::SocketESHUTDOWN},
    {10059, ResString::SocketETOOMANYREFS},    {10060, ResString::SocketETIMEDOUT},
    {10061, ResString::SocketECONNREFUSED},    {10062, ResString::SocketELOOP},
    {10063, ResString::SocketENAMETOOLONG},    {10064, ResString::SocketEHOSTDOWN},
    {10065, ResString::SocketEHOSTUNREACH},    {10066, ResString::SocketENOTEMPTY},
};

}  // namespace

std::string_view BuiltInText(ResString id) {
    const auto index = static_cast<std::size_t>(id);
    return index < std::size(kTexts) ? kTexts[index].text : std::string_view();
}

std::optional<ResString> ComPortMessage(int code) {
    if (code < 1 || code > 23) return std::nullopt;
    return static_cast<ResString>(static_cast<int>(ResString::ComErrOpen) + code - 1);
}

std::optional<ResString> SocketErrorText(int code) {
    for (const SocketCode& known : kSocketCodes) {
        if (known.code == code) return known.id;
    }
    return std::nullopt;
}

std::string LoadResString(ResString id) {
    return LoadResString(ProgramTranslator(), id);
}

std::string LoadResString(Translator& translator, ResString id) {
    return translator.TranslateResourceString(BuiltInText(id));
}

std::string FormatMessage(std::string_view pattern, std::initializer_list<MessageArg> args) {
    std::string out;
    out.reserve(pattern.size() + 16);
    const MessageArg* next = args.begin();
    for (std::size_t i = 0; i < pattern.size(); ++i) {
        const char c = pattern[i];
        const char directive = i + 1 < pattern.size() ? pattern[i + 1] : '\0';
        if (c != '%' || (directive != 'd' && directive != 's' && directive != '%')) {
            out += c;
            continue;
        }
        ++i;
        if (directive == '%') {
            out += '%';
        } else if (next == args.end()) {
            out += '%';
            out += directive;
        } else {
            if (const auto* number = std::get_if<long long>(next)) {
                out += std::to_string(*number);
            } else {
                out += std::get<std::string_view>(*next);
            }
            ++next;
        }
    }
    return out;
}

}  // namespace quorvex::translation
