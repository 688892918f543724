// The record store's C interface over the devices, settings and password
// files, and the set-up access of host_setup.h.
#include <array>
#include <cerrno>
#include <cstring>

#include "core/c_boundary.h"
#include "host/host_state.h"
#include "platform/fixed_text.h"
#include "platform/host_libraries.h"
#include "record_store/password_file.h"
#include "record_store/password_throttle.h"
#include "record_store/sodium_library.h"

namespace hostlibs {

namespace {

using detail::RecordFile;

// One of the open host's record files, or null when no host is open.
RecordFile* open_file(RecordFile detail::HostState::*file) {
    detail::HostState* host = detail::host_state();
    return host != nullptr ? &(host->*file) : nullptr;
}

RecordFile* devices() {
    return open_file(&detail::HostState::devices);
}
RecordFile* settings() {
    return open_file(&detail::HostState::settings);
}
RecordFile* passwords() {
    return open_file(&detail::HostState::passwords);
}

// The operating-system error nearest to a record status.
int system_error_of(int status) {
    switch (status) {
        case RS_NOT_OPEN:
            return EBADF;
        case RS_KEY_NOT_FOUND:
            return ENOENT;
        case RS_END_OF_FILE:
            return ENODATA;
        case RS_DUPLICATE_KEY:
            return EEXIST;
        case RS_BUFFER_TOO_SHORT:
            return ENOBUFS;
        case RS_CHANGED_BY_OTHER:
            return ESTALE;
        case RS_RECORD_LOCKED:
        case RS_FILE_LOCKED:
            return EBUSY;
        case RS_INVALID_OPERATION:
        case RS_INVALID_KEY_NUMBER:
        case RS_INVALID_POSITIONING:
        case RS_INVALID_RECORD_ADDRESS:
            return EINVAL;
        default:
            return EIO;
    }
}

// A failed call leaves errno saying why (callers put it in their error
// records); a call that succeeds leaves errno alone.
int with_reason(int status) {
    if (status != RS_OK) {
        errno = system_error_of(status);
    }
    return status;
}

int call(RecordFile* file, int operation, void* key, int key_number) {
    return with_reason(file != nullptr ? file->call(operation, key, key_number) : RS_NOT_OPEN);
}

int get_buffer(RecordFile* file, void** saved) {
    if (file == nullptr) {
        return RS_NOT_OPEN;
    }
    if (saved == nullptr) {
        return RS_BUFFER_TOO_SHORT;
    }
    *saved = file->bound();
    return RS_OK;
}

int set_buffer(RecordFile* file, void* buffer) {
    if (file == nullptr) {
        return RS_NOT_OPEN;
    }
    file->bind(buffer);
    return RS_OK;
}

bool not_open(std::string* error) {
    if (error != nullptr) {
        *error = "host not open";
    }
    return false;
}

template <typename Record>
bool put_records(RecordFile* file, const Record* records, size_t count, std::string* error) {
    if (file == nullptr) {
        return not_open(error);
    }
    std::string reason;
    try {
        // The records are byte-exact and contiguous: they are written as their bytes.
        if (file->put_all(reinterpret_cast<const uint8_t*>(records), count, &reason)) {
            return true;
        }
    } catch (const std::exception& e) {
        reason = e.what();
    }
    if (error != nullptr) {
        *error = reason;
    }
    return false;
}

template <typename Record>
bool visit_records(RecordFile* file, const std::function<bool(const Record&)>& visit,
                   std::string* error) {
    if (file == nullptr) {
        return not_open(error);
    }
    std::string reason;
    bool ok = false;
    try {
        ok = file->for_each(
            [&](const uint8_t* bytes) {
                Record record;
                std::memcpy(&record, bytes, sizeof record);
                return visit(record);
            },
            &reason);
    } catch (const std::exception& e) {
        reason = e.what();
    }
    if (!ok && error != nullptr) {
        *error = reason;
    }
    return ok;
}

}  // namespace

bool put_devices(const std::vector<DeviceRecord>& records, std::string* error) {
    return put_records(devices(), records.data(), records.size(), error);
}

bool for_each_device(const std::function<bool(const DeviceRecord&)>& visit, std::string* error) {
    return visit_records(devices(), visit, error);
}

bool delete_device(const char key[8], std::string* error) {
    RecordFile* file = devices();
    if (file == nullptr) {
        return not_open(error);
    }
    uint8_t bytes[8];
    std::memcpy(bytes, key, sizeof bytes);
    std::string reason;
    if (file->remove(bytes, &reason)) {
        return true;
    }
    if (error != nullptr) {
        *error = reason;
    }
    return false;
}

bool put_setting(const SettingRecord& record, std::string* error) {
    return put_records(settings(), &record, 1, error);
}

bool put_password(const PasswordRecord& record, std::string* error) {
    detail::HostState* host = detail::host_state();
    if (host == nullptr) {
        return not_open(error);
    }
    std::string hash;
    if (!detail::hash_password(reinterpret_cast<const uint8_t*>(record.password), &hash)) {
        if (error != nullptr) {
            *error = "cannot hash the password";
        }
        return false;
    }
    PasswordRecord stored = record;
    std::memset(stored.password, ' ', sizeof stored.password);
    const auto* name = reinterpret_cast<const uint8_t*>(stored.name);
    std::string reason;
    try {
        if (host->passwords.put_all(
                reinterpret_cast<const uint8_t*>(&stored), 1, &reason,
                [&](detail::RecordStorage& storage) { return storage.store_hash(name, hash); })) {
            return true;
        }
    } catch (const std::exception& e) {
        reason = e.what();
    }
    if (error != nullptr) {
        *error = reason;
    }
    return false;
}

bool put_setting_text(const std::string& key, const std::string& value, std::string* error) {
    size_t start = key.find_first_not_of(' ');
    std::string trimmed = start == std::string::npos ? std::string() : key.substr(start);
    if (trimmed.size() > sizeof(SettingRecord::key)) {
        if (error != nullptr) {
            *error = "setting key longer than 40 characters";
        }
        return false;
    }
    if (value.size() >= sizeof(SettingRecord::value)) {
        if (error != nullptr) {
            *error = "setting value longer than 79 characters";
        }
        return false;
    }
    SettingRecord record;
    copy_padded_bytes(record.key, trimmed, sizeof record.key);
    std::memset(record.value, 0, sizeof record.value);
    std::memcpy(record.value, value.data(), value.size());
    return put_setting(record, error);
}

bool for_each_setting(const std::function<bool(const SettingRecord&)>& visit, std::string* error) {
    return visit_records(settings(), visit, error);
}

bool for_each_password(const std::function<bool(const PasswordRecord&)>& visit,
                       std::string* error) {
    return visit_records(passwords(), visit, error);
}

}  // namespace hostlibs

using namespace hostlibs;

namespace {

// Get-equal finds the record by name and verifies the typed password against
// the name's hash (a record of an older file, kept under a hashed key, is
// found by that key); the caller's buffer gets the typed password back, as
// if it were stored. Update keeps the stored password unless the buffer's
// password bytes differ from those the last read handed over, which then
// become the new password.
int check_password(RecordFile& file, std::array<uint8_t, detail::kPasswordSize>& delivered,
                   const uint8_t* key) {
    using detail::kPasswordNameSize;
    uint8_t lookup[detail::kPasswordKeySize];
    std::memcpy(lookup, key, sizeof lookup);
    const uint8_t* typed = key + kPasswordNameSize;
    std::string hash;
    const int found = file.storage()->find_hash(lookup, &hash);
    if (found == RS_OK) {
        if (!detail::password_matches(hash, typed)) {
            return RS_KEY_NOT_FOUND;
        }
        std::memset(lookup + kPasswordNameSize, ' ', detail::kPasswordSize);
    } else if (found != RS_KEY_NOT_FOUND) {
        return found;
    } else if (!detail::older_password_key(lookup)) {
        return RS_IO_ERROR;
    }
    const int status = file.call(RS_GET_EQUAL, lookup, 0);
    if (status == RS_OK) {
        std::memcpy(static_cast<uint8_t*>(file.bound()) + kPasswordNameSize, typed,
                    detail::kPasswordSize);
        std::memcpy(delivered.data(), typed, detail::kPasswordSize);
    }
    return status;
}

// Every try goes through the name's throttle (password_throttle.h) first:
// within its wait a try is refused unchecked, and the name's failures are
// counted in the store, where no new process or other workstation escapes them.
int get_password(detail::HostState& host, RecordFile& file, const uint8_t* key) {
    host.password_wait = {};
    if (detail::sodium_library() == nullptr) {
        return RS_IO_ERROR;  // no password can be checked; the error log says why
    }
    const int64_t first_wait = host.configuration.first_password_wait_ms;
    const detail::PasswordTry taken = detail::begin_password_try(*file.storage(), key, first_wait);
    if (taken.status != RS_OK) {
        host.password_wait = {taken.wait_left_ms > 0, taken.wait_left_ms};
        return taken.status;
    }
    const int status = check_password(file, host.password_delivered, key);
    host.password_wait.wait_ms =
        detail::end_password_try(*file.storage(), key, taken, status == RS_OK, first_wait);
    return status;
}

int update_password(RecordFile& file, std::array<uint8_t, detail::kPasswordSize>& delivered,
                    void* key) {
    using detail::kPasswordNameSize;
    auto* buffer = static_cast<uint8_t*>(file.bound());
    std::array<uint8_t, detail::kPasswordSize> password{};
    std::memcpy(password.data(), buffer + kPasswordNameSize, password.size());
    const bool changed = password != delivered;
    std::string hash;
    if (changed && !detail::hash_password(password.data(), &hash)) {
        return RS_IO_ERROR;
    }
    // The record itself keeps its password part as stored.
    std::memset(buffer + kPasswordNameSize, ' ', password.size());
    int status = file.call(RS_UPDATE, key, 0);
    std::memcpy(buffer + kPasswordNameSize, password.data(), password.size());
    if (status == RS_OK && changed) {
        status = file.storage()->store_hash(buffer, hash);
        if (status == RS_OK) {
            delivered = password;
        }
    }
    return status;
}

int call_passwords(int operation, void* key, int key_number) {
    detail::HostState* host = detail::host_state();
    RecordFile* file = passwords();
    if (host == nullptr || file == nullptr || file->bound() == nullptr || key_number != 0 ||
        !file->ensure_open(nullptr)) {
        return call(file, operation, key, key_number);
    }
    std::array<uint8_t, detail::kPasswordSize>& delivered = host->password_delivered;
    if (operation == RS_GET_EQUAL) {
        return key == nullptr ? RS_BUFFER_TOO_SHORT
                              : get_password(*host, *file, static_cast<const uint8_t*>(key));
    }
    if (operation == RS_UPDATE) {
        return update_password(*file, delivered, key);
    }
    // Other reads hand over the stored password part.
    const int status = file->call(operation, key, key_number);
    if (status == RS_OK && operation != RS_GET_POSITION) {
        std::memcpy(delivered.data(),
                    static_cast<uint8_t*>(file->bound()) + detail::kPasswordNameSize,
                    detail::kPasswordSize);
    }
    return status;
}

}  // namespace

extern "C" {

int rs_bind(DeviceRecord* record) {
    return set_buffer(devices(), record);
}

int rs_call(int operation, void* key, int key_number) {
    return call(devices(), operation, key, key_number);
}

int rs_settings_get_buffer(void** saved) {
    return get_buffer(settings(), saved);
}

int rs_settings_set_buffer(void* buffer) {
    return set_buffer(settings(), buffer);
}

int rs_settings_call(int operation, void* key, int key_number) {
    return call(settings(), operation, key, key_number);
}

int rs_password_get_buffer(void** saved) {
    return get_buffer(passwords(), saved);
}

int rs_password_set_buffer(void* buffer) {
    return set_buffer(passwords(), buffer);
}

int rs_password_call(int operation, void* key, int key_number) {
    return with_reason(hostlibs::detail::guarded(
        static_cast<int>(RS_IO_ERROR), [&] { return call_passwords(operation, key, key_number); }));
}

}  // extern "C"
