// What the queries of the bench's history and of the workshop server share: a result read from a
// row whose columns come in the history's order, and the pattern that finds a word in a folded
// text with LIKE.
#pragma once

#include <QString>
#include <QVariantList>

#include "history/history.h"

class QSqlQuery;

// The result in the query's current row, its columns from `first` on in the order of the
// history's table: local_id, source, shown time (seconds since 1970, UTC), UTC offset, program
// version, logo0, logo1, info0 to info5, then the tester's fields as the table lists them, entry
// and notes.
HistoryResult HistoryResultFromQuery(const QSqlQuery &query, int first);
// The word as a LIKE pattern for any part of a text; its own % _ and \ stand for themselves (the
// escape character is a backslash).
QString HistoryLikePattern(const QString &word);
// Prepares sql on the query, binds the values in order and runs it; false when any step fails
// (the query's lastError() says why).
bool HistoryRunPrepared(QSqlQuery &query, const QString &sql, const QVariantList &values);
