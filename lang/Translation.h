#pragma once
// The translators' tools of the language menu: the template export ("Translate") and loading a
// translation file from disk ("Load from File (Unicode)").

#include "base/WideString.h"

// Language key of the message shown when a chosen translation file cannot be read.
inline constexpr int kKeyTranslationUnreadable = 150;

// "translate_" + the program title (header key 19) with blanks as "_" + ".txt", in the
// temporary folder.
WideString translationTemplatePath();
// The template: a header for the translator, the note to translators (header key 25), then
// "##=" with English's name line and the English section exactly as the archive holds it.
WideString translationTemplateText();
// Writes the template to `path` as UTF-16LE with FF FE, replacing any earlier file whole.
// False when it could not be written; a partly written file is removed.
bool writeTranslationTemplate(const wchar_t* path);
// Command 1000: writes the template and, when that worked, opens it with the shell.
void exportTranslation();

// Reads a whole text file: UTF-16LE when it starts with FF FE, otherwise the ANSI code page.
// False when the file cannot be read (the last error says why); `text` is then empty.
bool readTextFile(const wchar_t* path, WideString& text);

// Reads `path` and makes it the source of every text (loaded-file mode). `message` receives the
// completeness report. When the file cannot be read nothing changes: `message` then receives the
// reason, and the result is false.
bool useTranslationFile(const wchar_t* path, WideString& message);
// Command 1001: the open-file dialog, then useTranslationFile; the outcome in a message box
// captioned "Translate". True when a file was loaded and the dialog's texts need re-applying.
bool loadTranslationFile();
