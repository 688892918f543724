// A second process on a data root, for tests of several processes on one file.
//   record_peer ROOT set KEY OFFSET TEXT   get-equal KEY, write TEXT at OFFSET, update;
//                                          exits with the update's status
//   record_peer ROOT put KEY INSTRUMENT    inserts or replaces one record (status 1)
//   record_peer ROOT del KEY               deletes one record
//   record_peer ROOT hold MILLISECONDS     holds the devices file's write lock, printing
//                                          "locked" once it has it
//   record_peer ROOT guess NAME PASSWORD FIRST_WAIT_MS
//                                          one password get-equal, printing "refused MS"
//                                          or "checked MS" (password_wait()); exits with
//                                          its status
// With DEVGROUP_PEER_STORE set, the root's records are in that shared store.
#include <libpq-fe.h>
#include <sqlite3.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "hostlibs/host_setup.h"
#include "platform/host_libraries.h"

namespace {

// The shared store the test's own process uses, or null for SQLite.
const char* shared_store() {
    return std::getenv("DEVGROUP_PEER_STORE");
}

bool open_root(const std::string& root, int64_t first_password_wait_ms = 1000) {
    hostlibs::HostConfiguration config;
    config.root = root;
    config.first_password_wait_ms = first_password_wait_ms;
    if (shared_store() != nullptr) {
        config.store = shared_store();
    }
    std::string error;
    if (!hostlibs::open_host(config, &error)) {
        std::fprintf(stderr, "peer: %s\n", error.c_str());
        return false;
    }
    return true;
}

int set_field(const std::string& root, const char* key, int offset, const char* text) {
    if (!open_root(root)) {
        return 100;
    }
    DeviceRecord record;
    std::memset(&record, 0, sizeof record);
    rs_bind(&record);
    char key_buffer[8];
    std::memcpy(key_buffer, key, sizeof key_buffer);
    int status = rs_call(RS_GET_EQUAL, key_buffer, 0);
    if (status == 0) {
        const size_t length = std::strlen(text);
        if (offset < 0 || static_cast<size_t>(offset) + length > sizeof record) {
            return 101;
        }
        std::memcpy(reinterpret_cast<char*>(&record) + offset, text, length);
        status = rs_call(RS_UPDATE, &record, 0);
    }
    hostlibs::close_host();
    return status;
}

// Inserts or replaces (put) or deletes (del) one devices record; 0 on success.
int change_record(const std::string& root, bool put, const char* key, const char* instrument) {
    if (!open_root(root)) {
        return 100;
    }
    DeviceRecord record;
    std::memset(&record, ' ', sizeof record);
    std::memcpy(record.key, key, sizeof record.key);
    std::memcpy(record.instrument, instrument,
                std::min(std::strlen(instrument), sizeof record.instrument));
    record.status = 1;
    std::string error;
    const bool ok =
        put ? hostlibs::put_devices({record}, &error) : hostlibs::delete_device(key, &error);
    hostlibs::close_host();
    if (!ok) {
        std::fprintf(stderr, "peer: %s\n", error.c_str());
    }
    return ok ? 0 : 103;
}

// Holds the shared devices table against writers; readers go on.
int hold_shared_lock(int milliseconds) {
    PGconn* conn = PQconnectdb(shared_store());
    PGresult* result = PQexec(conn, "BEGIN; LOCK TABLE devices IN EXCLUSIVE MODE");
    const bool locked = PQresultStatus(result) == PGRES_COMMAND_OK;
    PQclear(result);
    if (locked) {
        std::printf("locked\n");
        std::fflush(stdout);
        usleep(static_cast<useconds_t>(milliseconds) * 1000);
        PQclear(PQexec(conn, "COMMIT"));
    } else {
        std::fprintf(stderr, "peer: %s", PQerrorMessage(conn));
    }
    PQfinish(conn);
    return locked ? 0 : 100;
}

int hold_lock(const std::string& root, int milliseconds) {
    if (shared_store() != nullptr) {
        return hold_shared_lock(milliseconds);
    }
    sqlite3* db = nullptr;
    std::string path = root + "/DATA/devices.db";
    if (sqlite3_open(path.c_str(), &db) != SQLITE_OK ||
        sqlite3_exec(db, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr) != SQLITE_OK) {
        sqlite3_close(db);
        return 100;
    }
    std::printf("locked\n");
    std::fflush(stdout);
    usleep(static_cast<useconds_t>(milliseconds) * 1000);
    sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr);
    sqlite3_close(db);
    return 0;
}

int guess(const std::string& root, const char* name, const char* password, int64_t first_wait) {
    if (!open_root(root, first_wait)) {
        return 100;
    }
    PasswordRecord record{};
    rs_password_set_buffer(&record);
    char key[sizeof record.name + sizeof record.password];
    std::memset(key, ' ', sizeof key);
    std::memcpy(key, name, std::min(std::strlen(name), sizeof record.name));
    std::memcpy(key + sizeof record.name, password,
                std::min(std::strlen(password), sizeof record.password));
    const int status = rs_password_call(RS_GET_EQUAL, key, 0);
    const hostlibs::PasswordWait wait = hostlibs::password_wait();
    std::printf("%s %lld\n", wait.refused ? "refused" : "checked",
                static_cast<long long>(wait.wait_ms));
    hostlibs::close_host();
    return status;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc == 6 && std::strcmp(argv[2], "set") == 0 && std::strlen(argv[3]) == 8) {
        return set_field(argv[1], argv[3], std::atoi(argv[4]), argv[5]);
    }
    if (argc == 5 && std::strcmp(argv[2], "put") == 0 && std::strlen(argv[3]) == 8) {
        return change_record(argv[1], true, argv[3], argv[4]);
    }
    if (argc == 4 && std::strcmp(argv[2], "del") == 0 && std::strlen(argv[3]) == 8) {
        return change_record(argv[1], false, argv[3], "");
    }
    if (argc == 4 && std::strcmp(argv[2], "hold") == 0) {
        return hold_lock(argv[1], std::atoi(argv[3]));
    }
    if (argc == 6 && std::strcmp(argv[2], "guess") == 0) {
        return guess(argv[1], argv[3], argv[4], std::atoll(argv[5]));
    }
    std::fprintf(stderr,
                 "usage: record_peer ROOT set KEY OFFSET TEXT | put KEY TEXT | del KEY | hold MS"
                 " | guess NAME PASSWORD FIRST_WAIT_MS\n");
    return 102;
}
