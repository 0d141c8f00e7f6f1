#pragma once
// The comparison page: a local HTML form with the encoded results record and a picture of the
// main dialog, opened in the default browser, whose script posts it to our comparison page.

#include "base/WideString.h"

#include <string>

// Command 43102: writes the page into the temporary folder and opens it. Shows nothing, waits
// for nothing. When the page cannot be written, nothing is opened: an older page would post old
// results.
void openComparisonPage();

// The value of the form field "brindlecrestdata": the record, a line of non-ASCII letters and an
// end line, as UTF-8, Base64, reversed, Base64 again.
std::string encodeResultsRecord(const WideString& record);

// The value of the form field "brindlecrestdataI": the Base64 of the file's bytes; empty when the
// file cannot be opened.
std::string encodeFile(const wchar_t* path);

// The form's target for a language: the German host for language 0, the other one otherwise.
std::string comparisonTarget(int language);

// The page's bytes for a target and the two field values.
std::string comparisonPageBytes(const std::string& target, const std::string& imageValue, const std::string& recordValue);

// Files in the temporary folder, rewritten by every call.
inline constexpr wchar_t kComparisonPageName[] = L"brindlecr_tmp.html";
inline constexpr wchar_t kComparisonPictureName[] = L"Brindlecrest_tmp_1.png";
