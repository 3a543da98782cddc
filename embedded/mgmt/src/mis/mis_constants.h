// Values that more than one part of the MIS connection agrees on.
#pragma once

#include <chrono>
#include <cstdint>

namespace nxmp_mis {

// Marks an Event as one being delivered, for CurrentEvent's pointer checks.
inline constexpr std::uint32_t kLiveMagic = 0x4e58455a;  // "NXEZ"
// PostgreSQL wakes readers with a notification on this channel, whose
// payload is the journal key of the last entry committed.
inline constexpr const char* kJournalChannel = "nxmis_event";

// How long the process's exit waits for the dispatcher to stop. It may be
// inside a callback that entered the Java VM, which parks such threads for
// good while the process exits: it is then left running, never joined.
inline constexpr auto kExitWait = std::chrono::milliseconds(500);

}  // namespace nxmp_mis
