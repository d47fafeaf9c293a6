// Main panel layout and height. See ks_layout.h.
#include "app/ks_layout.h"

#include "app/ks_ids.h"
#include "app/ks_state.h"
#include "platform/runtime.h"
#include "toolbox/locale_layout.h"

#include <vector>

namespace {

constexpr int kMaxLabelLeft = 32767;
constexpr int kHeightWithLogo3 = 571;
constexpr int kHeightWithoutLogo3 = 480;
constexpr int kHeightBaseWidth = 445;

} // namespace

void KsLayoutMainPanel(void) {
    int width = 0;
    GetPanelAttribute(panelHandle, ATTR_WIDTH, &width);
    for (int control : {MAIN_CENTRE2, MAIN_CENTRE1}) {
        int controlWidth = 0;
        GetCtrlAttribute(panelHandle, control, ATTR_WIDTH, &controlWidth);
        SetCtrlAttribute(panelHandle, control, ATTR_LEFT, (width - controlWidth) / 2);
    }
    PutLabelsOnLeft(panelHandle, 0, 10, MAIN_ENTRY, MAIN_TCOMP, MAIN_INVEH, MAIN_SETPNT,
                    MAIN_MEASURED, MAIN_SYSTEM, MAIN_TCODE, MAIN_BVOLT, MAIN_SOC, MAIN_BRSLT);
    // The date heads the right column as the entry heads the left one.
    PutLabelOnLeft(panelHandle, MAIN_DATE, 0);
    int notesLeft = 0;
    GetCtrlAttribute(panelHandle, MAIN_NOTES, ATTR_LEFT, &notesLeft);
    SetCtrlAttribute(panelHandle, MAIN_NOTES, ATTR_LABEL_LEFT, notesLeft);
    // Every label of a column starts at the column's one left edge, the top row's included.
    const std::vector<std::vector<int>> columns = {
        {MAIN_ENTRY, MAIN_TCOMP, MAIN_INVEH, MAIN_SETPNT, MAIN_MEASURED, MAIN_SYSTEM},
        {MAIN_DATE, MAIN_TCODE, MAIN_BVOLT, MAIN_SOC, MAIN_BRSLT}};
    for (const auto &column : columns) {
        int leftmost = kMaxLabelLeft;
        for (int control : column) {
            int labelLeft = kMaxLabelLeft;
            if (GetCtrlAttribute(panelHandle, control, ATTR_LABEL_LEFT, &labelLeft) >= 0 &&
                labelLeft < leftmost)
                leftmost = labelLeft;
        }
        for (int control : column)
            SetCtrlAttribute(panelHandle, control, ATTR_LABEL_LEFT, leftmost);
    }
}

void KsApplyHeightRule(int withLogo3) {
    int width = 0;
    GetPanelAttribute(panelHandle, ATTR_WIDTH, &width);
    const int height =
        width * (withLogo3 ? kHeightWithLogo3 : kHeightWithoutLogo3) / kHeightBaseWidth;
    SetPanelAttribute(panelHandle, ATTR_HEIGHT, height);
}

int KsPrintMainPanel(const char *fileName, int prompt) {
    int panelColour = 0;
    GetPanelAttribute(panelHandle, ATTR_BACKCOLOR, &panelColour);
    SetPanelAttribute(panelHandle, ATTR_BACKCOLOR, static_cast<int>(VAL_WHITE));
    int textColour = 0;
    GetCtrlAttribute(panelHandle, MAIN_ENTRY, ATTR_TEXT_BGCOLOR, &textColour);
    const int whitened[] = {MAIN_ENTRY, MAIN_INFO, MAIN_TCODE, MAIN_NOTES};
    for (int control : whitened)
        SetCtrlAttribute(panelHandle, control, ATTR_TEXT_BGCOLOR, static_cast<int>(VAL_WHITE));
    // The status line tells of this session's port, not of the result: it stays off the paper.
    int statusShown = 0;
    GetCtrlAttribute(panelHandle, MAIN_STATUS, ATTR_VISIBLE, &statusShown);
    SetCtrlAttribute(panelHandle, MAIN_STATUS, ATTR_VISIBLE, 0);
    const int result = PrintPanel(panelHandle, fileName, 1, 0, prompt);
    SetCtrlAttribute(panelHandle, MAIN_STATUS, ATTR_VISIBLE, statusShown);
    SetPanelAttribute(panelHandle, ATTR_BACKCOLOR, panelColour);
    for (int control : whitened)
        SetCtrlAttribute(panelHandle, control, ATTR_TEXT_BGCOLOR, textColour);
    return result;
}
