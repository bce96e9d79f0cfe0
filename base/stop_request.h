// The program has been asked to end (SIGTERM, SIGINT, SIGHUP).
//
// A signal handler sets the flag (setting it is async-signal-safe); long
// actions look at it between their steps and give up early: a wait ends,
// a capture stops waiting for the remote, a macro run stops after its
// current line, the listeners drop the lines still queued. Only a
// transmission already under way finishes first. The flag stays set until
// the process ends (tests clear it).
#ifndef QEV_BASE_STOP_REQUEST_H
#define QEV_BASE_STOP_REQUEST_H

namespace qev {

// Safe to call from a signal handler.
void Request_Program_Stop() noexcept;
bool Program_Stop_Requested() noexcept;
// For tests that ask for a stop and go on.
void Clear_Program_Stop() noexcept;

}  // namespace qev

#endif
