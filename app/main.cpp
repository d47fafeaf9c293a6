// ks_read: the program's entry; everything it does lives in the app modules.
#include "app/ks_callbacks.h"

int main(int, char **argv) {
    return KsReadMain(argv);
}
