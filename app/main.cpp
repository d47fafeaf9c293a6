// ks_read: the program's entry; everything it does lives in the app modules.
#include "app/ks_callbacks.h"
#include "app/ks_save.h"

int main(int, char **argv) {
    const int result = KsReadMain(argv);
    // Results the log could not take to the end are not dropped in silence.
    KsReportUnwrittenRows();
    return result;
}
