#pragma once
// One owned reference to a COM object, released when the owner goes; never copied.

#include <windows.h>

#include <oleauto.h>
#include <unknwn.h>

#include <utility>

template <typename Interface>
class ComRef {
public:
    ComRef() noexcept = default;
    ComRef(const ComRef&) = delete;
    ComRef& operator=(const ComRef&) = delete;
    ComRef(ComRef&& other) noexcept : pointer_(std::exchange(other.pointer_, nullptr)) {}
    ComRef& operator=(ComRef&& other) noexcept {
        if (this != &other) {
            reset(std::exchange(other.pointer_, nullptr));
        }
        return *this;
    }
    ~ComRef() { reset(); }

    Interface* get() const noexcept { return pointer_; }
    Interface* operator->() const noexcept { return pointer_; }
    explicit operator bool() const noexcept { return pointer_ != nullptr; }
    // For the out-parameter of a call that hands over a new reference; drops the old one first.
    Interface** receive() noexcept {
        reset();
        return &pointer_;
    }
    Interface* release() noexcept { return std::exchange(pointer_, nullptr); }
    void reset(Interface* pointer = nullptr) noexcept {
        if (pointer_) {
            pointer_->Release();
        }
        pointer_ = pointer;
    }

private:
    Interface* pointer_ = nullptr;
};

// A VARIANT that is cleared when it goes.
struct ScopedVariant {
    VARIANT value;
    ScopedVariant() noexcept { VariantInit(&value); }
    ScopedVariant(const ScopedVariant&) = delete;
    ScopedVariant& operator=(const ScopedVariant&) = delete;
    ~ScopedVariant() { VariantClear(&value); }
    // For an out-parameter: clears what was held first.
    VARIANT* receive() noexcept {
        VariantClear(&value);
        return &value;
    }
};

// A BSTR that is freed when it goes.
class ScopedBstr {
public:
    ScopedBstr() noexcept = default;
    explicit ScopedBstr(const wchar_t* text) : text_(SysAllocString(text)) {}
    ScopedBstr(const ScopedBstr&) = delete;
    ScopedBstr& operator=(const ScopedBstr&) = delete;
    ~ScopedBstr() { SysFreeString(text_); }
    BSTR get() const noexcept { return text_; }
    BSTR* receive() noexcept {
        SysFreeString(std::exchange(text_, nullptr));
        return &text_;
    }

private:
    BSTR text_ = nullptr;
};
