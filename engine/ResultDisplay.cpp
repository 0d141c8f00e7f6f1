#include "engine/ResultDisplay.h"

#include <cwchar>

#include "engine/EngineIds.h"
#include "engine/EngineState.h"

namespace {

constexpr int kLocaleItemChars = 19;

int localeInteger(LCTYPE item) {
    wchar_t buffer[kLocaleItemChars] = {};
    if (!GetLocaleInfoW(LOCALE_USER_DEFAULT, item, buffer, kLocaleItemChars)) {
        return 0;
    }
    // A grouping such as "3;0" counts by its leading number.
    return static_cast<int>(std::wcstol(buffer, nullptr, 10));
}

void localeText(LCTYPE item, wchar_t (&buffer)[kLocaleItemChars], const wchar_t* fallback) {
    if (!GetLocaleInfoW(LOCALE_USER_DEFAULT, item, buffer, kLocaleItemChars)) {
        lstrcpynW(buffer, fallback, kLocaleItemChars);
    }
}

}  // namespace

WideString formatLocaleNumber(const WideString& text, int digits, bool grouping) {
    wchar_t decimalSeparator[kLocaleItemChars] = {};
    wchar_t thousandSeparator[kLocaleItemChars] = {};
    localeText(LOCALE_SDECIMAL, decimalSeparator, L",");
    if (grouping) {
        localeText(LOCALE_STHOUSAND, thousandSeparator, L".");
    }
    NUMBERFMTW format{};
    format.NumDigits = static_cast<UINT>(digits);
    format.LeadingZero = static_cast<UINT>(localeInteger(LOCALE_ILZERO));
    format.Grouping = static_cast<UINT>(localeInteger(LOCALE_SGROUPING));
    format.lpDecimalSep = decimalSeparator;
    format.lpThousandSep = thousandSeparator;
    format.NegativeOrder = static_cast<UINT>(localeInteger(LOCALE_INEGNUMBER));

    int capacity = 3 * text.length() + 100;
    WideString result;
    wchar_t* buffer = result.writableBuffer(capacity);
    int written = GetNumberFormatW(LOCALE_USER_DEFAULT, 0, text.c_str(), &format, buffer, capacity - 1);
    if (written <= 0) {
        return text;
    }
    result.releaseBuffer(written - 1);  // the count includes the terminator
    return result;
}

WideString formatSpeed(double value) {
    return formatLocaleNumber(WideString::format(L"%3.3f", value * (1.0 / 1024)), 2, false) + L" GB/s ";
}

WideString formatNanoseconds(double value) {
    return formatLocaleNumber(WideString::format(L"%3.4f", value), 2, false) + L" ns. ";
}

WideString formatRating(double value) { return formatLocaleNumber(WideString::format(L"%3.1f", value), 1, false); }

void setTextIfChanged(HWND control, const WideString& text) {
    wchar_t current[256] = {};
    GetWindowTextW(control, current, 256);
    if (text.compare(current) != 0) {
        SetWindowTextW(control, text.c_str());
    }
}

void refreshResultLabels() {
    namespace ids = engine_ids;
    HWND dialog = engineState.engineWindow;
    if (!dialog) {
        return;
    }
    const BenchResults& r = benchResults;
    auto label = [dialog](int id) { return GetDlgItem(dialog, id); };

    setTextIfChanged(label(ids::kSequentialReadLabel), formatSpeed(r.seqRead));
    setTextIfChanged(label(ids::kSequentialWriteLabel), formatSpeed(r.seqWrite));
    setTextIfChanged(label(ids::kParallelReadLabel), formatSpeed(r.par64Read));
    setTextIfChanged(label(ids::kParallelWriteLabel), formatSpeed(r.par64Write));
    setTextIfChanged(label(ids::kRandom4kReadLabel), formatSpeed(r.rand4kRead));
    setTextIfChanged(label(ids::kRandom4kWriteLabel), formatSpeed(r.rand4kWrite));
    setTextIfChanged(label(ids::kRandom1kReadLabel), formatSpeed(r.rand1kRead));
    setTextIfChanged(label(ids::kRandom1kWriteLabel), formatSpeed(r.rand1kWrite));

    // A NaN is not 0 and shows as what the C library makes of it.
    setTextIfChanged(label(ids::kAccessReadLabel),
                     r.accessReadNs != 0 ? formatNanoseconds(r.accessReadNs) : WideString(L"------ "));
    setTextIfChanged(label(ids::kAccessWriteLabel),
                     r.accessWriteNs != 0 ? formatNanoseconds(r.accessWriteNs) : WideString(L"------ "));

    double readScore = r.seqRead + r.rand4kRead * kRatingWeightRandomRead + r.rand1kRead * kRatingWeightRandomRead +
                       r.par64Read * kRatingWeight;
    double writeScore =
        r.seqWrite + r.rand4kWrite * kRatingWeight + r.rand1kWrite * kRatingWeight + r.par64Write * kRatingWeight;
    setTextIfChanged(label(ids::kTotalRatingLabel), formatRating(writeScore * 0.25 + readScore * 0.25));
    setTextIfChanged(label(ids::kReadRatingLabel), formatRating(readScore * 0.5));
    setTextIfChanged(label(ids::kWriteRatingLabel), formatRating(writeScore * 0.5));
}
