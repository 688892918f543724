// State of the running call, stored by the entry point and read by every
// part of the module until the entry point returns.
#pragma once

#include "platform/host_records.h"

struct Screen;

// The host's context record of the running call.
extern HostContext* host_context;
// The editor screen while it is loaded; null otherwise.
extern Screen* editor_screen;

// The module name of ModuleIdentity: the source name of every error report.
const char* module_name();
