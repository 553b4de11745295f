// Record type and level of the process-wide log, shared by logging and progress reporting.
#pragma once

namespace TE_KrLogMsgType {
/// The type character of a log record.
enum TKrLogMsgType : int { lmtError = 'E', lmtWarning = 'W', lmtInfo = 'I' };
} // namespace TE_KrLogMsgType
using TKrLogMsgType = TE_KrLogMsgType::TKrLogMsgType;

/// Record level 0..5, lower is more important: 2 retry warnings, 3 ordinary records, 5 debug detail.
using TKrLogMsgLevel = int;
