#include "store_round_trips.h"

#include <dlfcn.h>
#include <libpq-fe.h>

#include <cstdio>
#include <cstdlib>

namespace {

RoundTrips g_counts;

// libpq's own definition of `name`, the one this program's stands in front of.
template <typename Function>
Function next_definition(const char* name) {
    void* found = dlsym(RTLD_NEXT, name);
    if (found == nullptr) {
        std::fprintf(stderr, "store_bench: libpq's %s not found: %s\n", name, dlerror());
        std::abort();
    }
    return reinterpret_cast<Function>(found);
}

}  // namespace

RoundTrips round_trips() {
    return g_counts;
}

// The program's definitions come first in the lookup of every library
// loaded, so the record store's calls arrive here too: the target exports
// them, and they are visible though the build hides symbols by default.
#define COUNTED __attribute__((visibility("default")))

extern "C" {

COUNTED PGresult* PQexec(PGconn* conn, const char* query) {
    static const auto real = next_definition<decltype(&PQexec)>("PQexec");
    ++g_counts.statements;
    return real(conn, query);
}

COUNTED PGresult* PQexecParams(PGconn* conn, const char* command, int count, const Oid* types,
                               const char* const* values, const int* lengths, const int* formats,
                               int result_format) {
    static const auto real = next_definition<decltype(&PQexecParams)>("PQexecParams");
    ++g_counts.statements;
    return real(conn, command, count, types, values, lengths, formats, result_format);
}

COUNTED PGresult* PQexecPrepared(PGconn* conn, const char* name, int count,
                                 const char* const* values, const int* lengths, const int* formats,
                                 int result_format) {
    static const auto real = next_definition<decltype(&PQexecPrepared)>("PQexecPrepared");
    ++g_counts.statements;
    return real(conn, name, count, values, lengths, formats, result_format);
}

COUNTED PGresult* PQprepare(PGconn* conn, const char* name, const char* query, int count,
                            const Oid* types) {
    static const auto real = next_definition<decltype(&PQprepare)>("PQprepare");
    ++g_counts.statements;
    return real(conn, name, query, count, types);
}

COUNTED PGconn* PQconnectdb(const char* conninfo) {
    static const auto real = next_definition<decltype(&PQconnectdb)>("PQconnectdb");
    ++g_counts.connections;
    return real(conninfo);
}

COUNTED void PQreset(PGconn* conn) {
    static const auto real = next_definition<decltype(&PQreset)>("PQreset");
    ++g_counts.connections;
    real(conn);
}

}  // extern "C"
