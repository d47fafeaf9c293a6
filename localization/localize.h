// Localized loading: panels and menu bars loaded from a UI resource and at once given the
// strings of a language file, and language files applied to panels already on screen.
//
// Results: 0 (or another non-negative run-time value) on success; a negative run-time code on
// failure (local codes -1 .. -11 are translated: -12 out of memory, -65 null argument, -6000 not
// a matching language file, -45 class mismatch, -46 count mismatch, -93 read error, -94 open
// error).
#pragma once

int LoadLocalizedPanel(int parentPanel, const char *resourceFile, int panelResourceId,
                       const char *languageFile, int *panelHandle);
int LocalizePanel(int panel, const char *languageFile);
int LoadLocalizedMenuBar(int panel, const char *resourceFile, int menuBarResourceId,
                         const char *languageFile, int *menuBarHandle);
int LocalizeMenuBar(int menuBar, const char *languageFile);
