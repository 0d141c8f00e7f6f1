// The update descriptor parser and the address rules over arbitrary bytes: no crash, and whatever
// is accepted keeps the promises the download relies on.
#include "update/UpdateDescriptor.h"

#include <cstdlib>
#include <string>
#include <string_view>

using namespace update;

namespace {

void require(bool condition) {
    if (!condition) {
        std::abort();
    }
}

bool sameAddress(const WebAddress& a, const WebAddress& b) {
    return a.secure == b.secure && a.host == b.host && a.port == b.port && a.target == b.target;
}

// An accepted address reads back the same from its own text, and is never blank or empty.
void checkAddress(const WebAddress& address) {
    require(!address.host.empty() && !address.target.empty() && address.target[0] == '/' && address.port != 0);
    std::optional<WebAddress> again = parseWebAddress(addressText(address));
    require(again.has_value() && sameAddress(*again, address));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string_view text(reinterpret_cast<const char*>(data), size);

    UpdateDescriptor descriptor;
    if (parseUpdateDescriptor(text, descriptor) == DescriptorError::none) {
        require(isAcceptedForUpdates(descriptor.exe));
        checkAddress(descriptor.exe);
        require(descriptor.size >= 1 && descriptor.size <= kMaxUpdateBytes);
        require(descriptor.sha256.size() == kSha256Base64Length && descriptor.sha256.back() == '=');
        std::optional<ProgramVersion> again = parseVersion(versionText(descriptor.version));
        require(again.has_value() && compareVersions(*again, descriptor.version) == 0);
    }

    if (std::optional<WebAddress> address = parseWebAddress(text)) {
        checkAddress(*address);
        if (!address->secure) {
            require(isAcceptedForUpdates(*address) == isLoopbackHost(address->host));
        }
        addQueryValue(*address, "lang", text.substr(0, 64));
        checkAddress(*address);
    }
    if (std::optional<ProgramVersion> version = parseVersion(text)) {
        require(compareVersions(*version, *version) == 0);
        std::optional<ProgramVersion> again = parseVersion(versionText(*version));
        require(again.has_value() && compareVersions(*again, *version) == 0);
    }
    return 0;
}
