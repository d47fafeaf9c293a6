// The program the module suite runs (module_test.cpp), as a copy in a folder of the test's own
// or where it was built: it makes the run-time's calls that may or may not load a module and
// prints what happened as key=value lines.
//
//   module_probe serial <device>   the calls a start-up makes, then opening <device> as port 1
//                                  and reading one line from it
//   module_probe print <pdf>       the twelve print attributes set as a start-up sets them, then
//                                  a panel printed into <pdf>
//   module_probe print-dialog      a panel printed with the print dialog, whose message box (if
//                                  one comes) is answered
#include <QApplication>
#include <QCoreApplication>
#include <QDialog>
#include <QMessageBox>

#include <cstdio>
#include <cstring>
#include <fstream>
#include <string>

#include "platform/runtime.h"
#include "platform/testing.h"

namespace {

// Whether a library whose file name starts with `name` is mapped into this process.
bool mapped(const char *name) {
    std::ifstream maps("/proc/self/maps");
    for (std::string line; std::getline(maps, line);)
        if (line.find(std::string("/") + name) != std::string::npos) return true;
    return false;
}

// One key=value line; a line break inside the value is written as \n.
void report(const char *key, std::string value) {
    for (size_t at = value.find('\n'); at != std::string::npos; at = value.find('\n', at + 2))
        value.replace(at, 1, "\\n");
    std::printf("%s=%s\n", key, value.c_str());
}

void reportLoaded(const char *when, const char *module, const char *library) {
    report(when, mapped(module) || mapped(library) ? "1" : "0");
}

void noteArrival(void *) {}

int serial(int argc, char **argv) {
    if (argc < 3) return 2;
    QCoreApplication app(argc, argv);
    // What the program does before its first paint: none of it needs a device.
    RT_ComSetArrivalNotify(1, noteArrival, nullptr);
    char device[4096] = "";
    RT_ComPortDevice(1, device);
    RT_ComPortState(1, device, sizeof device);
    GetInQLen(1);
    reportLoaded("loaded_before_open", "ks_serial.so", "libQt6SerialPort");
    const int opened = OpenComConfig(1, argv[2], 9600, 0, 8, 1, 512, 512);
    report("open", std::to_string(opened));
    report("error", RT_ComModuleError());
    reportLoaded("loaded_after_open", "ks_serial.so", "libQt6SerialPort");
    if (opened == 0) {
        SetComTime(1, 10.0);
        char line[256] = "";
        const int n = ComRdTerm(1, line, sizeof line - 1, '\n');
        line[n > 0 ? n : 0] = '\0';
        report("line", line);
        CloseCom(1);
    }
    return 0;
}

int panelToPrint() {
    const int panel = NewPanel(0, "Probe", 20, 20, 200, 300);
    const int text = NewCtrl(panel, CTRL_TEXT_MSG, "", 20, 20);
    SetCtrlVal(panel, text, "Printed by the probe");
    return panel;
}

int print(int argc, char **argv) {
    if (argc < 3 || InitRuntime(0, argv, 0) != 1) return 2;
    // As the program's start-up sets its saved print attributes: landscape A5, narrow margins,
    // two copies, grey scale.
    const int saved[][2] = {
        {ATTR_PRINT_BITMAP, 1},     {ATTR_PRINT_ORIENTATION, 1},    {ATTR_PRINT_XRESOLUTION, 300},
        {ATTR_PRINT_COPIES, 2},     {ATTR_PRINT_PAPER_WIDTH, 1480}, {ATTR_PRINT_PAPER_HEIGHT, 2100},
        {ATTR_PRINT_MARGIN, 50},    {ATTR_PRINT_SCALE, 100},        {ATTR_PRINT_DUPLEX, 0},
        {ATTR_PRINT_COLOR_MODE, 0}, {ATTR_PRINT_COLLATE, 0},        {ATTR_PRINT_PAGE_ORDER, 0},
    };
    for (const auto &[attribute, value] : saved)
        SetPrintAttributeEx(attribute, value);
    const int panel = panelToPrint();
    reportLoaded("loaded_before_print", "ks_print.so", "libQt6PrintSupport");
    report("print", std::to_string(PrintPanel(panel, argv[2], 1, 0, 0)));
    reportLoaded("loaded_after_print", "ks_print.so", "libQt6PrintSupport");
    return 0;
}

int printDialog(char **argv) {
    if (InitRuntime(0, argv, 0) != 1) return 2;
    const int panel = panelToPrint();
    // Answers the message box as soon as it is up. Any other dialog (the print dialog, were
    // the module there) is named and cancelled, so the probe never waits for an operator.
    std::string shown;
    std::function<void()> answer = [&] {
        QWidget *modal = QApplication::activeModalWidget();
        if (auto *box = qobject_cast<QMessageBox *>(modal)) {
            shown = box->text().toStdString();
            box->accept();
        } else if (auto *dialog = qobject_cast<QDialog *>(modal)) {
            shown = std::string("a dialog of class ") + dialog->metaObject()->className();
            dialog->reject();
        } else {
            RT_TestPost(answer, 10);
        }
    };
    RT_TestPost(answer, 10);
    report("print", std::to_string(PrintPanel(panel, "", 1, 0, 1)));
    report("popup", shown);
    return 0;
}

} // namespace

int main(int argc, char **argv) {
    const std::string command = argc > 1 ? argv[1] : "";
    if (command == "serial") return serial(argc, argv);
    if (command == "print") return print(argc, argv);
    if (command == "print-dialog") return printDialog(argv);
    std::fprintf(stderr, "usage: module_probe serial <device> | print <pdf> | print-dialog\n");
    return 2;
}
