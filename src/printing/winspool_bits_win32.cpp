// Compile-time check that the status mapping's restated winspool bits are the system's.
#include <windows.h>
#include <winspool.h>

#include "printing/winspool_bits.h"

namespace sv::printing {
namespace bits = winspool_bits;

static_assert(bits::kPaused == PRINTER_STATUS_PAUSED && bits::kError == PRINTER_STATUS_ERROR &&
              bits::kPaperJam == PRINTER_STATUS_PAPER_JAM &&
              bits::kPaperOut == PRINTER_STATUS_PAPER_OUT &&
              bits::kManualFeed == PRINTER_STATUS_MANUAL_FEED &&
              bits::kPaperProblem == PRINTER_STATUS_PAPER_PROBLEM &&
              bits::kOffline == PRINTER_STATUS_OFFLINE &&
              bits::kIoActive == PRINTER_STATUS_IO_ACTIVE && bits::kBusy == PRINTER_STATUS_BUSY &&
              bits::kPrinting == PRINTER_STATUS_PRINTING &&
              bits::kOutputFull == PRINTER_STATUS_OUTPUT_BIN_FULL &&
              bits::kNotAvailable == PRINTER_STATUS_NOT_AVAILABLE &&
              bits::kProcessing == PRINTER_STATUS_PROCESSING &&
              bits::kInitializing == PRINTER_STATUS_INITIALIZING &&
              bits::kWarmingUp == PRINTER_STATUS_WARMING_UP &&
              bits::kTonerLow == PRINTER_STATUS_TONER_LOW &&
              bits::kNoToner == PRINTER_STATUS_NO_TONER &&
              bits::kUserIntervention == PRINTER_STATUS_USER_INTERVENTION &&
              bits::kOutOfMemory == PRINTER_STATUS_OUT_OF_MEMORY &&
              bits::kDoorOpen == PRINTER_STATUS_DOOR_OPEN &&
              bits::kServerUnknown == PRINTER_STATUS_SERVER_UNKNOWN);
#ifdef PRINTER_STATUS_SERVER_OFFLINE
static_assert(bits::kServerOffline == PRINTER_STATUS_SERVER_OFFLINE);
#endif
static_assert(bits::kWorkOffline == PRINTER_ATTRIBUTE_WORK_OFFLINE);
static_assert(bits::kJobError == JOB_STATUS_ERROR && bits::kJobDeleting == JOB_STATUS_DELETING &&
              bits::kJobPrinting == JOB_STATUS_PRINTING &&
              bits::kJobOffline == JOB_STATUS_OFFLINE &&
              bits::kJobPaperOut == JOB_STATUS_PAPEROUT &&
              bits::kJobPrinted == JOB_STATUS_PRINTED && bits::kJobDeleted == JOB_STATUS_DELETED &&
              bits::kJobBlocked == JOB_STATUS_BLOCKED_DEVQ &&
              bits::kJobUserIntervention == JOB_STATUS_USER_INTERVENTION &&
              bits::kJobComplete == JOB_STATUS_COMPLETE);

}  // namespace sv::printing
