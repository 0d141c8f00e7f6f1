// The rules that decide, before anything is downloaded, whether the server's answer and its
// addresses are taken at all, and whether its version is newer.
#include "update/UpdateDescriptor.h"

#include <gtest/gtest.h>

#include <string>

using namespace update;

namespace {

const std::string kDigest = "q1MKE+RZFJgrefm34/uplM/R8/si9xzqGvvwK0YMbR0=";

std::string descriptorText(const std::string& version = "1.34",
                           const std::string& address = "https://www.brindlecrest.example/download/Brindlecrest.exe",
                           const std::string& size = "2873344", const std::string& digest = kDigest) {
    return "[Brindlecrest]\nversion=" + version + "\naddress=" + address + "\nsize=" + size + "\nsha256=" + digest + "\n";
}

DescriptorError parse(const std::string& text) {
    UpdateDescriptor descriptor;
    return parseUpdateDescriptor(text, descriptor);
}

ProgramVersion version(const char* text) { return parseVersion(text).value(); }

TEST(Version, OneToFourPartsOfAtMost65535AndNothingElse) {
    EXPECT_EQ(version("1.34").parts, (std::array<uint32_t, 4>{1, 34, 0, 0}));
    EXPECT_EQ(version("7").parts, (std::array<uint32_t, 4>{7, 0, 0, 0}));
    EXPECT_EQ(version("1.2.3.65535").parts, (std::array<uint32_t, 4>{1, 2, 3, 65535}));
    for (const char* bad : {"", ".", "1.", ".1", "1..2", "1.2.3.4.5", "1.65536", "-1.2", "+1", "1.2a", " 1.2", "1,2",
                            "99999999999999999999"}) {
        EXPECT_FALSE(parseVersion(bad).has_value()) << bad;
    }
}

TEST(Version, ComparesNumbersPartByPart) {
    EXPECT_LT(compareVersions(version("1.4"), version("1.33")), 0) << "33 is more than 4, whatever the text says";
    EXPECT_LT(compareVersions(version("1.33"), version("1.34")), 0);
    EXPECT_EQ(compareVersions(version("1.33"), version("1.33.0.0")), 0);
    EXPECT_GT(compareVersions(version("1.33.0.1"), version("1.33")), 0) << "the revision counts";
    EXPECT_GT(compareVersions(version("2"), version("1.65535.65535.65535")), 0);
    EXPECT_EQ(versionText(version("1.34")), "1.34");
    EXPECT_EQ(versionText(version("2")), "2.0");
    EXPECT_EQ(versionText(version("1.34.0.2")), "1.34.0.2");
    EXPECT_EQ(versionText(version("1.34.5")), "1.34.5");
}

TEST(WebAddress, SplitsSchemeHostPortAndTarget) {
    WebAddress a = parseWebAddress("HTTPS://WWW.Brindlecrest.example/update.txt?x=1#part").value();
    EXPECT_TRUE(a.secure);
    EXPECT_EQ(a.host, "www.brindlecrest.example");
    EXPECT_EQ(a.port, 443);
    EXPECT_EQ(a.target, "/update.txt?x=1") << "the fragment never goes to the server";
    WebAddress b = parseWebAddress("http://127.0.0.1:8080").value();
    EXPECT_FALSE(b.secure);
    EXPECT_EQ(b.port, 8080);
    EXPECT_EQ(b.target, "/");
    EXPECT_EQ(parseWebAddress("http://localhost?x").value().target, "/?x");
    WebAddress c = parseWebAddress("https://[::1]:65535/a").value();
    EXPECT_EQ(c.host, "[::1]");
    EXPECT_EQ(c.port, 65535);
    EXPECT_EQ(addressText(c), "https://[::1]:65535/a");
    EXPECT_EQ(addressText(a), "https://www.brindlecrest.example/update.txt?x=1") << "the scheme's own port is left out";
}

TEST(WebAddress, RefusesWhatCouldBeReadTwoWays) {
    for (const char* bad : {"", "www.brindlecrest.example/update.txt", "ftp://127.0.0.1/x", "file:///C:/x", "https://",
                            "https:///x", "https://user@www.brindlecrest.example/", "https://127.0.0.1@evil.example/",
                            "https://host:0/", "https://host:65536/", "https://host:/", "https://host:8a/",
                            "https://ho st/", "https://host/a b", "https://host/a\\b", "https://host/\x7f",
                            "https://h\xc3\xa4st/", "https://-host/", "https://host-/", "https://a..b/", "https://[::1/",
                            "https://[zz::1]/", "https://host/\r\nX: y"}) {
        EXPECT_FALSE(parseWebAddress(bad).has_value()) << bad;
    }
}

TEST(WebAddress, PlainHttpOnlyToThisMachine) {
    for (const char* loopback : {"localhost", "127.0.0.1", "127.255.255.254", "127.1.2.3", "[::1]"}) {
        EXPECT_TRUE(isLoopbackHost(loopback)) << loopback;
    }
    for (const char* other : {"127.0.0.1.evil.example", "evil.example.127.0.0.1", "0177.0.0.1", "127.0.0.01", "128.0.0.1",
                              "127.0.0", "127.0.0.1.1", "127.0.0.256", "localhost.evil.example", "[::2]", "10.0.0.1",
                              "www.brindlecrest.example", ""}) {
        EXPECT_FALSE(isLoopbackHost(other)) << other;
    }
    EXPECT_TRUE(isAcceptedForUpdates(parseWebAddress("https://www.brindlecrest.example/x").value()));
    EXPECT_TRUE(isAcceptedForUpdates(parseWebAddress("http://127.0.0.1:1234/x").value()));
    EXPECT_FALSE(isAcceptedForUpdates(parseWebAddress("http://www.brindlecrest.example/x").value()));
    EXPECT_FALSE(isAcceptedForUpdates(parseWebAddress("http://127.0.0.1.evil.example/x").value()));
}

TEST(WebAddress, QueryValuesArePercentEncodedFromUtf8) {
    WebAddress a = parseWebAddress("https://www.brindlecrest.example/update.txt").value();
    addQueryValue(a, "lang", "Portugu\xc3\xaas-Brazil");
    EXPECT_EQ(a.target, "/update.txt?lang=Portugu%C3%AAs-Brazil");
    addQueryValue(a, "x", "a b&c=d/e~_.");
    EXPECT_EQ(a.target, "/update.txt?lang=Portugu%C3%AAs-Brazil&x=a%20b%26c%3Dd%2Fe~_.");
}

TEST(Descriptor, ReadsTheFourKeysWhateverTheLayout) {
    UpdateDescriptor d;
    std::string text = "\xEF\xBB\xBF; our newest version\r\n\r\n[Brindlecrest]\r\n  Version = 1.34 \r\n# mirror below\r\n"
                       "ADDRESS=http://127.0.0.1:8080/Brindlecrest.exe\r\nnotes=ignored by this version\r\nsize=\t2873344\r\n"
                       "sha256=" + kDigest;  // no line end at the very end
    ASSERT_EQ(parseUpdateDescriptor(text, d), DescriptorError::none);
    EXPECT_EQ(versionText(d.version), "1.34");
    EXPECT_EQ(d.exe.host, "127.0.0.1");
    EXPECT_EQ(d.exe.port, 8080);
    EXPECT_EQ(d.exe.target, "/Brindlecrest.exe");
    EXPECT_EQ(d.size, 2873344u);
    EXPECT_EQ(d.sha256, kDigest);
}

TEST(Descriptor, RefusesEverythingThatIsNotExactlyOneClearAnswer) {
    EXPECT_EQ(parse(descriptorText()), DescriptorError::none);
    EXPECT_EQ(parse(descriptorText() + "sha256=" + kDigest + "\n"), DescriptorError::duplicateKey);
    EXPECT_EQ(parse(descriptorText() + "SIZE=1\n"), DescriptorError::duplicateKey) << "keys in any case are the same key";
    EXPECT_EQ(parse("[Brindlecrest]\nversion=1.34\naddress=https://a.example/x\nsize=5\n"), DescriptorError::missingKey);
    EXPECT_EQ(parse(descriptorText().substr(15)), DescriptorError::noHeader);
    EXPECT_EQ(parse("version=1.34\n" + descriptorText()), DescriptorError::noHeader) << "the header comes first";
    EXPECT_EQ(parse(""), DescriptorError::noHeader);
    EXPECT_EQ(parse(descriptorText() + "just words\n"), DescriptorError::badLine);
    EXPECT_EQ(parse(descriptorText() + "=value\n"), DescriptorError::badLine);
    EXPECT_EQ(parse(descriptorText() + std::string("x=\0", 3) + "\n"), DescriptorError::notText);
    EXPECT_EQ(parse(descriptorText() + "x=\xc3\xa4\n"), DescriptorError::notText);
    EXPECT_EQ(parse(descriptorText() + "; " + std::string(kMaxDescriptorBytes, 'x') + "\n"), DescriptorError::tooLarge);

    EXPECT_EQ(parse(descriptorText("1.34beta")), DescriptorError::badVersion);
    EXPECT_EQ(parse(descriptorText("1.34", "www.brindlecrest.example/x.exe")), DescriptorError::badAddress);
    EXPECT_EQ(parse(descriptorText("1.34", "http://www.brindlecrest.example/x.exe")), DescriptorError::insecureAddress);
    EXPECT_EQ(parse(descriptorText("1.34", "http://127.0.0.1.evil.example/x.exe")), DescriptorError::insecureAddress);

    for (const char* size : {"0", "", "-5", "12a", "0x10", "67108865", "18446744073709551617", "99999999999999999999999"}) {
        EXPECT_EQ(parse(descriptorText("1.34", "https://a.example/x", size)), DescriptorError::badSize) << size;
    }
    EXPECT_EQ(parse(descriptorText("1.34", "https://a.example/x", "67108864")), DescriptorError::none) << "64 MiB is allowed";

    std::string base64url = kDigest;
    base64url[4] = '-';
    for (const std::string& digest : {kDigest.substr(1), kDigest + "=", kDigest.substr(0, 43) + "A", base64url,
                                      std::string("q1MKE+RZFJgrefm34/uplM/R8/si9xzqGvvwK0YM R0=")}) {
        EXPECT_EQ(parse(descriptorText("1.34", "https://a.example/x", "5", digest)), DescriptorError::badDigest) << digest;
    }
}

}  // namespace
