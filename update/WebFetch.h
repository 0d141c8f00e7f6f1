#pragma once
// One GET over http or https through WinHTTP, loaded at run time. Every address on the way,
// redirects included, must be one that updates accept: https, or plain http to this machine.

#include <windows.h>

#include "update/UpdateDescriptor.h"

#include <atomic>
#include <cstdint>
#include <functional>

enum class FetchStatus {
    ok,
    unavailable,        // winhttp.dll or one of its functions is missing
    cannotConnect,      // name not resolved, connection refused, timed out
    secureChannel,      // the TLS handshake failed or the certificate was not trusted
    httpError,          // an answer other than 200 (or a redirect)
    tooLarge,           // the body is longer than allowed
    interrupted,        // the body ended before its declared length, or reading it failed
    refusedRedirect,    // a redirect to an address updates do not accept, or one we cannot follow
    tooManyRedirects,
    stoppedByReceiver,  // the receiver did not take a piece (a write failed)
    cancelled,
};

struct FetchResult {
    FetchStatus status = FetchStatus::unavailable;
    DWORD systemError = 0;  // of the call that failed, where one did
    DWORD httpStatus = 0;
    uint64_t bytes = 0;     // of the body, handed to the receiver
};

// Takes each piece of the body as it arrives; false stops the fetch.
using BodyReceiver = std::function<bool(const uint8_t* data, size_t bytes)>;

inline constexpr int kMaxRedirects = 5;

// Fetches `address` and hands its body to `receive`. A declared length beyond `maxBytes` ends
// the fetch before the body is read, a longer body as soon as it passes the limit. `cancel`
// (may be null) is looked at between pieces; a stalled server ends with cannotConnect after
// WinHTTP's time-outs.
FetchResult fetchAddress(const update::WebAddress& address, uint64_t maxBytes, const BodyReceiver& receive,
                         const std::atomic<int>* cancel = nullptr);

// The module whose message table explains WinHTTP's error codes; null until WinHTTP is loaded.
HMODULE winHttpModule();
