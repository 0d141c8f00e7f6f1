#pragma once
// What our site says about the newest version, and the rules every address must pass before the
// program talks to it. Portable (no <windows.h>): the host build tests and fuzzes it.
//
// The descriptor is a short ASCII text file:
//
//     [Brindlecrest]
//     version=1.34
//     address=https://www.brindlecrest.example/download/Brindlecrest.exe
//     size=2873344
//     sha256=q1MKE+RZFJgrefm34/uplM/R8/si9xzqGvvwK0YMbR0=
//
// Lines end in LF or CR LF; blank lines and lines starting with ";" or "#" are comments; blanks
// around keys and values are ignored; keys are matched in any case; unknown keys are skipped, so
// later versions may add some. Each of the four keys must appear exactly once.

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace update {

// major.minor.build.revision, as in the version resource; missing parts are 0.
struct ProgramVersion {
    std::array<uint32_t, 4> parts{};
};

// "1", "1.34", "1.34.0.2": one to four decimal parts of at most 65535, nothing else.
std::optional<ProgramVersion> parseVersion(std::string_view text);
// Negative, 0 or positive as a is older, equal or newer than b.
int compareVersions(const ProgramVersion& a, const ProgramVersion& b);
// Major and minor always, build and revision only when they are not 0: "1.34", "2.0", "1.34.0.2".
std::string versionText(const ProgramVersion& version);

struct WebAddress {
    bool secure = false;   // https
    std::string host;      // lower case; an IPv6 literal keeps its brackets
    uint16_t port = 0;     // as given, or the scheme's own
    std::string target;    // path and query, never empty ("/" at least)
};

// An absolute http or https address. Refused: other schemes, user names ("user@host"), empty or
// odd hosts, ports outside 1..65535, blanks, control characters, backslashes and non-ASCII text.
// A fragment ("#...") is dropped: it never goes to the server.
std::optional<WebAddress> parseWebAddress(std::string_view text);
// "localhost", 127.x.y.z written as four plain decimal numbers, or "[::1]".
bool isLoopbackHost(std::string_view host);
// https anywhere; plain http only to this machine.
bool isAcceptedForUpdates(const WebAddress& address);
// Appends key=value to the query, the value percent-encoded from UTF-8.
void addQueryValue(WebAddress& address, std::string_view key, std::string_view utf8Value);
// Back to text: scheme, host, the port when it is not the scheme's own, target.
std::string addressText(const WebAddress& address);

inline constexpr size_t kMaxDescriptorBytes = 16 * 1024;
// More than any build of the program needs; caps what a server can make us write to disk.
inline constexpr uint64_t kMaxUpdateBytes = 64ull * 1024 * 1024;
// Base64 of a 32-byte digest: 43 characters and one "=".
inline constexpr size_t kSha256Base64Length = 44;
inline constexpr char kDescriptorHeader[] = "[Brindlecrest]";

struct UpdateDescriptor {
    ProgramVersion version;
    WebAddress exe;        // accepted by isAcceptedForUpdates
    uint64_t size = 0;     // 1..kMaxUpdateBytes
    std::string sha256;    // kSha256Base64Length characters of the standard alphabet
};

enum class DescriptorError {
    none,
    tooLarge,
    notText,         // a byte outside printable ASCII, TAB, CR and LF (a UTF-8 byte-order mark may open it)
    noHeader,        // the first line that is not blank or a comment is not kDescriptorHeader
    badLine,         // a line without "=" or with an empty key
    duplicateKey,
    missingKey,
    badVersion,
    badAddress,
    insecureAddress,
    badSize,
    badDigest,
};

DescriptorError parseUpdateDescriptor(std::string_view text, UpdateDescriptor& descriptor);

}  // namespace update
