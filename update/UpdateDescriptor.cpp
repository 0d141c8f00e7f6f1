#include "update/UpdateDescriptor.h"

namespace update {

namespace {

constexpr uint32_t kMaxVersionPart = 65535;
constexpr uint16_t kHttpPort = 80;
constexpr uint16_t kHttpsPort = 443;

bool isDigit(char c) { return c >= '0' && c <= '9'; }
bool isAlpha(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }
char toLower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

bool equalsNoCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) {
        return false;
    }
    for (size_t i = 0; i < a.size(); ++i) {
        if (toLower(a[i]) != toLower(b[i])) {
            return false;
        }
    }
    return true;
}

bool startsWithNoCase(std::string_view text, std::string_view prefix) {
    return text.size() >= prefix.size() && equalsNoCase(text.substr(0, prefix.size()), prefix);
}

std::string_view trimBlanks(std::string_view text) {
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) {
        text.remove_prefix(1);
    }
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t' || text.back() == '\r')) {
        text.remove_suffix(1);
    }
    return text;
}

// Decimal digits only, no sign, no blanks; false on overflow past `limit`.
bool parseBoundedDecimal(std::string_view text, uint64_t limit, uint64_t& value) {
    if (text.empty()) {
        return false;
    }
    value = 0;
    for (char c : text) {
        if (!isDigit(c)) {
            return false;
        }
        value = value * 10 + static_cast<uint64_t>(c - '0');
        if (value > limit) {  // checked every digit, so the product never wraps
            return false;
        }
    }
    return true;
}

bool isBase64Character(char c) { return isAlpha(c) || isDigit(c) || c == '+' || c == '/'; }

// Letters, digits, "-" and "." in labels that are neither empty nor start or end with "-".
bool isHostName(std::string_view host) {
    if (host.empty() || host.size() > 253) {
        return false;
    }
    size_t labelStart = 0;
    for (size_t i = 0; i <= host.size(); ++i) {
        if (i == host.size() || host[i] == '.') {
            size_t length = i - labelStart;
            if (length == 0 || length > 63 || host[labelStart] == '-' || host[i - 1] == '-') {
                return false;
            }
            labelStart = i + 1;
            continue;
        }
        char c = host[i];
        if (!isAlpha(c) && !isDigit(c) && c != '-') {
            return false;
        }
    }
    return true;
}

bool isIpv6Literal(std::string_view host) {
    if (host.size() < 4 || host.front() != '[' || host.back() != ']') {
        return false;
    }
    for (char c : host.substr(1, host.size() - 2)) {
        if (!isDigit(c) && !(c >= 'a' && c <= 'f') && c != ':' && c != '.') {
            return false;
        }
    }
    return true;
}

// Four dotted decimal numbers 0..255 without leading zeros: "0177.0.0.1" would be octal to some
// resolvers and decimal to others, so it is no address at all here.
bool parseIpv4(std::string_view host, std::array<uint32_t, 4>& parts) {
    size_t index = 0;
    size_t start = 0;
    for (size_t i = 0; i <= host.size(); ++i) {
        if (i < host.size() && host[i] != '.') {
            continue;
        }
        if (index == 4) {
            return false;
        }
        std::string_view part = host.substr(start, i - start);
        uint64_t value = 0;
        if (!parseBoundedDecimal(part, 255, value) || (part.size() > 1 && part[0] == '0')) {
            return false;
        }
        parts[index++] = static_cast<uint32_t>(value);
        start = i + 1;
    }
    return index == 4;
}

}  // namespace

std::optional<ProgramVersion> parseVersion(std::string_view text) {
    ProgramVersion version;
    size_t index = 0;
    size_t start = 0;
    for (size_t i = 0; i <= text.size(); ++i) {
        if (i < text.size() && text[i] != '.') {
            continue;
        }
        if (index == version.parts.size()) {
            return std::nullopt;
        }
        uint64_t value = 0;
        if (!parseBoundedDecimal(text.substr(start, i - start), kMaxVersionPart, value)) {
            return std::nullopt;
        }
        version.parts[index++] = static_cast<uint32_t>(value);
        start = i + 1;
    }
    return version;
}

int compareVersions(const ProgramVersion& a, const ProgramVersion& b) {
    for (size_t i = 0; i < a.parts.size(); ++i) {
        if (a.parts[i] != b.parts[i]) {
            return a.parts[i] < b.parts[i] ? -1 : 1;
        }
    }
    return 0;
}

std::string versionText(const ProgramVersion& version) {
    size_t shown = version.parts[3] != 0 ? 4 : version.parts[2] != 0 ? 3 : 2;
    std::string text;
    for (size_t i = 0; i < shown; ++i) {
        if (i > 0) {
            text += '.';
        }
        text += std::to_string(version.parts[i]);
    }
    return text;
}

std::optional<WebAddress> parseWebAddress(std::string_view text) {
    for (char c : text) {
        // Blanks, control characters, backslashes and non-ASCII bytes have no place in an address
        // we hand to the network unchanged.
        if (static_cast<unsigned char>(c) <= 0x20 || static_cast<unsigned char>(c) >= 0x7F || c == '\\') {
            return std::nullopt;
        }
    }
    WebAddress address;
    if (startsWithNoCase(text, "https://")) {
        address.secure = true;
        text.remove_prefix(8);
    } else if (startsWithNoCase(text, "http://")) {
        text.remove_prefix(7);
    } else {
        return std::nullopt;
    }
    size_t fragment = text.find('#');
    if (fragment != std::string_view::npos) {
        text = text.substr(0, fragment);
    }
    size_t authorityEnd = text.find_first_of("/?");
    std::string_view authority = text.substr(0, authorityEnd);
    std::string_view rest = authorityEnd == std::string_view::npos ? std::string_view() : text.substr(authorityEnd);
    if (authority.find('@') != std::string_view::npos) {
        return std::nullopt;
    }

    std::string_view host = authority;
    std::string_view port;
    size_t colon = authority.rfind(':');
    size_t bracket = authority.rfind(']');
    if (colon != std::string_view::npos && (bracket == std::string_view::npos || colon > bracket)) {
        host = authority.substr(0, colon);
        port = authority.substr(colon + 1);
        uint64_t value = 0;
        if (!parseBoundedDecimal(port, 65535, value) || value == 0) {
            return std::nullopt;
        }
        address.port = static_cast<uint16_t>(value);
    } else {
        address.port = address.secure ? kHttpsPort : kHttpPort;
    }
    for (char c : host) {
        address.host += toLower(c);
    }
    if (!isHostName(address.host) && !isIpv6Literal(address.host)) {
        return std::nullopt;
    }

    if (rest.empty() || rest.front() == '?') {
        address.target.assign(1, '/');
    }
    address.target.append(rest);
    return address;
}

bool isLoopbackHost(std::string_view host) {
    if (host == "localhost" || host == "[::1]") {
        return true;
    }
    std::array<uint32_t, 4> parts{};
    return parseIpv4(host, parts) && parts[0] == 127;
}

bool isAcceptedForUpdates(const WebAddress& address) { return address.secure || isLoopbackHost(address.host); }

void addQueryValue(WebAddress& address, std::string_view key, std::string_view utf8Value) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    address.target += address.target.find('?') == std::string::npos ? '?' : '&';
    address.target += key;
    address.target += '=';
    for (char c : utf8Value) {
        auto byte = static_cast<unsigned char>(c);
        if (isAlpha(c) || isDigit(c) || c == '-' || c == '.' || c == '_' || c == '~') {
            address.target += c;
        } else {
            address.target += '%';
            address.target += kHex[byte >> 4];
            address.target += kHex[byte & 0x0F];
        }
    }
}

std::string addressText(const WebAddress& address) {
    std::string text = address.secure ? "https://" : "http://";
    text += address.host;
    if (address.port != (address.secure ? kHttpsPort : kHttpPort)) {
        text += ':';
        text += std::to_string(address.port);
    }
    text += address.target;
    return text;
}

DescriptorError parseUpdateDescriptor(std::string_view text, UpdateDescriptor& descriptor) {
    if (text.size() > kMaxDescriptorBytes) {
        return DescriptorError::tooLarge;
    }
    if (text.substr(0, 3) == "\xEF\xBB\xBF") {
        text.remove_prefix(3);
    }
    for (char c : text) {
        auto byte = static_cast<unsigned char>(c);
        if ((byte < 0x20 && c != '\t' && c != '\r' && c != '\n') || byte >= 0x7F) {
            return DescriptorError::notText;
        }
    }

    std::string_view version, address, size, digest;
    std::string_view* const slots[] = {&version, &address, &size, &digest};
    const std::string_view keys[] = {"version", "address", "size", "sha256"};
    bool seen[4] = {};
    bool headerSeen = false;

    while (!text.empty()) {
        size_t end = text.find('\n');
        std::string_view line = trimBlanks(text.substr(0, end));
        text = end == std::string_view::npos ? std::string_view() : text.substr(end + 1);
        if (line.empty() || line.front() == ';' || line.front() == '#') {
            continue;
        }
        if (!headerSeen) {
            if (line != kDescriptorHeader) {
                return DescriptorError::noHeader;
            }
            headerSeen = true;
            continue;
        }
        size_t equals = line.find('=');
        if (equals == std::string_view::npos) {
            return DescriptorError::badLine;
        }
        std::string_view key = trimBlanks(line.substr(0, equals));
        std::string_view value = trimBlanks(line.substr(equals + 1));
        if (key.empty()) {
            return DescriptorError::badLine;
        }
        for (size_t i = 0; i < 4; ++i) {
            if (equalsNoCase(key, keys[i])) {
                // A second value could be read differently by someone else: refuse the whole file.
                if (seen[i]) {
                    return DescriptorError::duplicateKey;
                }
                seen[i] = true;
                *slots[i] = value;
            }
        }
    }
    if (!headerSeen) {
        return DescriptorError::noHeader;
    }
    for (bool present : seen) {
        if (!present) {
            return DescriptorError::missingKey;
        }
    }

    UpdateDescriptor parsed;
    std::optional<ProgramVersion> parsedVersion = parseVersion(version);
    if (!parsedVersion) {
        return DescriptorError::badVersion;
    }
    parsed.version = *parsedVersion;
    std::optional<WebAddress> exe = parseWebAddress(address);
    if (!exe) {
        return DescriptorError::badAddress;
    }
    if (!isAcceptedForUpdates(*exe)) {
        return DescriptorError::insecureAddress;
    }
    parsed.exe = *exe;
    if (!parseBoundedDecimal(size, kMaxUpdateBytes, parsed.size) || parsed.size == 0) {
        return DescriptorError::badSize;
    }
    if (digest.size() != kSha256Base64Length || digest.back() != '=') {
        return DescriptorError::badDigest;
    }
    for (char c : digest.substr(0, kSha256Base64Length - 1)) {
        if (!isBase64Character(c)) {
            return DescriptorError::badDigest;
        }
    }
    parsed.sha256 = std::string(digest);
    descriptor = parsed;
    return DescriptorError::none;
}

}  // namespace update
