#include "update/WebFetch.h"

#include <winhttp.h>

#include "base/DynamicCall.h"
#include "base/WideString.h"

#include <string>
#include <vector>

namespace {

constexpr wchar_t kUserAgent[] = L"Brindlecrest";
constexpr int kResolveTimeoutMs = 15000;
constexpr int kConnectTimeoutMs = 15000;
constexpr int kSendTimeoutMs = 30000;
constexpr int kReceiveTimeoutMs = 30000;
constexpr DWORD kReadChunkBytes = 64 * 1024;
constexpr DWORD kHttpOk = 200;

struct WinHttpFunctions {
    decltype(&WinHttpOpen) open;
    decltype(&WinHttpConnect) connect;
    decltype(&WinHttpOpenRequest) openRequest;
    decltype(&WinHttpSetOption) setOption;
    decltype(&WinHttpSetTimeouts) setTimeouts;
    decltype(&WinHttpSendRequest) sendRequest;
    decltype(&WinHttpReceiveResponse) receiveResponse;
    decltype(&WinHttpQueryHeaders) queryHeaders;
    decltype(&WinHttpReadData) readData;
    decltype(&WinHttpCloseHandle) closeHandle;

    bool complete() const {
        return open && connect && openRequest && setOption && setTimeouts && sendRequest && receiveResponse &&
               queryHeaders && readData && closeHandle;
    }
};

const WinHttpFunctions& winHttp() {
    static const WinHttpFunctions functions{
        systemFunction<decltype(WinHttpOpen)>(L"winhttp.dll", "WinHttpOpen"),
        systemFunction<decltype(WinHttpConnect)>(L"winhttp.dll", "WinHttpConnect"),
        systemFunction<decltype(WinHttpOpenRequest)>(L"winhttp.dll", "WinHttpOpenRequest"),
        systemFunction<decltype(WinHttpSetOption)>(L"winhttp.dll", "WinHttpSetOption"),
        systemFunction<decltype(WinHttpSetTimeouts)>(L"winhttp.dll", "WinHttpSetTimeouts"),
        systemFunction<decltype(WinHttpSendRequest)>(L"winhttp.dll", "WinHttpSendRequest"),
        systemFunction<decltype(WinHttpReceiveResponse)>(L"winhttp.dll", "WinHttpReceiveResponse"),
        systemFunction<decltype(WinHttpQueryHeaders)>(L"winhttp.dll", "WinHttpQueryHeaders"),
        systemFunction<decltype(WinHttpReadData)>(L"winhttp.dll", "WinHttpReadData"),
        systemFunction<decltype(WinHttpCloseHandle)>(L"winhttp.dll", "WinHttpCloseHandle"),
    };
    return functions;
}

class InternetHandle {
public:
    explicit InternetHandle(HINTERNET handle) : handle_(handle) {}
    InternetHandle(const InternetHandle&) = delete;
    InternetHandle& operator=(const InternetHandle&) = delete;
    ~InternetHandle() {
        if (handle_) {
            winHttp().closeHandle(handle_);
        }
    }
    HINTERNET get() const { return handle_; }
    explicit operator bool() const { return handle_ != nullptr; }

private:
    HINTERNET handle_;
};

FetchResult failure(FetchStatus status, DWORD systemError = GetLastError()) {
    FetchResult result;
    result.status = status;
    result.systemError = systemError;
    return result;
}

// What a failed connect, send or receive means to the user.
FetchStatus statusForError(DWORD error) {
    switch (error) {
    case ERROR_WINHTTP_SECURE_FAILURE:
    case ERROR_WINHTTP_SECURE_CHANNEL_ERROR:
    case ERROR_WINHTTP_SECURE_INVALID_CA:
    case ERROR_WINHTTP_SECURE_CERT_CN_INVALID:
    case ERROR_WINHTTP_SECURE_CERT_DATE_INVALID:
    case ERROR_WINHTTP_SECURE_CERT_REVOKED:
    case ERROR_WINHTTP_SECURE_INVALID_CERT:
    case ERROR_WINHTTP_SECURE_CERT_WRONG_USAGE:
    case ERROR_WINHTTP_CLIENT_AUTH_CERT_NEEDED:
        return FetchStatus::secureChannel;
    default:
        return FetchStatus::cannotConnect;
    }
}

std::wstring toWide(const std::string& ascii) { return std::wstring(ascii.begin(), ascii.end()); }

std::string toAscii(const wchar_t* text) {
    std::string ascii;
    for (; *text; ++text) {
        if (*text >= 0x80) {
            return std::string();  // never an address we could accept
        }
        ascii += static_cast<char>(*text);
    }
    return ascii;
}

bool queryNumber(HINTERNET request, DWORD query, DWORD& value) {
    DWORD size = sizeof(value);
    return winHttp().queryHeaders(request, query | WINHTTP_QUERY_FLAG_NUMBER, WINHTTP_HEADER_NAME_BY_INDEX, &value, &size,
                                  WINHTTP_NO_HEADER_INDEX) != FALSE;
}

bool queryText(HINTERNET request, DWORD query, std::wstring& text) {
    DWORD size = 0;
    winHttp().queryHeaders(request, query, WINHTTP_HEADER_NAME_BY_INDEX, nullptr, &size, WINHTTP_NO_HEADER_INDEX);
    if (GetLastError() != ERROR_INSUFFICIENT_BUFFER || size == 0) {
        return false;
    }
    std::vector<wchar_t> buffer(size / sizeof(wchar_t) + 1);
    if (!winHttp().queryHeaders(request, query, WINHTTP_HEADER_NAME_BY_INDEX, buffer.data(), &size, WINHTTP_NO_HEADER_INDEX)) {
        return false;
    }
    text.assign(buffer.data(), size / sizeof(wchar_t));
    return true;
}

// The declared body length; -1 when there is none or it is no plain number.
long long declaredLength(HINTERNET request) {
    std::wstring text;
    if (!queryText(request, WINHTTP_QUERY_CONTENT_LENGTH, text) || text.empty() || text.size() > 18) {
        return -1;
    }
    long long value = 0;
    for (wchar_t c : text) {
        if (c < L'0' || c > L'9') {
            return -1;
        }
        value = value * 10 + (c - L'0');
    }
    return value;
}

bool isRedirect(DWORD status) { return status == 301 || status == 302 || status == 303 || status == 307 || status == 308; }

// The next address of a redirect: absolute, or a path on the same server. Anything else (a
// relative path, "//host/...") is not followed.
bool redirectTarget(HINTERNET request, const update::WebAddress& from, update::WebAddress& to) {
    std::wstring location;
    if (!queryText(request, WINHTTP_QUERY_LOCATION, location)) {
        return false;
    }
    std::string text = toAscii(location.c_str());
    if (text.size() >= 2 && text[0] == '/' && text[1] != '/') {
        text = (from.secure ? "https://" : "http://") + from.host + ":" + std::to_string(from.port) + text;
    }
    std::optional<update::WebAddress> parsed = update::parseWebAddress(text);
    if (!parsed) {
        return false;
    }
    to = *parsed;
    return true;
}

bool cancelled(const std::atomic<int>* cancel) { return cancel && cancel->load(std::memory_order_relaxed) != 0; }

HINTERNET openSession() {
    const WinHttpFunctions& f = winHttp();
    // The system's proxy settings where this Windows knows the automatic mode (8.1 and later).
    HINTERNET session = f.open(kUserAgent, WINHTTP_ACCESS_TYPE_AUTOMATIC_PROXY, WINHTTP_NO_PROXY_NAME, WINHTTP_NO_PROXY_BYPASS, 0);
    if (!session) {
        session = f.open(kUserAgent, WINHTTP_ACCESS_TYPE_DEFAULT_PROXY, WINHTTP_NO_PROXY_NAME, WINHTTP_NO_PROXY_BYPASS, 0);
    }
    if (session) {
        f.setTimeouts(session, kResolveTimeoutMs, kConnectTimeoutMs, kSendTimeoutMs, kReceiveTimeoutMs);
    }
    return session;
}

FetchResult readBody(HINTERNET request, uint64_t maxBytes, const BodyReceiver& receive, const std::atomic<int>* cancel) {
    long long declared = declaredLength(request);
    if (declared >= 0 && static_cast<unsigned long long>(declared) > maxBytes) {
        return failure(FetchStatus::tooLarge, 0);
    }
    FetchResult result;
    result.httpStatus = kHttpOk;
    std::vector<uint8_t> buffer(kReadChunkBytes);
    for (;;) {
        if (cancelled(cancel)) {
            result.status = FetchStatus::cancelled;
            return result;
        }
        DWORD got = 0;
        if (!winHttp().readData(request, buffer.data(), kReadChunkBytes, &got)) {
            result.status = FetchStatus::interrupted;
            result.systemError = GetLastError();
            return result;
        }
        if (got == 0) {
            break;
        }
        if (result.bytes + got > maxBytes) {
            result.status = FetchStatus::tooLarge;
            return result;
        }
        if (!receive(buffer.data(), got)) {
            result.status = FetchStatus::stoppedByReceiver;
            return result;
        }
        result.bytes += got;
    }
    result.status = declared >= 0 && result.bytes != static_cast<unsigned long long>(declared) ? FetchStatus::interrupted
                                                                                              : FetchStatus::ok;
    return result;
}

}  // namespace

HMODULE winHttpModule() { return GetModuleHandleW(L"winhttp.dll"); }

FetchResult fetchAddress(const update::WebAddress& address, uint64_t maxBytes, const BodyReceiver& receive,
                         const std::atomic<int>* cancel) {
    const WinHttpFunctions& f = winHttp();
    if (!f.complete()) {
        return failure(FetchStatus::unavailable, 0);
    }
    if (!update::isAcceptedForUpdates(address)) {
        return failure(FetchStatus::refusedRedirect, 0);
    }
    InternetHandle session(openSession());
    if (!session) {
        return failure(FetchStatus::unavailable);
    }
    update::WebAddress current = address;
    for (int hop = 0; hop <= kMaxRedirects; ++hop) {
        if (cancelled(cancel)) {
            return failure(FetchStatus::cancelled, 0);
        }
        // WinHTTP takes an IPv6 literal without its brackets.
        std::string host = current.host;
        if (!host.empty() && host.front() == '[') {
            host = host.substr(1, host.size() - 2);
        }
        InternetHandle connection(f.connect(session.get(), toWide(host).c_str(), current.port, 0));
        if (!connection) {
            return failure(FetchStatus::cannotConnect);
        }
        DWORD flags = WINHTTP_FLAG_REFRESH | (current.secure ? WINHTTP_FLAG_SECURE : 0);
        InternetHandle request(f.openRequest(connection.get(), L"GET", toWide(current.target).c_str(), nullptr,
                                             WINHTTP_NO_REFERER, WINHTTP_DEFAULT_ACCEPT_TYPES, flags));
        if (!request) {
            return failure(FetchStatus::cannotConnect);
        }
        // Redirects are followed here, so that each new address is checked before it is asked.
        DWORD disable = WINHTTP_DISABLE_REDIRECTS;
        f.setOption(request.get(), WINHTTP_OPTION_DISABLE_FEATURE, &disable, sizeof(disable));
        if (!f.sendRequest(request.get(), WINHTTP_NO_ADDITIONAL_HEADERS, 0, WINHTTP_NO_REQUEST_DATA, 0, 0, 0) ||
            !f.receiveResponse(request.get(), nullptr)) {
            DWORD error = GetLastError();
            return failure(statusForError(error), error);
        }
        DWORD status = 0;
        if (!queryNumber(request.get(), WINHTTP_QUERY_STATUS_CODE, status)) {
            return failure(FetchStatus::interrupted);
        }
        if (status == kHttpOk) {
            return readBody(request.get(), maxBytes, receive, cancel);
        }
        if (!isRedirect(status)) {
            FetchResult result = failure(FetchStatus::httpError, 0);
            result.httpStatus = status;
            return result;
        }
        update::WebAddress next;
        if (!redirectTarget(request.get(), current, next) || !update::isAcceptedForUpdates(next)) {
            return failure(FetchStatus::refusedRedirect, 0);
        }
        current = next;
    }
    return failure(FetchStatus::tooManyRedirects, 0);
}
