#include "base/WideString.h"

#include <windows.h>

#include <cstddef>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>

namespace {

// The one buffer behind every empty string. Its count stays 0 for ever: nobody increments or
// decrements it, and nobody writes into its single zero character.
struct EmptyBuffer {
    std::atomic<int32_t> references{0};
    int32_t length = 0;
    int32_t capacity = 0;
    wchar_t terminator = L'\0';
};
EmptyBuffer emptyBuffer;

wchar_t* emptyChars() noexcept { return &emptyBuffer.terminator; }

bool isBlank(wchar_t ch) noexcept { return ch == L' ' || ch == L'\t' || ch == L'\r' || ch == L'\n'; }

int clampedLength(const wchar_t* text) noexcept {
    if (!text) {
        return 0;
    }
    size_t n = wcslen(text);
    return n > 0x3FFFFFFF ? 0x3FFFFFFF : static_cast<int>(n);
}

}  // namespace

static_assert(offsetof(EmptyBuffer, terminator) == 12, "empty buffer has the same layout as a real one");

bool WideString::isStaticEmpty() const noexcept { return chars_ == emptyChars(); }

wchar_t* WideString::allocate(int capacity) {
    size_t bytes = sizeof(Header) + (static_cast<size_t>(capacity) + 1) * sizeof(wchar_t);
    void* block = std::malloc(bytes);
    if (!block) {
        // A text that cannot be held leaves nothing sensible to show; end like the runtime would.
        std::abort();
    }
    Header* h = new (block) Header;
    h->references.store(1, std::memory_order_relaxed);
    h->length = 0;
    h->capacity = capacity;
    wchar_t* chars = reinterpret_cast<wchar_t*>(h + 1);
    chars[0] = L'\0';
    return chars;
}

void WideString::release(wchar_t* chars) noexcept {
    if (chars == emptyChars()) {
        return;
    }
    Header* h = reinterpret_cast<Header*>(chars) - 1;
    if (h->references.fetch_sub(1, std::memory_order_acq_rel) == 1) {
        h->~Header();
        std::free(h);
    }
}

WideString::WideString() noexcept : chars_(emptyChars()) {}

WideString::WideString(const wchar_t* text) : chars_(emptyChars()) { assign(text, clampedLength(text)); }

WideString::WideString(const wchar_t* text, int length) : chars_(emptyChars()) {
    assign(text, text && length > 0 ? length : 0);
}

WideString::WideString(wchar_t ch, int count) : chars_(emptyChars()) {
    if (count > 0) {
        chars_ = allocate(count);
        for (int i = 0; i < count; ++i) {
            chars_[i] = ch;
        }
        chars_[count] = L'\0';
        header()->length = count;
    }
}

WideString::WideString(const char* ansiText) : WideString(ansiText, ansiText ? static_cast<int>(strlen(ansiText)) : 0) {}

WideString::WideString(const char* ansiText, int length) : chars_(emptyChars()) {
    if (!ansiText || length <= 0) {
        return;
    }
    int needed = MultiByteToWideChar(CP_ACP, 0, ansiText, length, nullptr, 0);
    if (needed <= 0) {
        return;
    }
    chars_ = allocate(needed);
    int written = MultiByteToWideChar(CP_ACP, 0, ansiText, length, chars_, needed);
    chars_[written > 0 ? written : 0] = L'\0';
    header()->length = written > 0 ? written : 0;
}

WideString::WideString(const WideString& other) noexcept : chars_(other.chars_) {
    if (!isStaticEmpty()) {
        header()->references.fetch_add(1, std::memory_order_relaxed);
    }
}

WideString::WideString(WideString&& other) noexcept : chars_(other.chars_) { other.chars_ = emptyChars(); }

WideString& WideString::operator=(const WideString& other) noexcept {
    if (chars_ != other.chars_) {
        if (!other.isStaticEmpty()) {
            other.header()->references.fetch_add(1, std::memory_order_relaxed);
        }
        release(chars_);
        chars_ = other.chars_;
    }
    return *this;
}

WideString& WideString::operator=(WideString&& other) noexcept {
    if (this != &other) {
        release(chars_);
        chars_ = other.chars_;
        other.chars_ = emptyChars();
    }
    return *this;
}

WideString& WideString::operator=(const wchar_t* text) {
    // The text may point into our own buffer: build the new one before letting go of the old.
    WideString copy(text);
    *this = std::move(copy);
    return *this;
}

WideString::~WideString() { release(chars_); }

void WideString::assign(const wchar_t* text, int length) {
    if (length <= 0) {
        clear();
        return;
    }
    wchar_t* fresh = allocate(length);
    std::memcpy(fresh, text, static_cast<size_t>(length) * sizeof(wchar_t));
    fresh[length] = L'\0';
    (reinterpret_cast<Header*>(fresh) - 1)->length = length;
    release(chars_);
    chars_ = fresh;
}

void WideString::clear() noexcept {
    release(chars_);
    chars_ = emptyChars();
}

void WideString::makeUnique(int capacity) {
    int len = length();
    if (capacity < len) {
        capacity = len;
    }
    if (!isStaticEmpty() && header()->references.load(std::memory_order_acquire) == 1 &&
        header()->capacity >= capacity) {
        return;
    }
    if (!isStaticEmpty() && header()->references.load(std::memory_order_acquire) == 1) {
        // Private but too small: grow geometrically so that repeated appends stay linear.
        int grown = header()->capacity + header()->capacity / 2;
        if (grown > capacity) {
            capacity = grown;
        }
    }
    wchar_t* fresh = allocate(capacity);
    std::memcpy(fresh, chars_, (static_cast<size_t>(len) + 1) * sizeof(wchar_t));
    (reinterpret_cast<Header*>(fresh) - 1)->length = len;
    release(chars_);
    chars_ = fresh;
}

void WideString::setAt(int index, wchar_t ch) {
    if (index < 0 || index >= length()) {
        return;
    }
    makeUnique(length());
    chars_[index] = ch;
}

void WideString::append(const wchar_t* text, int count) {
    if (!text || count <= 0) {
        return;
    }
    int len = length();
    if (isStaticEmpty()) {
        assign(text, count);
        return;
    }
    // `text` may lie inside our own buffer, which makeUnique may free: then keep the old one alive.
    WideString keepAlive;
    if (text >= chars_ && text <= chars_ + len) {
        keepAlive = *this;
    }
    makeUnique(len + count);
    std::memmove(chars_ + len, text, static_cast<size_t>(count) * sizeof(wchar_t));
    chars_[len + count] = L'\0';
    header()->length = len + count;
}

WideString& WideString::operator+=(const WideString& other) {
    WideString keep(other);  // `other` may be *this
    append(keep.chars_, keep.length());
    return *this;
}

WideString& WideString::operator+=(const wchar_t* text) {
    append(text, clampedLength(text));
    return *this;
}

WideString& WideString::operator+=(wchar_t ch) {
    append(&ch, 1);
    return *this;
}

WideString WideString::formatV(const wchar_t* fmt, va_list args) {
    WideString result;
    if (!fmt) {
        return result;
    }
    va_list measure;
    va_copy(measure, args);
    int needed = _vscwprintf(fmt, measure);
    va_end(measure);
    if (needed <= 0) {
        return result;
    }
    wchar_t* buffer = result.writableBuffer(needed);
    int written = _vsnwprintf(buffer, static_cast<size_t>(needed) + 1, fmt, args);
    result.releaseBuffer(written < 0 ? 0 : (written > needed ? needed : written));
    return result;
}

WideString WideString::format(const wchar_t* fmt, ...) {
    va_list args;
    va_start(args, fmt);
    WideString result = formatV(fmt, args);
    va_end(args);
    return result;
}

void WideString::appendFormat(const wchar_t* fmt, ...) {
    va_list args;
    va_start(args, fmt);
    WideString piece = formatV(fmt, args);
    va_end(args);
    *this += piece;
}

int WideString::compare(const wchar_t* other) const noexcept { return wcscmp(chars_, other ? other : L""); }

int WideString::compareNoCase(const wchar_t* other) const noexcept {
    int r = CompareStringOrdinal(chars_, length(), other ? other : L"", clampedLength(other), TRUE);
    return r == CSTR_LESS_THAN ? -1 : (r == CSTR_GREATER_THAN ? 1 : 0);
}

bool WideString::operator==(const WideString& other) const noexcept {
    return chars_ == other.chars_ ||
           (length() == other.length() &&
            std::memcmp(chars_, other.chars_, static_cast<size_t>(length()) * sizeof(wchar_t)) == 0);
}

int WideString::find(wchar_t ch, int start) const noexcept {
    int len = length();
    for (int i = start < 0 ? 0 : start; i < len; ++i) {
        if (chars_[i] == ch) {
            return i;
        }
    }
    return npos;
}

int WideString::find(const wchar_t* text, int start) const noexcept {
    int len = length();
    int n = clampedLength(text);
    if (start < 0) {
        start = 0;
    }
    if (n == 0) {
        return start <= len ? start : npos;
    }
    for (int i = start; i + n <= len; ++i) {
        if (std::memcmp(chars_ + i, text, static_cast<size_t>(n) * sizeof(wchar_t)) == 0) {
            return i;
        }
    }
    return npos;
}

int WideString::reverseFind(wchar_t ch) const noexcept {
    for (int i = length() - 1; i >= 0; --i) {
        if (chars_[i] == ch) {
            return i;
        }
    }
    return npos;
}

int WideString::reverseFind(const wchar_t* text) const noexcept {
    int len = length();
    int n = clampedLength(text);
    if (n == 0) {
        return len;
    }
    for (int i = len - n; i >= 0; --i) {
        if (std::memcmp(chars_ + i, text, static_cast<size_t>(n) * sizeof(wchar_t)) == 0) {
            return i;
        }
    }
    return npos;
}

WideString WideString::left(int count) const {
    if (count >= length()) {
        return *this;
    }
    return WideString(chars_, count);
}

WideString WideString::right(int count) const {
    int len = length();
    if (count >= len) {
        return *this;
    }
    return count <= 0 ? WideString() : WideString(chars_ + len - count, count);
}

WideString WideString::mid(int start, int count) const {
    int len = length();
    if (start < 0) {
        start = 0;
    }
    if (start >= len) {
        return WideString();
    }
    if (count < 0 || count > len - start) {
        count = len - start;
    }
    if (start == 0 && count == len) {
        return *this;
    }
    return WideString(chars_ + start, count);
}

WideString WideString::toUpper() const {
    WideString result(chars_, length());
    if (!result.isEmpty()) {
        CharUpperBuffW(result.chars_, static_cast<DWORD>(result.length()));
    }
    return result;
}

WideString WideString::toLower() const {
    WideString result(chars_, length());
    if (!result.isEmpty()) {
        CharLowerBuffW(result.chars_, static_cast<DWORD>(result.length()));
    }
    return result;
}

int WideString::replace(wchar_t from, wchar_t to) {
    if (from == to || find(from) == npos) {
        return 0;
    }
    makeUnique(length());
    int count = 0;
    for (int i = 0; i < length(); ++i) {
        if (chars_[i] == from) {
            chars_[i] = to;
            ++count;
        }
    }
    return count;
}

int WideString::replace(const wchar_t* from, const wchar_t* to) {
    int fromLength = clampedLength(from);
    if (fromLength == 0 || find(from) == npos) {
        return 0;
    }
    int toLength = clampedLength(to);
    WideString result;
    int count = 0;
    int pos = 0;
    for (int hit = find(from); hit != npos; hit = find(from, pos)) {
        result.append(chars_ + pos, hit - pos);
        result.append(to, toLength);
        pos = hit + fromLength;
        ++count;
    }
    result.append(chars_ + pos, length() - pos);
    *this = std::move(result);
    return count;
}

WideString& WideString::trimRight() {
    int end = length();
    while (end > 0 && isBlank(chars_[end - 1])) {
        --end;
    }
    if (end != length()) {
        *this = left(end);
    }
    return *this;
}

WideString& WideString::trimLeft() {
    int start = 0;
    while (start < length() && isBlank(chars_[start])) {
        ++start;
    }
    if (start > 0) {
        *this = mid(start);
    }
    return *this;
}

WideString& WideString::trim() { return trimRight().trimLeft(); }

wchar_t* WideString::writableBuffer(int capacity) {
    if (capacity < 0) {
        capacity = 0;
    }
    if (capacity == 0 && isStaticEmpty()) {
        // Even a zero-size request must not hand out the shared empty buffer.
        chars_ = allocate(0);
        return chars_;
    }
    makeUnique(capacity);
    return chars_;
}

void WideString::releaseBuffer(int newLength) {
    if (isStaticEmpty()) {
        return;
    }
    int cap = header()->capacity;
    if (newLength < 0) {
        newLength = 0;
        while (newLength < cap && chars_[newLength] != L'\0') {
            ++newLength;
        }
    }
    if (newLength > cap) {
        newLength = cap;
    }
    chars_[newLength] = L'\0';
    header()->length = newLength;
    if (newLength == 0) {
        clear();
    }
}

int32_t WideString::referenceCount() const noexcept { return header()->references.load(std::memory_order_relaxed); }

WideString operator+(const WideString& a, const WideString& b) {
    WideString result(a);
    result += b;
    return result;
}

WideString operator+(const WideString& a, const wchar_t* b) {
    WideString result(a);
    result += b;
    return result;
}

WideString operator+(const wchar_t* a, const WideString& b) {
    WideString result(a);
    result += b;
    return result;
}

WideString operator+(const WideString& a, wchar_t b) {
    WideString result(a);
    result += b;
    return result;
}
