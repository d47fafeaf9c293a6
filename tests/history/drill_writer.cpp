// The writer of the kill -9 drill: stores results numbered after the newest one already stored,
// up to the count given, and says "stored N" on standard output once each is stored (the moment
// the program would show it).
#include <QCoreApplication>

#include <cstdio>
#include <cstdlib>

#include "history/history.h"
#include "history_sample.h"

int main(int argc, char **argv) {
    QCoreApplication app(argc, argv);
    if (argc != 3) return 2;
    HistoryStore store;
    if (store.Open(argv[1]) != 0) return 1;
    HistoryQuery newest;
    newest.limit = 1;
    std::vector<HistoryResult> rows;
    if (store.Search(newest, &rows) != 0) return 1;
    const int count = std::atoi(argv[2]);
    for (int n = rows.empty() ? 1 : rows[0].testNo + 1; n <= count; ++n) {
        if (store.Add(SampleResult(n, n % 3 == 0 ? HISTORY_SOURCE_TYPED : HISTORY_SOURCE_TESTER)) <=
            0)
            return 1;
        std::printf("stored %d\n", n);
        std::fflush(stdout);
    }
    return 0;
}
