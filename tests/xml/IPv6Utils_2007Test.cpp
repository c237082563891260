#include "xml/IPv6Utils_2007.h"

#include <arpa/inet.h>
#include <cstring>
#include <gtest/gtest.h>
#include <netinet/in.h>

#include "tables/Error.h"
#include "tests/xml/ExpectAssertion.h"

using namespace quarlex;
using quarlex::testing::expectAssertion;

namespace {

const std::string kBadPartTag = "{88BF1E27-F854-4530-8147-3515A19FBDB5}";
const std::string kNotIPv6SockAddrTag = "{D1CF2307-0166-4483-A4BE-EF62681A0389}";
const std::string kUnit = "IPv6Utils_2007.cpp";

std::uint32_t dotted(const char* text) {
    return ::inet_addr(text);
}

// Fake platform pieces: what they answer and how often they were asked.
struct Fake {
    static inline int startupResult = 0;
    static inline int startups = 0;
    static inline int cleanups = 0;
    static inline TOSVersion version{2, 10, 0};
    static inline bool socketWorks = true;
    static inline int sockets = 0;

    static int startup(std::uint16_t requested) {
        ++startups;
        EXPECT_EQ(requested, 0x0202);
        return startupResult;
    }
    static void cleanup() { ++cleanups; }
    static TOSVersion osVersion() { return version; }
    static bool socket() {
        ++sockets;
        return socketWorks;
    }
};

// Runs each test on the fake platform, with the unit shut down before and
// after it.
class IPPlatformTest : public ::testing::Test {
protected:
    void SetUp() override {
        IPv6UtilsShutdown();
        Fake::startupResult = 0;
        Fake::startups = Fake::cleanups = Fake::sockets = 0;
        Fake::version = {2, 10, 0};
        Fake::socketWorks = true;
        m_saved = SetIPPlatform({&Fake::startup, &Fake::cleanup, &Fake::osVersion, &Fake::socket});
    }
    void TearDown() override {
        IPv6UtilsShutdown();
        SetIPPlatform(m_saved);
    }

private:
    IPPlatform m_saved{};
};

} // namespace

TEST(IPv6UtilsTest, ValidIPv4Text) {
    struct Case {
        const char* text;
        bool valid;
    };
    const Case cases[] = {
        {"1.2.3.4", true},
        {"255.255.255.255", true},
        {" 255.255.255.255", false}, // only the exact text may yield the failure value
        {"255.255.255.255 ", false},
        {" 1.2.3.4", true},
        {"\t1.2.3.4\r\n", true},
        {"0.0.0.0", true},
        {"010.0x10.0.1", true}, // octal and hexadecimal parts, as inet_addr takes them
        {"1.2.3", false},       // inet_addr takes it, but it has two dots
        {"1.2.3.4.5", false},
        {"1..2.3", false},
        {"1.2.3.4 5", false},
        {"1.2.3.4\t5", false}, // inet_addr would stop at the tab
        {"", false},
        {"   ", false},
        {"1.2.3.256", false},
        {"a.b.c.d", false},
        {"1.2.3.4.", false},
        {"1.2.3.Ч", false},
    };
    for (const Case& c : cases)
        EXPECT_EQ(IsValidIPv4(c.text), c.valid) << '"' << c.text << '"';
}

TEST_F(IPPlatformTest, EmbeddedNulIsNoAddress) {
    const std::string_view text("1.2.3.4\0x", 9);
    EXPECT_FALSE(IsValidIPv4(text));
    TIPv6Addr addr;
    EXPECT_EQ(StrToIPv6Addr(text, addr), icrBadText);
    EXPECT_EQ(StrToIPv6Addr(std::string_view("::1\0x", 5), addr), icrBadText);
}

TEST(IPv6UtilsTest, ConvertsIPv4Text) {
    struct Case {
        const char* text;
        TIPConvResult result;
        std::uint32_t value; // part 4 after success
    };
    const Case cases[] = {
        {"1.2.3.4", icrOK, dotted("1.2.3.4")},
        {"255.255.255.255", icrOK, 0xFFFFFFFFu},
        // The checked, trimmed text is converted: glibc's inet_addr refuses
        // the leading blank and its failure value is 255.255.255.255.
        {" 10.0.0.1 ", icrOK, dotted("10.0.0.1")},
        {"1.2.3", icrBadText, 0},
        {"", icrBadText, 0},
    };
    for (const Case& c : cases) {
        TIPv6Addr addr;
        addr.SetPart(1, 0xAAAAAAAA); // parts 1 to 3 stay as they were
        const TIPConvResult r = StrToIPv6Addr(c.text, addr);
        EXPECT_EQ(r, c.result) << c.text;
        EXPECT_TRUE(addr.FIsV4) << c.text;
        EXPECT_EQ(addr.GetPart(1), 0xAAAAAAAAu) << c.text;
        EXPECT_EQ(addr.GetPart(4), c.value) << c.text;
    }
    TIPv6Addr addr;
    ASSERT_EQ(StrToIPv6Addr("1.2.3.4", addr), icrOK);
    EXPECT_EQ(addr.Bytes()[12], 1) << "first octet in the lowest-addressed byte";
    EXPECT_EQ(addr.Bytes()[15], 4);
}

TEST_F(IPPlatformTest, ConvertsIPv6Text) {
    const TIPv6Addr before = [] {
        TIPv6Addr a;
        a.SetPart(2, 7);
        a.FIsV4 = true;
        return a;
    }();
    struct Case {
        const char* text;
        TIPConvResult result;
        std::array<std::uint8_t, 16> bytes;
    };
    const Case cases[] = {
        {"::1", icrOK, {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1}},
        {"2001:db8::ff00:42:8329",
         icrOK,
         {0x20, 0x01, 0x0d, 0xb8, 0, 0, 0, 0, 0, 0, 0xff, 0x00, 0x00, 0x42, 0x83, 0x29}},
        {"::ffff:1.2.3.4", icrOK, {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0xff, 0xff, 1, 2, 3, 4}},
        // Failures keep the parts; only FIsV4 is cleared.
        {"1:2", icrBadText, before.Bytes()},
        {":::", icrBadText, before.Bytes()},
        {" ::1", icrBadText, before.Bytes()},
        {"::g", icrBadText, before.Bytes()},
    };
    for (const Case& c : cases) {
        TIPv6Addr addr = before;
        EXPECT_EQ(StrToIPv6Addr(c.text, addr), c.result) << c.text;
        EXPECT_FALSE(addr.FIsV4) << c.text;
        EXPECT_EQ(addr.Bytes(), c.bytes) << c.text;
    }
}

TEST_F(IPPlatformTest, DefaultReplacesTheWholeRecord) {
    TIPv6Addr def;
    def.SetPart(1, 11);
    def.SetPart(4, 44);
    for (const char* text : {"bad", "1.2.3", "::x", ""}) {
        EXPECT_EQ(StrToIPv6AddrDef(text, def), def) << text;
        EXPECT_EQ(StrToIPv6AddrDef(text, EmptyIPv4Addr), EmptyIPv4Addr) << text;
    }
    const TIPv6Addr v4 = StrToIPv6AddrDef("1.2.3.4", def);
    EXPECT_TRUE(v4.FIsV4);
    EXPECT_EQ(v4.GetPart(4), dotted("1.2.3.4"));
    EXPECT_EQ(StrToIPv6AddrDef("::1", EmptyIPv4Addr).Bytes()[15], 1);
}

TEST(IPv6UtilsTest, EmptyIPv4AddrIsZeroIPv4) {
    EXPECT_TRUE(EmptyIPv4Addr.FIsV4);
    EXPECT_EQ(EmptyIPv4Addr.GetPart(4), 0u);
    EXPECT_EQ(EmptyIPv4Addr.Bytes(), (std::array<std::uint8_t, 16>{}));
}

TEST(IPv6UtilsTest, MisuseOfTheRecordFailsWithItsTag) {
    expectAssertion([] { TIPv6Addr().SetPart(0, 1); }, kBadPartTag, kUnit);
    expectAssertion([] { TIPv6Addr().SetPart(5, 1); }, kBadPartTag, kUnit);
    expectAssertion(
        [] {
            TIPv6Addr a;
            a.SetIPv4(1);
            a.SetPart(1, 1);
        },
        kBadPartTag, kUnit);
    expectAssertion(
        [] {
            sockaddr_in6 sa;
            std::memset(&sa, 0, sizeof sa);
            sa.sin6_family = AF_INET;
            TIPv6Addr().SetFromSockAddr(sa);
        },
        kNotIPv6SockAddrTag, kUnit);

    TIPv6Addr a;
    a.SetPart(1, 1); // every part of an IPv6 record may be set
    a.SetIPv4(9);
    EXPECT_TRUE(a.FIsV4);
    EXPECT_EQ(a.GetPart(1), 1u) << "SetIPv4 leaves parts 1 to 3";
    EXPECT_EQ(a.GetPart(4), 9u);
}

TEST(IPv6UtilsTest, SockAddrGivesItsBytesOnly) {
    sockaddr_in6 sa;
    std::memset(&sa, 0, sizeof sa);
    sa.sin6_family = AF_INET6;
    sa.sin6_port = htons(80);
    sa.sin6_scope_id = 3;
    for (std::uint8_t i = 0; i < 16; ++i)
        sa.sin6_addr.s6_addr[i] = std::uint8_t(i + 1);
    TIPv6Addr a = EmptyIPv4Addr;
    a.SetFromSockAddr(sa);
    EXPECT_FALSE(a.FIsV4);
    EXPECT_EQ(a.Bytes(), (std::array<std::uint8_t, 16>{1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13,
                                                       14, 15, 16}));
}

TEST_F(IPPlatformTest, LegacyVersions) {
    struct Case {
        TOSVersion version;
        bool legacy;
    };
    const Case cases[] = {
        {{2, 5, 0}, true},  {{2, 5, 1}, false}, {{2, 5, 2}, false}, {{2, 6, 0}, false},
        {{2, 4, 90}, true}, {{1, 10, 0}, true}, {{0, 6, 1}, true},
    };
    for (const Case& c : cases) {
        Fake::version = c.version;
        EXPECT_EQ(IsLegacyWindows(), c.legacy)
            << c.version.PlatformId << " " << c.version.Major << "." << c.version.Minor;
    }
    SetIPPlatform(DefaultIPPlatform());
    EXPECT_FALSE(IsLegacyWindows()) << "this machine answers as a current system";
}

TEST_F(IPPlatformTest, LegacySystemRefusesIPv6TextWithoutTouchingSockets) {
    Fake::version = {2, 5, 0};
    IPv6UtilsStartup();
    TIPv6Addr addr = EmptyIPv4Addr;
    EXPECT_EQ(StrToIPv6Addr("::1", addr), icrOldOS);
    EXPECT_FALSE(addr.FIsV4);
    EXPECT_EQ(Fake::sockets, 0);
    EXPECT_EQ(StrToIPv6Addr("1.2.3.4", addr), icrOK) << "IPv4 text still converts";
}

TEST_F(IPPlatformTest, NoIPv6Protocol) {
    IPv6UtilsStartup();
    Fake::socketWorks = false;
    EXPECT_FALSE(IsIPv6Supported());
    TIPv6Addr addr;
    EXPECT_EQ(StrToIPv6Addr("::1", addr), icrNoIPv6);
    Fake::socketWorks = true;
    EXPECT_EQ(StrToIPv6Addr("::1", addr), icrOK);
}

TEST_F(IPPlatformTest, FailedStartUpStopsWithItsMessage) {
    Fake::startupResult = 10092; // the library's "version not supported"
    try {
        IPv6UtilsSession session;
        ADD_FAILURE() << "start-up went on";
    } catch (const Error& e) {
        EXPECT_STREQ(e.what(), "Winsock version too old!");
    }
    EXPECT_EQ(Fake::cleanups, 0) << "nothing started, nothing to clean up";
}

TEST_F(IPPlatformTest, SessionStartsOnceAndCleansUp) {
    {
        IPv6UtilsSession session;
        IPv6UtilsStartup(); // already started
        EXPECT_EQ(Fake::startups, 1);
    }
    EXPECT_EQ(Fake::cleanups, 1);
    IPv6UtilsShutdown();
    EXPECT_EQ(Fake::cleanups, 1);
}

TEST(IPv6UtilsTest, RealSocketTestAgreesWithTheConversion) {
    const bool supported = IsIPv6Supported();
    TIPv6Addr addr;
    EXPECT_EQ(StrToIPv6Addr("::1", addr), supported ? icrOK : icrNoIPv6);
}
