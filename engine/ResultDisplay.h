#pragma once
// Turning the measured results into the texts of the main dialog's result and rating labels.

#include <windows.h>

#include "base/WideString.h"

// Weights of the ratings: two different constants, seven and six threes.
inline constexpr double kRatingWeightRandomRead = 0.3333333;
inline constexpr double kRatingWeight = 0.333333;

// `text` is a number as the C library prints it ("-1234.5678"); the result follows the user's
// locale with `digits` decimals, digit groups separated only when `grouping` is set. A text that
// the system cannot format comes back unchanged.
WideString formatLocaleNumber(const WideString& text, int digits, bool grouping);

// value / 1024 with two decimals and " GB/s ".
WideString formatSpeed(double value);
// value with two decimals and " ns. ".
WideString formatNanoseconds(double value);
// value with one decimal, no unit.
WideString formatRating(double value);

// Rewrites the control's text only when it differs, so labels do not flicker at every sample.
void setTextIfChanged(HWND control, const WideString& text);

// Redraws every result and rating label of `engineWindow` from `benchResults`.
void refreshResultLabels();
