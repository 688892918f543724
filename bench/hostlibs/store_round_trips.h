// Counts the round trips to the server that this process makes through
// libpq, the record store's and the bare client's alike: the program defines
// libpq's synchronous calls itself, counts each one and hands it on to
// libpq. Each such call sends its messages and waits for the answer, so one
// call is one round trip; a connection (start-up and authentication) is
// counted apart.
#pragma once

#include <cstdint>

struct RoundTrips {
    int64_t statements = 0;   // PQexec, PQexecParams, PQexecPrepared, PQprepare
    int64_t connections = 0;  // PQconnectdb, PQreset
};

// The counts so far in this process.
RoundTrips round_trips();
