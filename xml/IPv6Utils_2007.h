#pragma once
// TIPv6Addr: one IPv4 or IPv6 address, and the conversion of address text
// into it. The unit also has a start-up and a shut-down of the socket library,
// run once around the whole program; the start-up raises Error with
// "Winsock version too old!" when the library cannot be started, and the
// program then ends before its window exists.
//
// Address text is UTF-8; it is narrowed to the ANSI code page before the
// platform's conversions see it, so that only plain ASCII can ever match.
#include <array>
#include <cstdint>
#include <string_view>

struct sockaddr_in6;

namespace quarlex {

class TIPv6Addr {
public:
    // Sets FIsV4 for an IPv4 address. The parts are only reached through the
    // operations below: an IPv4 address has part 4 alone.
    bool FIsV4 = false;

    constexpr TIPv6Addr() = default;

    // Index 1 to 4; an IPv4 address takes part 4 only.
    void SetPart(int Index, std::uint32_t Value);
    std::uint32_t GetPart(int Index) const;
    // Sets FIsV4 and part 4, which holds the value exactly as inet_addr yields
    // it (first octet in the lowest-addressed byte). Parts 1 to 3 stay.
    void SetIPv4(std::uint32_t Value);
    // Takes the 16 address bytes of an AF_INET6 socket address and clears
    // FIsV4; port, flow information and scope are dropped.
    void SetFromSockAddr(const sockaddr_in6& SockAddr);
    // The 16 bytes of an IPv6 address in network order.
    std::array<std::uint8_t, 16> Bytes() const;

    friend bool operator==(const TIPv6Addr&, const TIPv6Addr&) = default;

private:
    // The 16 address bytes in network order, part 1 holding bytes 1 to 4 as
    // they lie in memory.
    std::array<std::uint32_t, 4> m_part{};
};

// The IPv4 address 0.0.0.0.
inline constexpr TIPv6Addr EmptyIPv4Addr = [] {
    TIPv6Addr a;
    a.FIsV4 = true;
    return a;
}();

enum TIPConvResult : int {
    icrOK = 0,      // converted
    icrBadText = 1, // the text is not a valid address
    icrOldOS = 2,   // IPv6 text on a system that cannot convert it
    icrNoIPv6 = 3,  // no IPv6 protocol on this machine
};

// Whether an IPv6 TCP socket can be created here.
bool IsIPv6Supported();
// True for a system older than version 5.1 of the Windows NT line; a current
// system answers false.
bool IsLegacyWindows();
// Dotted IPv4 text: accepted by the dotted-text conversion, exactly three
// dots, no blank and no empty part. Blanks and control characters around the
// text are ignored, except that only the exact text "255.255.255.255" may
// yield the value 0xFFFFFFFF.
bool IsValidIPv4(std::string_view Text);
// Text without a colon is IPv4, any other text IPv6. FIsV4 says which was
// tried, also on failure; the parts are then unchanged.
TIPConvResult StrToIPv6Addr(std::string_view Text, TIPv6Addr& Addr);
// DefValue, whole, when the text does not convert.
TIPv6Addr StrToIPv6AddrDef(std::string_view Text, const TIPv6Addr& DefValue);

// Start-up and shut-down of the unit, once around the program. A second
// start-up without a shut-down between them does nothing.
void IPv6UtilsStartup();
void IPv6UtilsShutdown();

// Runs the start-up in its constructor and the shut-down in its destructor.
class IPv6UtilsSession {
public:
    IPv6UtilsSession() { IPv6UtilsStartup(); }
    ~IPv6UtilsSession() { IPv6UtilsShutdown(); }
    IPv6UtilsSession(const IPv6UtilsSession&) = delete;
    IPv6UtilsSession& operator=(const IPv6UtilsSession&) = delete;
};

// The platform pieces under the unit, replaceable so that tests can take the
// legacy, the failing and the no-IPv6 paths.
struct TOSVersion {
    unsigned PlatformId; // 2: the Windows NT line
    unsigned Major;
    unsigned Minor;
};

struct IPPlatform {
    // Starts the socket library asking for the version given (0x0202: 2.2);
    // 0 when it started.
    int (*Startup)(std::uint16_t RequestedVersion);
    void (*Cleanup)();
    TOSVersion (*Version)();
    // Creates an IPv6 TCP socket and closes it at once; whether it could.
    bool (*CreateIPv6Socket)();
};

// What this machine offers: nothing to start, a current system, a real socket.
IPPlatform DefaultIPPlatform();
// Installs the pieces and returns the ones they replace.
IPPlatform SetIPPlatform(const IPPlatform& Platform);

} // namespace quarlex
