// Locale and layout helpers. See toolbox/locale_layout.h.
#include "toolbox/ui/locale_layout.h"

#include <clocale>
#include <ctime>
#include <string>

#include "platform/runtime.h"
#include "toolbox/core/toolbox.h"

namespace {

constexpr char kDateFormat[] = "%x"; // the locale's own date representation
constexpr int kLastInvalidId = 1;    // control ids start at 2

// Restores the time category of the process locale when it goes out of scope. The name is copied
// at once: the pointer setlocale returns is overwritten by the next call.
class TimeLocaleSaver {
  public:
    TimeLocaleSaver() {
        const char *current = std::setlocale(LC_TIME, nullptr);
        saved_ = current ? current : "C";
    }
    ~TimeLocaleSaver() { std::setlocale(LC_TIME, saved_.c_str()); }
    TimeLocaleSaver(const TimeLocaleSaver &) = delete;
    TimeLocaleSaver &operator=(const TimeLocaleSaver &) = delete;

  private:
    std::string saved_;
};

} // namespace

int InternationalDate(char *buffer, int bufferSize) {
    if (!buffer || bufferSize <= 0) return 0;
    buffer[0] = '\0';
    std::time_t now = static_cast<std::time_t>(RT_CurrentTime());
    std::tm local{};
    if (!localtime_r(&now, &local)) return 0;
    TimeLocaleSaver saver;
    std::setlocale(LC_TIME, ""); // the operator's native locale
    std::size_t written =
        std::strftime(buffer, static_cast<std::size_t>(bufferSize), kDateFormat, &local);
    if (written == 0)
        buffer[0] = '\0'; // strftime leaves the buffer undefined when the date does not fit
    return static_cast<int>(written);
}

void LocalizeNumberString(char *text) {
    if (!text) return;
    int symbol = 0;
    if (GetSystemAttribute(ATTR_SYS_DECIMAL_SYMBOL, &symbol) < 0) return;
    const char separator = static_cast<char>(symbol & 0xFF);
    if (separator == '.' || separator == '\0') // a NUL would cut the number short
        return;
    for (char *p = text; *p; ++p)
        if (*p == '.') *p = separator;
}

int GetIntListFromParmInfo(va_list parmInfo, int numIntegers, ListHandle *integerList) {
    if (!integerList) return RT_ERR_NULL_POINTER;
    *integerList = ListCreate(sizeof(int));
    if (!*integerList) return RT_ERR_OUT_OF_MEMORY;
    for (int taken = 0; numIntegers == 0 || taken < numIntegers; ++taken) {
        int id = va_arg(parmInfo, int);
        if (id <= kLastInvalidId) break;
        if (!ListInsertItem(*integerList, &id, LIST_POS_END)) {
            ListDispose(*integerList);
            *integerList = nullptr;
            return RT_ERR_OUT_OF_MEMORY;
        }
    }
    return 0;
}

int PutLabelsOnLeft(int panel, int pixelSpacing, int numCtrls, ...) {
    va_list ids;
    va_start(ids, numCtrls);
    ListHandle list = nullptr;
    int status = GetIntListFromParmInfo(ids, numCtrls, &list);
    va_end(ids);
    if (status < 0) return status;
    status = PutLabelsOnLeftForList(panel, list, pixelSpacing);
    ListDispose(list);
    return status;
}

int PutLabelsOnLeftForList(int panel, ListHandle controlList, int pixelSpacing) {
    const int count = ListNumItems(controlList);
    for (int position = 1; position <= count; ++position) {
        int control = 0;
        ListGetItem(controlList, &control, position);
        int status = PutLabelOnLeft(panel, control, pixelSpacing);
        if (status < 0) return status;
    }
    return 0;
}

int PutLabelOnLeft(int panel, int control, int pixelSpacing) {
    int left = 0, labelWidth = 0;
    int status = GetCtrlAttribute(panel, control, ATTR_LEFT, &left);
    if (status < 0) return status;
    if ((status = GetCtrlAttribute(panel, control, ATTR_LABEL_WIDTH, &labelWidth)) < 0)
        return status;
    if ((status = SetCtrlAttribute(panel, control, ATTR_LABEL_LEFT, left - labelWidth - 1)) < 0)
        return status;
    if ((status = SetCtrlAttribute(panel, control, ATTR_LABEL_TOP,
                                   static_cast<int>(VAL_AUTO_CENTER))) < 0)
        return status;
    if ((status = SetCtrlAttribute(panel, control, ATTR_LABEL_LEFT,
                                   left - labelWidth - pixelSpacing)) < 0)
        return status;
    return 0;
}

int CenterCtrl(int panel, int control, int top, int left, int height, int width) {
    int boundTop = 0, boundLeft = 0, boundHeight = 0, boundWidth = 0;
    int status =
        GetCtrlBoundingRect(panel, control, &boundTop, &boundLeft, &boundHeight, &boundWidth);
    if (status < 0) return status;
    int controlTop = 0, controlLeft = 0;
    if ((status = GetCtrlAttribute(panel, control, ATTR_TOP, &controlTop)) < 0) return status;
    if ((status = GetCtrlAttribute(panel, control, ATTR_LEFT, &controlLeft)) < 0) return status;
    const int newBoundTop = top + (height - boundHeight) / 2;
    const int newBoundLeft = left + (width - boundWidth) / 2;
    if ((status =
             SetCtrlAttribute(panel, control, ATTR_TOP, controlTop + (newBoundTop - boundTop))) < 0)
        return status;
    if ((status = SetCtrlAttribute(panel, control, ATTR_LEFT,
                                   controlLeft + (newBoundLeft - boundLeft))) < 0)
        return status;
    return 0;
}
