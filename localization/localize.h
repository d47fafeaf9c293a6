// Localized loading: panels and menu bars loaded from a UI resource and at once given the
// strings of a language file, and language files applied to panels already on screen.
//
// Results: 0 (or another non-negative run-time value) on success; a negative run-time code on
// failure (local codes -1 .. -11 are translated: -12 out of memory, -65 null argument, -6000 not
// a matching language file, -45 class mismatch, -46 count mismatch, -93 read error, -94 open
// error).
#pragma once

#include "localization/uiobjects.h"

// Loads panel panelResourceId of resourceFile and localizes it (title, controls, menu bar). On
// any failure the loaded panel is discarded and *panelHandle is 0, so the caller never holds a
// half-localized panel; null arguments give -65 without loading anything.
int LoadLocalizedPanel(int parentPanel, const char *resourceFile, int panelResourceId,
                       const char *languageFile, int *panelHandle);
// Applies the language file to a loaded (possibly displayed) panel and then to its menu bar. A
// file that does not match fails before anything is applied; a run-time failure during the apply
// leaves the strings applied so far. A failing menu bar is reported after the panel was done.
int LocalizePanel(int panel, const char *languageFile);
// As LoadLocalizedPanel for menu bar menuBarResourceId, loaded for panel.
int LoadLocalizedMenuBar(int panel, const char *resourceFile, int menuBarResourceId,
                         const char *languageFile, int *menuBarHandle);
// Applies the language file to the menus and items of a loaded menu bar. A menu whose rename the
// run-time refuses does not stop the others and is not reported.
int LocalizeMenuBar(int menuBar, const char *languageFile);

// The run-time code for a local code -1 .. -11; every other value is returned unchanged.
int TranslateLocalizationError(int code);

// ---- Apply step --------------------------------------------------------------------------------
// selector -1 applies every string; another value only the string whose tree identifier equals
// it. useDefaults 0 leaves a slot whose localized flag is not 'v' as the panel has it; 1 gives it
// the captured default (or "" when there is none).

// The panel title, then each control in list order; the first negative run-time result ends it.
int PNLAndCTRLLocalsToPanelAndControls(PNL *pnl);
int PNLLocalStrsToUIPanel(PNL *pnl, int selector, int useDefaults);
int CTRLLocalStrsToUIControl(CTRL *ctrl, int selector, int useDefaults);
// Every menu with its items; always 0 (a refused rename is skipped).
int MENUBARAndMENUITEMLocalStrsToUIMenuAndMenuItems(MENUBAR *menuBar);
// The item's name, then (recurse non-zero) its children depth first, whose results are not looked
// at; a refused rename of the item itself is returned and its children are not visited.
int MENUITEMLocalStrsToUIMenu(MENUITEM *item, int recurse, int useDefaults);
