#include "app/DialogFonts.h"

#include <iterator>
#include <string>

namespace {

constexpr wchar_t kFaceName[] = L"Tahoma";
constexpr BYTE kPitchAndFamily = 0x52;
constexpr LONG kSmallButtonHeight = -14;

HFONT makeFont(LOGFONTW base, const FontSize& size) {
    base.lfHeight = size.height;
    base.lfWeight = size.weight;
    base.lfQuality = PROOF_QUALITY;
    base.lfPitchAndFamily = kPitchAndFamily;
    static_assert(std::size(kFaceName) <= LF_FACESIZE);
    std::char_traits<wchar_t>::copy(base.lfFaceName, kFaceName, std::size(kFaceName));
    return CreateFontIndirectW(&base);
}

}  // namespace

bool usesSmallButtonFont(int language) {
    switch (language) {
    case 2: case 4: case 6: case 7: case 12: case 15: case 17: case 35:
        return true;
    default:
        return false;
    }
}

DialogFontSizes dialogFontSizes(LONG baseHeight, int language) {
    // Truncated toward zero, as the conversion to an integer does.
    auto scaled = [baseHeight](double factor) { return static_cast<LONG>(baseHeight * factor); };
    DialogFontSizes sizes{};
    sizes.info = {baseHeight, FW_HEAVY};
    sizes.result = {scaled(1.55), FW_HEAVY};
    sizes.button = usesSmallButtonFont(language) ? FontSize{kSmallButtonHeight, FW_BOLD} : sizes.result;
    sizes.group = {scaled(1.27), FW_HEAVY};
    sizes.status = {scaled(1.1), FW_BOLD};
    return sizes;
}

DialogFonts createDialogFonts(int language) {
    LOGFONTW base{};
    GetObjectW(GetStockObject(DEFAULT_GUI_FONT), sizeof(base), &base);
    DialogFontSizes sizes = dialogFontSizes(base.lfHeight, language);
    DialogFonts fonts;
    fonts.infoFont.reset(makeFont(base, sizes.info));
    fonts.resultFont.reset(makeFont(base, sizes.result));
    fonts.buttonFont.reset(makeFont(base, sizes.button));
    fonts.groupFont.reset(makeFont(base, sizes.group));
    fonts.statusFont.reset(makeFont(base, sizes.status));
    return fonts;
}
