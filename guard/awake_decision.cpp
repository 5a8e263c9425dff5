#include "guard/awake_decision.h"

#include "comlib/utility.h"
#include "guard/policy_rules.h"

namespace {
AwakeReason DecideBeforeBattery(const GuardInputs& in) {
    AwakeReason reason;
    if (in.session.active) {
        reason.kind = AwakeReason::Kind::Manual;
        reason.hasEnd = !in.session.indefinite;
        if (reason.hasEnd) {
            // The end on the local clock, at today's distance between the two clocks.
            const SYSTEMTIME end = CalendarParts(in.session.endUtc + (in.now.local - in.now.utc));
            reason.endHour = end.wHour;
            reason.endMinute = end.wMinute;
            reason.endMonth = end.wMonth;
            reason.endDay = end.wDay;
            reason.endDaysAway = CalendarDaysBetween(CalendarParts(in.now.local), end);
        }
        return reason;
    }
    if (!in.handed.empty()) {
        reason.kind = AwakeReason::Kind::HandedProcess;
        reason.fileName = in.handed.front().fileName;
        reason.processId = in.handed.front().processId;
        return reason;
    }
    if (in.watched && in.snapshot) {
        reason = WatchedProgramReason(*in.watched, *in.snapshot, in.frontFileName, in.atWork);
        if (reason.KeepsAwake()) return reason;
    }
    if (in.policyWatched && in.snapshot) {
        if (const WatchedProcess* match = in.policyWatched->FirstMatch(*in.snapshot)) {
            reason.kind = AwakeReason::Kind::WatchedProgram;
            reason.fileName = match->fileName;
            return reason;
        }
    }
    const SYSTEMTIME local = CalendarParts(in.now.local);
    if (HourKeepsAwake(in.hourTable, in.dayTable, local.wHour, local.wDayOfWeek)) {
        reason.kind = AwakeReason::Kind::MarkedHour;
        reason.hour = local.wHour;
        reason.weekday = local.wDayOfWeek;
    }
    return reason;
}
}  // namespace

GuardTime SystemGuardTime() {
    FILETIME utc = {};
    FILETIME local = {};
    ::GetSystemTimeAsFileTime(&utc);
    ::FileTimeToLocalFileTime(&utc, &local);
    GuardTime now;
    now.utc = FileTimeValue(utc);
    now.local = FileTimeValue(local);
    return now;
}

SYSTEMTIME CalendarParts(unsigned long long fileTime) {
    const FILETIME time = FileTimeOfValue(fileTime);
    SYSTEMTIME parts = {};
    ::FileTimeToSystemTime(&time, &parts);
    return parts;
}

AwakeReason DecideAwakeReason(const GuardInputs& inputs) {
    if (inputs.policies && PolicyDisabled(*inputs.policies)) {
        AwakeReason held;
        held.heldBack = AwakeReason::HeldBack::Organization;
        return held;
    }
    AwakeReason reason = ApplyBatteryRules(DecideBeforeBattery(inputs), inputs.awake, inputs.power);
    reason.windowsForbids = reason.KeepsAwake() && WindowsForbidsKeepingAwake(inputs.windowsAllows, inputs.power);
    return reason;
}
