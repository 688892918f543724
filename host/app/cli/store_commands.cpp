#include "cli/store_commands.h"

#include <iostream>

#include "cli/subcommands.h"
#include "hostlibs/host_setup.h"
#include "hostlibs/printable.h"
#include "root/host_config.h"

namespace hostapp {
namespace {

void print_line(const std::string& label, const std::string& value) {
    std::cout << label << std::string(label.size() < 16 ? 17 - label.size() : 1, ' ')
              << hostlibs::printable(value) << "\n";
}

std::string counted(int64_t count, const char* one, const char* many) {
    return std::to_string(count) + " " + (count == 1 ? one : many);
}

void print_facts(const hostlibs::StoreFacts& facts) {
    if (facts.backend == "sqlite") {
        print_line("backend", "sqlite (SQLite " + facts.engine_version + ")");
        print_line("data", facts.location);
    } else {
        print_line("backend", "postgresql");
        print_line("server", facts.location);
        print_line("server version", facts.engine_version);
        print_line("schema version", std::to_string(facts.schema_version) + " (this program's: " +
                                         std::to_string(facts.program_version) + ")");
    }
    for (const hostlibs::StoreFileFacts& file : facts.files) {
        std::string line = counted(file.records, "record", "records") + ", " +
                           counted(file.journal_rows, "journal row", "journal rows");
        if (file.file == "passwords") {
            line += ", " + counted(facts.password_hashes, "password hash", "password hashes");
        }
        print_line(file.file, line);
    }
    print_line("sites", std::to_string(facts.sites));
}

}  // namespace

int store_status_command() {
    hostlibs::StoreFacts facts;
    std::string error;
    if (!hostlibs::store_facts(&facts, &error)) {
        return command_failed("store status: " + error);
    }
    print_facts(facts);
    return 0;
}

int store_init_command(const std::string& root, const std::string& grant_role) {
    HostConfig config;
    std::string error;
    if (!load_host_config(root, &config, &error)) {
        return command_failed(error);
    }
    if (config.store.empty()) {
        if (!grant_role.empty()) {
            return command_failed(
                "store init: this root keeps its register in SQLite files under DATA/; --grant "
                "needs a shared store (a store line in host.conf)");
        }
        std::cout << "this root keeps its register in SQLite files under DATA/; nothing needs "
                     "making\n";
        return 0;
    }
    hostlibs::StoreInit done;
    if (!hostlibs::init_store(config.store, &error, &done, grant_role)) {
        return command_failed("store init: " + error);
    }
    if (done.found_version == done.version) {
        std::cout << "schema at version " << done.version << ", nothing to do\n";
    } else if (done.found_version == 0) {
        std::cout << "made schema version " << done.version << "\n";
    } else {
        std::cout << "made schema version " << done.version << " (from version "
                  << done.found_version << ")\n";
    }
    if (!grant_role.empty()) {
        std::cout << "granted " << hostlibs::printable(grant_role) << " the workstations' rights\n";
    }
    return 0;
}

int store_copy_command(const std::string& target) {
    hostlibs::StoreFacts copied;
    std::string error;
    if (!hostlibs::copy_store(target, &copied, &error)) {
        return command_failed("store copy: " + error);
    }
    std::cout << "copied this root's register into the shared store:\n";
    print_facts(copied);
    return 0;
}

}  // namespace hostapp
