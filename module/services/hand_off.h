// Hand-offs to other host modules through the shell's run list. Each only
// edits the list; the caller then ends its own run.
#pragma once

// Empties the run list and queues the host's error-log viewer.
void hand_off_to_error_log();
// Empties the run list and queues the host's sign-on module.
void hand_off_to_sign_on();
// Empties the run list, queueing nothing.
void clear_run_list();
