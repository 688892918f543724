// The host's libraries as host modules see them. Integers are 32-bit; where
// a result is 0 on success, any other value is a failure.
#pragma once

#include <stdint.h>

#include "platform/host_records.h"

#if defined(_WIN32)
#define HOSTLIB_API __declspec(dllimport)
#elif defined(HOSTLIB_BUILDING)
#define HOSTLIB_API __attribute__((visibility("default")))
#else
#define HOSTLIB_API
#endif

extern "C" {

// ---------------------------------------------------------------- host core

// Root and data directories; each ends in a backslash.
HOSTLIB_API const char* host_root_dir(void);
HOSTLIB_API const char* host_data_dir(void);
// 8 characters (not terminated), or null.
HOSTLIB_API const char* host_user_id(void);
HOSTLIB_API uint32_t host_user_no(void);
HOSTLIB_API uint32_t host_now(void);
HOSTLIB_API int host_error_log(const ErrorLogRequest* request);
HOSTLIB_API void host_trace(const char* format, ...);
HOSTLIB_API void host_leave(void);

// ---------------------------------------------------------------- record store

// Record operations (classic numbering).
enum RecordOperation : int {
    RS_UPDATE = 3,
    RS_GET_EQUAL = 5,
    RS_GET_NEXT = 6,
    RS_GET_PREVIOUS = 7,
    RS_GET_FIRST = 12,
    RS_GET_LAST = 13,
    RS_GET_POSITION = 22,
    RS_GET_DIRECT = 23,
};

// Record statuses (classic numbering); 0 is success.
enum RecordStatus : int {
    RS_OK = 0,
    RS_INVALID_OPERATION = 1,
    RS_IO_ERROR = 2,
    RS_NOT_OPEN = 3,
    RS_KEY_NOT_FOUND = 4,
    RS_DUPLICATE_KEY = 5,
    RS_INVALID_KEY_NUMBER = 6,
    RS_INVALID_POSITIONING = 8,
    RS_END_OF_FILE = 9,
    RS_BUFFER_TOO_SHORT = 22,
    RS_INVALID_RECORD_ADDRESS = 43,
    RS_CHANGED_BY_OTHER = 80,
    RS_RECORD_LOCKED = 84,
    RS_FILE_LOCKED = 85,
};

// Devices file: binds the DeviceRecord buffer, then operates on it. Get
// operations read into the buffer and leave the found key in the key buffer;
// get-position writes the 4-byte position into the key buffer; get-direct
// takes the position from the buffer's first 4 bytes; update writes the buffer
// over the current record. A call whose status is not 0 sets errno to the
// operating-system error nearest to it (ENOENT for a key not found, ESTALE
// for a record changed by another, EBUSY when locked, EIO for a failed read
// or write, ...); one that succeeds leaves errno alone.
HOSTLIB_API int rs_bind(DeviceRecord* record);
HOSTLIB_API int rs_call(int operation, void* key, int key_number);

// Settings file (SettingRecord buffers).
HOSTLIB_API int rs_settings_get_buffer(void** saved);
HOSTLIB_API int rs_settings_set_buffer(void* buffer);
HOSTLIB_API int rs_settings_call(int operation, void* key, int key_number);

// Password file (PasswordRecord buffers).
HOSTLIB_API int rs_password_get_buffer(void** saved);
HOSTLIB_API int rs_password_set_buffer(void* buffer);
HOSTLIB_API int rs_password_call(int operation, void* key, int key_number);

// ---------------------------------------------------------------- menu bar

typedef void (*MenuCommandFn)(int command);

// Installs the module's menu; the low 8 bits of the result are non-zero on success.
HOSTLIB_API int menubar_open(const char* menu_path, MenuCommandFn callback);
// Low 8 bits 1 when the menu bar consumed the key (a command may have run).
HOSTLIB_API int menubar_key(int key);
HOSTLIB_API void menubar_close(void);

// ---------------------------------------------------------------- shell

HOSTLIB_API int filelist_push(const RunListEntry* entry);
// Each returns non-zero when control is to pass to another module.
HOSTLIB_API int filelist_pop(void);
HOSTLIB_API int filelist_clear(void);
HOSTLIB_API int dohotkey(int n);
HOSTLIB_API int shellbar_doit(void);
HOSTLIB_API void shellbar_set_tech(void);

// ---------------------------------------------------------------- help

HOSTLIB_API int guidebook_go(const char* help_path, int context);

// ---------------------------------------------------------------- site directory

typedef uint32_t SiteDirectory;

enum : int { SITE_DEVICE_SIZE = 16, SITE_DEVICE_TEXT_SIZE = 80, SITE_DRIVER_SIZE = 200 };
enum : uint8_t { SITE_DEVICE_SCREEN_VIEWER = 7 };
enum : uint32_t { SITE_FLAG_HIDDEN = 0x20000, SITE_FLAG_DISABLED = 0x80000 };

HOSTLIB_API int site_open(SiteDirectory* handle);
HOSTLIB_API int site_close(SiteDirectory handle);
HOSTLIB_API int site_goto(SiteDirectory handle, uint32_t id);
// Walk the sites of a class; 0 when one was found, which becomes current.
HOSTLIB_API int site_first(SiteDirectory handle, int site_class);
HOSTLIB_API int site_next(SiteDirectory handle, int site_class);
HOSTLIB_API int site_prev(SiteDirectory handle, int site_class);
HOSTLIB_API int site_last(SiteDirectory handle, int site_class);
HOSTLIB_API int site_get_id(SiteDirectory handle, uint32_t* id);
// Copies `width` characters of the name, blank-padded, no terminator.
HOSTLIB_API int site_get_name(SiteDirectory handle, char* text, int width);
HOSTLIB_API int site_get_flags(SiteDirectory handle, uint32_t* flags);
// device: SITE_DEVICE_SIZE bytes, the first the device type; text:
// SITE_DEVICE_TEXT_SIZE bytes, terminated.
HOSTLIB_API int site_get_device(SiteDirectory handle, uint8_t* device, char* text);
// driver and parameters: SITE_DRIVER_SIZE bytes each, terminated.
HOSTLIB_API int site_get_connect(SiteDirectory handle, char* driver, char* parameters);
// Building a new site: site_new, the setters, then site_add (which makes it current).
HOSTLIB_API int site_new(SiteDirectory handle);
HOSTLIB_API int site_set_short_name(SiteDirectory handle, const char* text, int width);
HOSTLIB_API int site_set_name(SiteDirectory handle, const char* text, int width);
HOSTLIB_API int site_set_line(SiteDirectory handle, int line, const char* text);
HOSTLIB_API int site_set_connect(SiteDirectory handle, const char* driver, const char* parameters);
HOSTLIB_API int site_set_transfer(SiteDirectory handle, const char* driver, const char* parameters);
HOSTLIB_API int site_set_mode(SiteDirectory handle, int mode);
HOSTLIB_API int site_set_state(SiteDirectory handle, int state);
HOSTLIB_API int site_add(SiteDirectory handle);

// ---------------------------------------------------------------- job queue

typedef uint32_t JobHandle;

HOSTLIB_API int job_open(JobHandle* job);
// user: 4 characters, not terminated.
HOSTLIB_API int job_begin(JobHandle job, uint32_t site_id, const JobHeader* header,
                          const char* user, int reserved);
// type: only the low 16 bits count; type 4 takes a ReportFileJob and the job
// queue takes over its report file.
HOSTLIB_API int job_add(JobHandle job, int type, const void* data);
HOSTLIB_API int job_end(JobHandle job);
HOSTLIB_API int job_close(JobHandle job);

// ---------------------------------------------------------------- date, time, info, status

// Writes at most `size` characters of the date (8) or the time (5) of a clock
// value; the selectors choose the style.
HOSTLIB_API int date_format(uint32_t clock, int style, int separator, int order, char* buffer,
                            int size);
HOSTLIB_API int time_format(uint32_t clock, int style, int seconds, char* buffer, int size);
// Writes a fresh base name (at most 11 characters, terminated) for a new
// file, another one on every call; 0 on success.
HOSTLIB_API int info_file_name(char* buffer);
HOSTLIB_API int status_show(const StatusItem* item, int duration);

}  // extern "C"
