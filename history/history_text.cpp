// Texts made from stored results: the folded search text, ISO 8601 times and the CSV export.
// See history.h.
#include <QDateTime>
#include <QSaveFile>
#include <QString>
#include <QTimeZone>

#include <cstdio>
#include <iterator>
#include <string>

#include "history/history.h"
#include "toolbox/core/errors.h"

namespace {

// The verdicts of the tester's result values 0 .. 7, in the export's one language.
const char *const kVerdicts[] = {"good battery",     "good, recharge",    "charge and retest",
                                 "replace battery",  "bad cell, replace", "check clamps",
                                 "unstable, retest", "test aborted"};

// One CSV field: quoted when it holds a separator, a quote or a line break (RFC 4180).
std::string Field(const std::string &text) {
    if (text.find_first_of(",\"\r\n") == std::string::npos) return text;
    std::string quoted = "\"";
    for (char c : text) {
        if (c == '"') quoted += '"';
        quoted += c;
    }
    return quoted + "\"";
}

std::string Number(double value) {
    // "%.2f" does not depend on the locale's separator only in the C locale; Qt's does not at all.
    return QString::number(value, 'f', 2).toStdString();
}

} // namespace

const char *HistoryVerdictText(int32_t bRslt) {
    if (bRslt >= 0 && bRslt < static_cast<int32_t>(std::size(kVerdicts))) return kVerdicts[bRslt];
    return "no result";
}

std::string HistorySearchText(const HistoryResult &r) {
    std::string text = r.entry + "\n" + r.tCode + "\n";
    for (const auto &line : r.info)
        text += line + "\n";
    return HistoryFoldText(text + r.notes);
}

std::string HistoryFoldText(const std::string &text) {
    const QString decomposed = QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()))
                                   .normalized(QString::NormalizationForm_KD);
    QString folded;
    folded.reserve(decomposed.size());
    for (QChar c : decomposed) {
        if (c.category() == QChar::Mark_NonSpacing) continue;
        folded += c;
    }
    return folded.toCaseFolded().toStdString();
}

bool HistoryParseDate(const std::string &text, bool end, int64_t *utc) {
    const QString value = QString::fromStdString(text);
    const QDate date = QDate::fromString(value, Qt::ISODate);
    if (date.isValid() && value.size() == 10) {
        *utc = QDateTime(end ? date.addDays(1) : date, QTime(0, 0)).toSecsSinceEpoch();
        return true;
    }
    const QDateTime at = QDateTime::fromString(value, Qt::ISODate);
    if (!at.isValid()) return false;
    *utc = at.toSecsSinceEpoch();
    return true;
}

std::string HistoryIsoTime(const HistoryResult &result) {
    const QDateTime at =
        QDateTime::fromSecsSinceEpoch(result.shownUtc, Qt::OffsetFromUTC, result.utcOffset);
    return at.toString(Qt::ISODate).toStdString();
}

std::string HistoryCsv(const std::vector<HistoryResult> &rows) {
    std::string csv =
        "local_id,shown_at,source,reference,test_code,info_1,info_2,info_3,info_4,info_5,info_6,"
        "verdict,verdict_code,voltage,rating,measured_cca,rating_standard,state_of_charge,"
        "temperature_compensation,in_vehicle,system_24v,system_6v,battery_type,jis_number,"
        "check_code,tester_version,four_cycle_charge,charge_flag,test_number,serial_number,"
        "logo_1,logo_2,program_version,notes\r\n";
    for (const HistoryResult &r : rows) {
        std::string line = std::to_string(r.localId) + "," + HistoryIsoTime(r) + "," +
                           (r.source == HISTORY_SOURCE_TYPED ? "typed" : "tester") + "," +
                           Field(r.entry) + "," + Field(r.tCode);
        for (const auto &info : r.info)
            line += "," + Field(info);
        line += "," + Field(HistoryVerdictText(r.bRslt)) + "," + std::to_string(r.bRslt) + "," +
                Number(r.bVolt) + "," + std::to_string(r.setPoint) + "," + std::to_string(r.bCca);
        for (int32_t v : {r.system, r.soc, r.tComp, r.inVehicle, r.sys24V, r.sys6V, r.bType})
            line += "," + std::to_string(v);
        line += "," + Field(r.jisNo) + "," + Field(r.cCode) + "," + Field(r.ver);
        for (int32_t v : {r.b4aCh, r.sChrg, r.testNo, r.serNo})
            line += "," + std::to_string(v);
        line += "," + Field(r.logo0) + "," + Field(r.logo1) + "," + Field(r.programVersion) + "," +
                Field(r.notes) + "\r\n";
        csv += line;
    }
    return csv;
}

int HistoryWriteCsv(const std::string &path, const std::vector<HistoryResult> &rows) {
    // Written whole or not at all: a half export would look like a complete one.
    QSaveFile file(QString::fromStdString(path));
    if (!file.open(QIODevice::WriteOnly)) return HISTORY_ERR_WRITE;
    const std::string csv = HistoryCsv(rows);
    if (file.write(csv.data(), static_cast<qint64>(csv.size())) != static_cast<qint64>(csv.size()))
        return HISTORY_ERR_WRITE;
    return file.commit() ? 0 : HISTORY_ERR_WRITE;
}
