// The workstation's proxy setting reduced to one text, and that text split into server and port.
#include "ProxyText.h"

#include <gtest/gtest.h>

using namespace halvio::platform;

namespace {

ProxySetting namedProxy(std::string list) {
    return ProxySetting{ProxySetting::kNamedProxy, std::move(list), ""};
}

struct SettingCase {
    const char* name;
    std::optional<ProxySetting> setting;
    std::string expected;
};

class ProxyTextFromSetting : public testing::TestWithParam<SettingCase> {};

TEST_P(ProxyTextFromSetting, GivesTheHttpProxyOrNone) {
    EXPECT_EQ(proxyTextFromSetting(GetParam().setting), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Settings, ProxyTextFromSetting,
    testing::Values(
        SettingCase{"Direct", ProxySetting{ProxySetting::kDirect, "", ""}, "  :0"},
        SettingCase{"SingleEntry", namedProxy("proxy.local:8080"), "proxy.local:8080"},
        SettingCase{"HttpEntryFirst", namedProxy("http=web.proxy:3128;https=sec.proxy:3129"),
                    "web.proxy:3128"},
        SettingCase{"HttpEntryLast", namedProxy("ftp=ftp.proxy:21;http=web.proxy:3128"), "web.proxy:3128"},
        SettingCase{"HttpEntryWithoutPort", namedProxy("http=web.proxy"), "  :0"},
        SettingCase{"SingleEntryWithoutPort", namedProxy("proxy.local"), "  :0"},
        SettingCase{"UpperCaseEntryKeptWhole", namedProxy("HTTP=web.proxy:3128"), "HTTP=web.proxy:3128"},
        SettingCase{"OtherProtocolOnlyKeptWhole", namedProxy("https=sec.proxy:3129"), "https=sec.proxy:3129"},
        SettingCase{"QueryFailed", std::nullopt, "  :0"},
        SettingCase{"NamedProxyWithEmptyList", namedProxy(""), "  :0"},
        SettingCase{"PreconfiguredIgnored",
                    ProxySetting{ProxySetting::kPreconfigured, "proxy.local:8080", ""}, "  :0"},
        SettingCase{"DirectIgnoresItsList", ProxySetting{ProxySetting::kDirect, "proxy.local:8080", ""},
                    "  :0"}),
    [](const testing::TestParamInfo<SettingCase>& info) { return std::string(info.param.name); });

struct SplitCase {
    const char* name;
    std::string text;
    std::string server;
    std::int32_t port;
};

class ProxyTextSplit : public testing::TestWithParam<SplitCase> {};

TEST_P(ProxyTextSplit, GivesServerAndPort) {
    EXPECT_EQ(proxyServerFromText(GetParam().text), GetParam().server);
    EXPECT_EQ(proxyPortFromText(GetParam().text), GetParam().port);
}

INSTANTIATE_TEST_SUITE_P(Texts, ProxyTextSplit,
                         testing::Values(SplitCase{"NoProxy", "  :0", "", 0},
                                         SplitCase{"HostAndPort", "proxy.local:8080", "proxy.local", 8080},
                                         SplitCase{"BlanksAndControlsTrimmed", " \tproxy.local\r :\t 3128 \n",
                                                   "proxy.local", 3128},
                                         SplitCase{"PortCutToTenCharacters", "p:8080      (main)", "p", 8080},
                                         SplitCase{"LargestPort", "p:2147483647", "p", 2147483647},
                                         SplitCase{"SignedPort", "p:-1", "p", -1}),
                         [](const testing::TestParamInfo<SplitCase>& info) {
                             return std::string(info.param.name);
                         });

struct BadPortCase {
    const char* name;
    std::string text;
    std::string server;
    std::string portText;
};

class ProxyTextBadPort : public testing::TestWithParam<BadPortCase> {};

// The server is still read, so the caller can set it before the port fails.
TEST_P(ProxyTextBadPort, KeepsTheServerAndRefusesThePort) {
    EXPECT_EQ(proxyServerFromText(GetParam().text), GetParam().server);
    try {
        proxyPortFromText(GetParam().text);
        FAIL() << "no error for " << GetParam().text;
    } catch (const ProxyPortError& error) {
        EXPECT_NE(std::string(error.what()).find("'" + GetParam().portText + "'"), std::string::npos)
            << error.what();
    }
}

INSTANTIATE_TEST_SUITE_P(
    Texts, ProxyTextBadPort,
    testing::Values(BadPortCase{"WordsAfterThePort", "proxy:80 (main)", "proxy", "80 (main)"},
                    BadPortCase{"ListOfOtherProtocols", "https=sec.proxy:443;ftp=ftp.proxy:21",
                                "https=sec.proxy", "443;ftp=ft"},
                    BadPortCase{"SecondColon", "a:81:82", "a", "81:82"},
                    BadPortCase{"EmptyPort", "proxy: ", "proxy", ""},
                    BadPortCase{"BeyondThirtyTwoBits", "p:2147483648", "p", "2147483648"},
                    BadPortCase{"Hexadecimal", "p:0x50", "p", "0x50"},
                    BadPortCase{"NoColonReadsTheFirstTenCharacters", "proxy.local", "", "proxy.loca"}),
    [](const testing::TestParamInfo<BadPortCase>& info) { return std::string(info.param.name); });

} // namespace
