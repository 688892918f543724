// The host's error log: error_log(id, logged_at, user_id, record) in host.db.
#pragma once

namespace hostlibs::detail {

const char* error_log_schema();

}  // namespace hostlibs::detail
