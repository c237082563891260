#include "xml/IPv6Utils_2007.h"

#include <algorithm>
#include <arpa/inet.h>
#include <cstring>
#include <netinet/in.h>
#include <string>
#include <sys/socket.h>
#include <unistd.h>

#include "tables/Error.h"
#include "xml/D2010Utils.h"

namespace quarlex {

namespace {

constexpr const char* kBadPartTag = "{88BF1E27-F854-4530-8147-3515A19FBDB5}";
constexpr const char* kReadPartTag = "{880E1EBE-11E6-4EEE-A944-E33364AB66D4}";
constexpr const char* kNotIPv6SockAddrTag = "{D1CF2307-0166-4483-A4BE-EF62681A0389}";

constexpr unsigned kWin32NT = 2;
constexpr std::uint32_t kDottedFailure = 0xFFFFFFFFu; // also 255.255.255.255

int posixStartup(std::uint16_t) {
    return 0; // POSIX sockets need no start-up
}

void posixCleanup() {}

TOSVersion currentVersion() {
    return {kWin32NT, 10, 0};
}

bool createIPv6Socket() {
    const int fd = ::socket(AF_INET6, SOCK_STREAM, IPPROTO_TCP);
    if (fd < 0)
        return false;
    ::close(fd);
    return true;
}

IPPlatform g_platform{&posixStartup, &posixCleanup, &currentVersion, &createIPv6Socket};
bool g_started = false;
// Set by the start-up, read only afterwards.
bool g_legacyOS = false;

bool isBlankOrControl(char c) {
    return (unsigned char)c <= 0x20;
}

std::string_view trimmed(std::string_view s) {
    while (!s.empty() && isBlankOrControl(s.front()))
        s.remove_prefix(1);
    while (!s.empty() && isBlankOrControl(s.back()))
        s.remove_suffix(1);
    return s;
}

// inet_addr on narrow text. glibc's stops at the first blank or NUL and takes
// what came before, so "1.2.3.4\tx" would pass as 1.2.3.4: such text is
// refused here before it gets there.
std::uint32_t dottedToIPv4(const std::string& narrow) {
    if (std::any_of(narrow.begin(), narrow.end(), isBlankOrControl))
        return kDottedFailure;
    return ::inet_addr(narrow.c_str());
}

} // namespace

void TIPv6Addr::SetPart(int Index, std::uint32_t Value) {
    QUARLEX_ASSERT(Index >= 1 && Index <= 4, kBadPartTag);
    QUARLEX_ASSERT(!FIsV4 || Index == 4, kBadPartTag);
    m_part[size_t(Index - 1)] = Value;
}

std::uint32_t TIPv6Addr::GetPart(int Index) const {
    QUARLEX_ASSERT(Index >= 1 && Index <= 4, kReadPartTag);
    return m_part[size_t(Index - 1)];
}

void TIPv6Addr::SetIPv4(std::uint32_t Value) {
    FIsV4 = true;
    SetPart(4, Value);
}

void TIPv6Addr::SetFromSockAddr(const sockaddr_in6& SockAddr) {
    QUARLEX_ASSERT(SockAddr.sin6_family == AF_INET6, kNotIPv6SockAddrTag);
    static_assert(sizeof SockAddr.sin6_addr == sizeof m_part);
    std::memcpy(m_part.data(), &SockAddr.sin6_addr, sizeof m_part);
    FIsV4 = false;
}

std::array<std::uint8_t, 16> TIPv6Addr::Bytes() const {
    std::array<std::uint8_t, 16> bytes;
    std::memcpy(bytes.data(), m_part.data(), bytes.size());
    return bytes;
}

bool IsIPv6Supported() {
    return g_platform.CreateIPv6Socket();
}

bool IsLegacyWindows() {
    const TOSVersion v = g_platform.Version();
    return v.PlatformId != kWin32NT || v.Major < 5 || (v.Major == 5 && v.Minor == 0);
}

bool IsValidIPv4(std::string_view Text) {
    const std::string_view s = trimmed(Text);
    if (dottedToIPv4(WideToAnsi(s)) == kDottedFailure && Text != "255.255.255.255")
        return false;
    if (s.empty())
        return false;
    if (s.find(' ') != std::string_view::npos || s.find("..") != std::string_view::npos)
        return false;
    return std::count(s.begin(), s.end(), '.') == 3;
}

TIPConvResult StrToIPv6Addr(std::string_view Text, TIPv6Addr& Addr) {
    if (Text.find(':') == std::string_view::npos) {
        Addr.FIsV4 = true;
        if (!IsValidIPv4(Text))
            return icrBadText;
        // The text that was checked: glibc refuses a leading blank, and its
        // failure value would pass for 255.255.255.255.
        Addr.SetPart(4, dottedToIPv4(WideToAnsi(trimmed(Text))));
        return icrOK;
    }
    Addr.FIsV4 = false;
    if (g_legacyOS)
        return icrOldOS;
    if (!IsIPv6Supported())
        return icrNoIPv6;
    sockaddr_in6 sockAddr;
    std::memset(&sockAddr, 0, sizeof sockAddr);
    sockAddr.sin6_family = AF_INET6;
    const std::string narrow = WideToAnsi(Text);
    if (narrow.find('\0') != std::string::npos ||
        ::inet_pton(AF_INET6, narrow.c_str(), &sockAddr.sin6_addr) != 1)
        return icrBadText;
    Addr.SetFromSockAddr(sockAddr);
    return icrOK;
}

TIPv6Addr StrToIPv6AddrDef(std::string_view Text, const TIPv6Addr& DefValue) {
    TIPv6Addr addr;
    return StrToIPv6Addr(Text, addr) == icrOK ? addr : DefValue;
}

void IPv6UtilsStartup() {
    if (g_started)
        return;
    if (g_platform.Startup(0x0202) != 0)
        throw Error("Winsock version too old!");
    g_started = true;
    g_legacyOS = IsLegacyWindows();
}

void IPv6UtilsShutdown() {
    if (!g_started)
        return;
    g_platform.Cleanup();
    g_started = false;
    g_legacyOS = false;
}

IPPlatform DefaultIPPlatform() {
    return {&posixStartup, &posixCleanup, &currentVersion, &createIPv6Socket};
}

IPPlatform SetIPPlatform(const IPPlatform& Platform) {
    const IPPlatform previous = g_platform;
    g_platform = Platform;
    return previous;
}

} // namespace quarlex
