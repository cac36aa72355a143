// The winspool status bits that the status mapping reads, restated so that the mapping
// builds and is tested without the Windows headers; winspool_bits_win32.cpp checks every
// value against winspool.h.
#pragma once

#include <cstdint>

namespace sv::printing::winspool_bits {

// PRINTER_INFO_2 Status.
constexpr std::uint32_t kPaused = 0x1, kError = 0x2, kPaperJam = 0x8, kPaperOut = 0x10,
                        kManualFeed = 0x20, kPaperProblem = 0x40, kOffline = 0x80,
                        kIoActive = 0x100, kBusy = 0x200, kPrinting = 0x400, kOutputFull = 0x800,
                        kNotAvailable = 0x1000, kProcessing = 0x4000, kInitializing = 0x8000,
                        kWarmingUp = 0x10000, kTonerLow = 0x20000, kNoToner = 0x40000,
                        kUserIntervention = 0x100000, kOutOfMemory = 0x200000, kDoorOpen = 0x400000,
                        kServerUnknown = 0x800000, kServerOffline = 0x2000000;
// PRINTER_INFO_2 Attributes.
constexpr std::uint32_t kWorkOffline = 0x400;
// JOB_INFO_1 Status.
constexpr std::uint32_t kJobError = 0x2, kJobDeleting = 0x4, kJobPrinting = 0x10,
                        kJobOffline = 0x20, kJobPaperOut = 0x40, kJobPrinted = 0x80,
                        kJobDeleted = 0x100, kJobBlocked = 0x200, kJobUserIntervention = 0x400,
                        kJobComplete = 0x1000;

}  // namespace sv::printing::winspool_bits
