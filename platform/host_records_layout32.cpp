// Compiled only for a 32-bit target (syntax check): the records that hold
// pointers must put their fields where the host's 32-bit layout has them.
#include "platform/host_records.h"

static_assert(sizeof(void*) == 4, "compile this file for a 32-bit target");

static_assert(offsetof(HostContext, settings) == 8, "HostContext");
static_assert(offsetof(HostContext, popup_dir) == 12, "HostContext");
static_assert(offsetof(HostContext, identity) == 16, "HostContext");
static_assert(offsetof(HostContext, user) == 24, "HostContext");
static_assert(offsetof(HostContext, return_flag) == 36, "HostContext");
static_assert(offsetof(HostContext, current_screen) == 40, "HostContext");
static_assert(offsetof(HostContext, screen_word) == 44, "HostContext");
static_assert(offsetof(HostContext, language_changed) == 48, "HostContext");
static_assert(offsetof(HostContext, message_text) == 52, "HostContext");

static_assert(sizeof(ErrorLogRequest) == 452, "ErrorLogRequest");
static_assert(offsetof(ErrorLogRequest, field12) == 12, "ErrorLogRequest");
static_assert(offsetof(ErrorLogRequest, record) == 16, "ErrorLogRequest");
static_assert(offsetof(ErrorLogRequest, record_length) == 20, "ErrorLogRequest");
static_assert(offsetof(ErrorLogRequest, field44) == 44, "ErrorLogRequest");

static_assert(sizeof(StatusItem) == 20, "StatusItem");
static_assert(offsetof(StatusItem, text) == 16, "StatusItem");
