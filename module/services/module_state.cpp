#include "services/module_state.h"

HostContext* host_context = nullptr;
Screen* editor_screen = nullptr;

const char* module_name() {
    if (host_context == nullptr || host_context->identity == nullptr) {
        return "";
    }
    return host_context->identity->module_name;
}
