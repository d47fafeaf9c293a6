// Rows and patterns shared by the queries of the history and of the workshop server. See
// history_sql.h.
#include "history/history_sql.h"

#include <QSqlQuery>
#include <QVariant>

namespace {

std::string S(const QVariant &value) {
    return value.toString().toStdString();
}

} // namespace

HistoryResult HistoryResultFromQuery(const QSqlQuery &q, int first) {
    HistoryResult r;
    int i = first;
    auto next = [&]() { return q.value(i++); };
    r.localId = next().toLongLong();
    r.source = next().toInt();
    r.shownUtc = next().toLongLong();
    r.utcOffset = next().toInt();
    r.programVersion = S(next());
    r.logo0 = S(next());
    r.logo1 = S(next());
    for (auto &line : r.info)
        line = S(next());
    for (int32_t *v : {&r.sys24V, &r.inVehicle, &r.setPoint, &r.system})
        *v = next().toInt();
    r.jisNo = S(next());
    r.bVolt = next().toDouble();
    for (int32_t *v : {&r.bCca, &r.bRslt, &r.bType, &r.soc})
        *v = next().toInt();
    r.tCode = S(next());
    r.cCode = S(next());
    r.ver = S(next());
    for (int32_t *v : {&r.tComp, &r.b4aCh, &r.sChrg, &r.sys6V, &r.testNo, &r.serNo})
        *v = next().toInt();
    r.entry = S(next());
    r.notes = S(next());
    return r;
}

QString HistoryLikePattern(const QString &word) {
    QString escaped;
    for (QChar c : word) {
        if (c == u'%' || c == u'_' || c == u'\\') escaped += u'\\';
        escaped += c;
    }
    return u'%' + escaped + u'%';
}

bool HistoryRunPrepared(QSqlQuery &q, const QString &sql, const QVariantList &values) {
    if (!q.prepare(sql)) return false;
    for (const QVariant &v : values)
        q.addBindValue(v);
    return q.exec();
}
