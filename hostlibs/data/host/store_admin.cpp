// The shared store's administration: making and upgrading its schema.
#include "hostlibs/host_setup.h"
#include "record_store/postgres/pg_connection.h"
#include "record_store/postgres/pg_schema.h"

namespace hostlibs {

bool init_store(const std::string& conninfo, std::string* error) {
    detail::PgConnection conn;
    return conn.open(conninfo, 2000, error) && detail::init_schema(conn, error);
}

}  // namespace hostlibs
