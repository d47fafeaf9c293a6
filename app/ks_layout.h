// Layout of the main panel: centred titles, labels on the left of their controls in two aligned
// columns, the panel height that depends on whether logo 3 is shown, and its printed sheet.
#pragma once

// Centres the two title lines, puts the labels on the left and starts the labels of each column
// (its top row included, and the measured value under the rating) at one left edge. Run after every
// load or localization of the main panel, since label widths change with the language.
void KsLayoutMainPanel(void);
// Panel height of the main panel: width x 571 / 445 with logo 3, width x 480 / 445 without.
void KsApplyHeightRule(int withLogo3);
// Prints the main panel on white (the panel and the typing boxes; their colours come back
// after): to the printer through the print dialog when prompt is set, else into fileName (a PDF
// for ".pdf"). Returns PrintPanel's result.
int KsPrintMainPanel(const char *fileName, int prompt);
