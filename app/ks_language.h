// The user-interface language: the first-run language prompt and the mapping of a language
// number (0 .. 9) to the paths of its language file and readme file in the program folder.
#pragma once

#include <cstddef>

// Shows the language popup (panel 7, in the language in use, at first start in the system's
// language when the program has it, else plain), opened on the number that language holds
// (the language in use; 0, the system's, at first start), and waits until its list or its OK
// button is committed. Returns 0 after storing the chosen number through language; -1 when the
// popup cannot be loaded (nothing stored).
int GetAppLanguage(int *language);

// Fills langPath and readmePath (each KS_FULL_PATH_SIZE bytes, ks_state.h) with the program
// folder followed by the file names of the language: 1 "English" ... 9 "Dutch", 0 the English name
// of the system's language, English when there is no language file of it; ".lng" and ".txt". A
// number outside 0 .. 9 counts as 0. When the program folder cannot be had, or a path does not fit,
// that path is left empty (a file that cannot be found, never a cut name or a file in another
// folder).
void GetLocalLanguageFilePath(int language, char *langPath, char *readmePath);

// The base name of a language's files ("English" ...; for 0 the system language's English name,
// or "English" when the program folder has no language file of that name) into name (size bytes).
void KsLanguageBaseName(int language, char *name, size_t size);

// Shows the run-time's own texts (file and print dialogs, standard buttons, key names in menus) in
// the language; English leaves them as they are built in.
void KsUseToolkitLanguage(int language);
