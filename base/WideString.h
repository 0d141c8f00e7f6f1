#pragma once
// Reference-counted UTF-16 string with copy on write.
//
// The buffer is a header of three 32-bit integers (reference count, length, capacity, both
// in characters) followed by the characters and a terminating zero. Copies share the buffer;
// the first change to a shared buffer makes a private copy. All empty strings share one static
// buffer whose count is never touched. The count is atomic, so worker threads and the dialog's
// thread may copy and drop the same texts; a single string object is still not meant to be
// changed from two threads at once.

#include <atomic>
#include <cstdarg>
#include <cstdint>
#include <cwchar>

class WideString {
public:
    static constexpr int npos = -1;

    WideString() noexcept;
    WideString(const wchar_t* text);                  // NOLINT: implicit on purpose, like a literal
    WideString(const wchar_t* text, int length);
    WideString(wchar_t ch, int count = 1);
    // 8-bit text in the ANSI code page.
    explicit WideString(const char* ansiText);
    WideString(const char* ansiText, int length);

    WideString(const WideString& other) noexcept;
    WideString(WideString&& other) noexcept;
    WideString& operator=(const WideString& other) noexcept;
    WideString& operator=(WideString&& other) noexcept;
    WideString& operator=(const wchar_t* text);
    ~WideString();

    // printf-style: "%ls" for wide strings, "%lld"/"%llu" for 64-bit values.
    static WideString format(const wchar_t* fmt, ...);
    static WideString formatV(const wchar_t* fmt, va_list args);
    void appendFormat(const wchar_t* fmt, ...);

    int length() const noexcept { return header()->length; }
    bool isEmpty() const noexcept { return header()->length == 0; }
    const wchar_t* c_str() const noexcept { return chars_; }
    wchar_t operator[](int index) const noexcept { return chars_[index]; }
    wchar_t at(int index) const noexcept { return index >= 0 && index < length() ? chars_[index] : L'\0'; }

    void clear() noexcept;
    void setAt(int index, wchar_t ch);
    void append(const wchar_t* text, int length);
    WideString& operator+=(const WideString& other);
    WideString& operator+=(const wchar_t* text);
    WideString& operator+=(wchar_t ch);

    int compare(const wchar_t* other) const noexcept;
    int compareNoCase(const wchar_t* other) const noexcept;
    bool operator==(const WideString& other) const noexcept;
    bool operator==(const wchar_t* other) const noexcept { return compare(other) == 0; }
    bool operator<(const WideString& other) const noexcept { return compare(other.chars_) < 0; }

    // Positions are in characters; npos when not found.
    int find(wchar_t ch, int start = 0) const noexcept;
    int find(const wchar_t* text, int start = 0) const noexcept;
    int reverseFind(wchar_t ch) const noexcept;
    int reverseFind(const wchar_t* text) const noexcept;

    // Counts are clamped to the string.
    WideString left(int count) const;
    WideString right(int count) const;
    WideString mid(int start, int count = -1) const;

    // Case mapping follows the user's locale, as Windows does for its own texts.
    WideString toUpper() const;
    WideString toLower() const;

    // Returns the number of replacements.
    int replace(wchar_t from, wchar_t to);
    int replace(const wchar_t* from, const wchar_t* to);

    // Blanks are space, TAB, CR and LF.
    WideString& trim();
    WideString& trimLeft();
    WideString& trimRight();

    // For APIs that write into a buffer: get room for `capacity` characters plus the terminator,
    // let the API write, then set the length it reported (or -1 to measure up to the zero).
    wchar_t* writableBuffer(int capacity);
    void releaseBuffer(int newLength = -1);

    // Test hook: the buffer's reference count (the static empty buffer reports 0).
    int32_t referenceCount() const noexcept;
    bool sharesBufferWith(const WideString& other) const noexcept { return chars_ == other.chars_; }

private:
    struct Header {
        std::atomic<int32_t> references;
        int32_t length;
        int32_t capacity;
    };
    static_assert(sizeof(Header) == 12, "three 32-bit integers in front of the characters");

    Header* header() const noexcept { return reinterpret_cast<Header*>(const_cast<wchar_t*>(chars_)) - 1; }
    bool isStaticEmpty() const noexcept;
    static wchar_t* allocate(int capacity);
    static void release(wchar_t* chars) noexcept;
    void assign(const wchar_t* text, int length);
    // Makes the buffer private and able to hold `capacity` characters, keeping the contents.
    void makeUnique(int capacity);

    wchar_t* chars_;
};

WideString operator+(const WideString& a, const WideString& b);
WideString operator+(const WideString& a, const wchar_t* b);
WideString operator+(const wchar_t* a, const WideString& b);
WideString operator+(const WideString& a, wchar_t b);
