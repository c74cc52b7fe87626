// modGetInfo: one audit of the machine into the agent's current record.
//
// The caller empties the record and sets its ListenPortNumber first, and
// serialises it afterwards. getInfo runs getHardware (keyboard, printers,
// processor, memory, video, sound, drives, network), then getSoftware
// (Windows facts, applications), then stamps AuditDate with getNow, so the
// date marks the end of collection. Each wrapper replaces its section whole
// with what its collector returns (never merged with an earlier audit); a
// collector that fails part-way has reported and returns its partial
// section; a wrapper that fails leaves its section empty and reports as
// "QuorvanePro.modGetInfo.<wrapper>". The audit is always completed.
#pragma once

#include <chrono>
#include <string>

#include "agent/collect/CollectContext.h"
#include "common/AuditRecord.h"

namespace quorvane::agent {

void getInfo(AuditRecord& record, const CollectContext& ctx);
void getHardware(AuditRecord& record, const CollectContext& ctx);
void getSoftware(AuditRecord& record, const CollectContext& ctx);

// "dd/mm/yyyy hh:mm:ss" of the audited machine's local time.
std::string getNow(const CollectContext& ctx);
std::string formatAuditDate(const platform::CalendarTime& time);

// The thin wrappers, in the order getHardware and getSoftware call them.
KeyboardInfo getKeyboardInfo(const CollectContext& ctx);
void getPrinterInfo(HardwareInfo& hardware, const CollectContext& ctx);
ProcessorInfo getProcessorInfo(const CollectContext& ctx);
MemoryInfo getMemoryInfo(const CollectContext& ctx);
VideoInfo getVideoInfo(const CollectContext& ctx);
SoundInfo getSoundInfo(const CollectContext& ctx);
Array<DriveInfo> getDrivesInfo(const CollectContext& ctx);
NetworkInfo getNetworkInfo(const CollectContext& ctx);
WindowsInfo getWindowsInfo(const CollectContext& ctx);
Array<ApplicationInfo> getApplicationsInfo(const CollectContext& ctx);

}  // namespace quorvane::agent
