#pragma once
// The language archive inside the program's own executable file, loaded once at start-up before
// any window exists. The tables point into one decoded text that lives until the process ends;
// after loading they are read-only, so any thread may read them.

#include "base/WideString.h"
#include "lang/ArchiveGrammar.h"

// `headerTable`, `languageNames`, `languageTables`, `completeness`, the free texts, the language
// count and the section bodies of the loaded archive. Empty when loading failed.
extern ArchiveTables archiveTables;
// The body of language section 1 (English) as it stands in the archive, comment lines, blank
// lines and leading zeros included: the template of the translation export.
extern WideString englishSectionText;

// Reads the program's own file, unpacks the archive and builds the tables. On failure shows
// "Error! Loading language file string archive", posts a quit request and returns false; the
// caller then ends the program.
bool loadLanguageArchive();

// The work of loadLanguageArchive on any file, without any message: false when the file cannot
// be read, a marker is missing, the size does not fit, or the archive holds no English text.
// On failure every table is left empty.
bool readLanguageArchive(const wchar_t* exePath);

// A message box owned by the active window, caption "Alert", OK button.
void showAlert(const wchar_t* text);
