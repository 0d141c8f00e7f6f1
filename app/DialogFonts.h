#pragma once
// The five fonts of the main dialog, all Tahoma, sized from the system's default GUI font.
// They are made anew for every language: some scripts need smaller test buttons.

#include <windows.h>

#include <utility>

// Owns one GDI object; never copied.
class ScopedFont {
public:
    ScopedFont() noexcept = default;
    explicit ScopedFont(HFONT font) noexcept : font_(font) {}
    ScopedFont(const ScopedFont&) = delete;
    ScopedFont& operator=(const ScopedFont&) = delete;
    ScopedFont(ScopedFont&& other) noexcept : font_(std::exchange(other.font_, nullptr)) {}
    ScopedFont& operator=(ScopedFont&& other) noexcept {
        if (this != &other) {
            reset(std::exchange(other.font_, nullptr));
        }
        return *this;
    }
    ~ScopedFont() { reset(); }

    HFONT get() const noexcept { return font_; }
    void reset(HFONT font = nullptr) noexcept {
        if (font_) {
            DeleteObject(font_);
        }
        font_ = font;
    }

private:
    HFONT font_ = nullptr;
};

struct DialogFonts {
    ScopedFont infoFont;    // information box, the two boxes, bottom toolbar
    ScopedFont resultFont;  // result and rating labels, Start button, program label
    ScopedFont buttonFont;  // test buttons
    ScopedFont groupFont;   // group boxes
    ScopedFont statusFont;  // status line
};

// Height and weight of one font.
struct FontSize {
    LONG height;
    LONG weight;
};

struct DialogFontSizes {
    FontSize info, result, button, group, status;
};

// The sizes for a base height (the default GUI font's, usually negative) and a language index.
DialogFontSizes dialogFontSizes(LONG baseHeight, int language);

// The five fonts for `language`.
DialogFonts createDialogFonts(int language);

// Languages whose test buttons take a smaller, less heavy font; the Start button follows them
// in one of them, the access-time button takes the group font in another.
bool usesSmallButtonFont(int language);
inline constexpr int kLanguageStartButtonSmall = 4;
inline constexpr int kLanguageAccessButtonGroupFont = 24;
