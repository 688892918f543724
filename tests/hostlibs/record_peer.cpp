// A second process on a data root, for tests of several processes on one file.
//   record_peer ROOT set KEY OFFSET TEXT   get-equal KEY, write TEXT at OFFSET, update;
//                                          exits with the update's status
//   record_peer ROOT hold MILLISECONDS     holds the devices file's write lock, printing
//                                          "locked" once it has it
#include <sqlite3.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "host_libraries.h"
#include "hostlibs/host_setup.h"

namespace {

int set_field(const std::string& root, const char* key, int offset, const char* text) {
    hostlibs::HostConfiguration config;
    config.root = root;
    std::string error;
    if (!hostlibs::open_host(config, &error)) {
        std::fprintf(stderr, "peer: %s\n", error.c_str());
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

int hold_lock(const std::string& root, int milliseconds) {
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

}  // namespace

int main(int argc, char** argv) {
    if (argc == 6 && std::strcmp(argv[2], "set") == 0 && std::strlen(argv[3]) == 8) {
        return set_field(argv[1], argv[3], std::atoi(argv[4]), argv[5]);
    }
    if (argc == 4 && std::strcmp(argv[2], "hold") == 0) {
        return hold_lock(argv[1], std::atoi(argv[3]));
    }
    std::fprintf(stderr, "usage: record_peer ROOT set KEY OFFSET TEXT | ROOT hold MS\n");
    return 102;
}
