// The module's entry point, as the host looks it up.
#pragma once

#include <stdint.h>

#include "platform/host_records.h"

// Runs the editor once; returns 0 when the editor has been closed.
extern "C" int32_t Appstart(HostContext* context);
