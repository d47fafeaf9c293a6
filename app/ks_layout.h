// Layout of the main panel: centred titles, labels on the left of their controls in two aligned
// columns, and the panel height that depends on whether logo 3 is shown.
#pragma once

// Centres the two title lines, puts the labels on the left and starts the labels of each column
// (its top row included, and the measured value under the rating) at one left edge. Run after every
// load or localization of the main panel, since label widths change with the language.
void KsLayoutMainPanel(void);
// Panel height of the main panel: width x 571 / 445 with logo 3, width x 480 / 445 without.
void KsApplyHeightRule(int withLogo3);
