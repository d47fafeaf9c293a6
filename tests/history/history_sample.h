// A stored result with every field set to a value of its own, for the history suites and drill.
#pragma once

#include "history/history.h"

inline HistoryResult SampleResult(int32_t number, int source) {
    HistoryResult r;
    r.source = source;
    r.shownUtc = 1'765'000'000 + number;
    r.utcOffset = 3600;
    r.programVersion = "1.0";
    r.logo0 = "LOGO-A";
    r.logo1 = "LOGO-B";
    r.info = {"BT-SIM 500", "SW V2.14", "12-07-2026", "OP L.DUPONT", "KX-042-PL", "GARAGE NORD"};
    r.sys24V = 1;
    r.inVehicle = 1;
    r.setPoint = 640;
    r.system = 5;
    r.jisNo = "80D26R";
    r.bVolt = 12.45;
    r.bCca = 512;
    r.bRslt = 2;
    r.bType = 3;
    r.soc = 1;
    r.tCode = "AB12 CD34";
    r.cCode = "CD34AB12";
    r.ver = "V2.14";
    r.tComp = 1;
    r.b4aCh = 1;
    r.sChrg = 1;
    r.sys6V = 0;
    r.testNo = number;
    r.serNo = 40000 + number;
    r.entry = "REF-" + std::to_string(number);
    r.notes = "note " + std::to_string(number);
    return r;
}
