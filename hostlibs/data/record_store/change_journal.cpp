#include "record_store/change_journal.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "platform/fixed_text.h"

namespace hostlibs::detail {

namespace {

std::string trimmed(const std::string& bytes) {
    return std::string(fixed_text(bytes.data(), bytes.size()));
}

// A field's bytes as an operator reads them.
std::string readable_value(const RecordField* field, const std::string& bytes) {
    if (field == nullptr || field->shape == FieldShape::kSecret) {
        return field == nullptr ? trimmed(bytes) : "(hidden)";
    }
    if (field->shape == FieldShape::kText) {
        return trimmed(bytes);
    }
    uint64_t value = 0;
    for (size_t i = std::min<size_t>(bytes.size(), 8); i-- > 0;) {
        value = (value << 8) | static_cast<uint8_t>(bytes[i]);
    }
    char number[32];
    std::snprintf(number, sizeof number, field->shape == FieldShape::kHex ? "0x%08llX" : "%llu",
                  static_cast<unsigned long long>(value));
    return number;
}

}  // namespace

std::optional<JournalRows> ChangeJournal::rows(const uint8_t* before, const uint8_t* after) {
    if (!stamp_) {
        return std::nullopt;
    }
    const JournalStamp stamp = stamp_();
    JournalRows rows;
    rows.file = layout_.file_name;
    rows.time = stamp.time;
    rows.user = stamp.user;
    rows.login = stamp.login;
    // The key as journalled: a secret inside it (the password file's key
    // holds the password) is blanked.
    const size_t key_size = std::min(static_cast<size_t>(layout_.key_size), key_.size());
    std::memcpy(key_.data(), after, key_size);
    for (int i = 0; i < layout_.field_count; ++i) {
        const RecordField& field = layout_.fields[i];
        if (field.shape == FieldShape::kSecret && static_cast<size_t>(field.offset) < key_size) {
            const size_t end = std::min(key_size, static_cast<size_t>(field.offset + field.width));
            std::memset(key_.data() + field.offset, ' ', end - static_cast<size_t>(field.offset));
        }
    }
    rows.key = std::span<const uint8_t>(key_.data(), key_size);
    for (int i = 0; i < layout_.field_count; ++i) {
        const RecordField& field = layout_.fields[i];
        const size_t width = static_cast<size_t>(field.width);
        const uint8_t* old_bytes = before != nullptr ? before + field.offset : nullptr;
        const uint8_t* new_bytes = after + field.offset;
        if (old_bytes != nullptr && std::memcmp(old_bytes, new_bytes, width) == 0) {
            continue;
        }
        // A secret is journalled as changed, never with its bytes.
        const bool secret = field.shape == FieldShape::kSecret;
        JournalRow row;
        row.field = field.name;
        row.has_old = old_bytes != nullptr;
        if (row.has_old && !secret) {
            row.old_bytes = std::span<const uint8_t>(old_bytes, width);
        }
        if (!secret) {
            row.new_bytes = std::span<const uint8_t>(new_bytes, width);
        }
        rows.rows.push_back(row);
    }
    return rows;
}

JournalChange ChangeJournal::readable(const StoredJournalRow& row) const {
    JournalChange change;
    change.id = row.id;
    change.file = row.file;
    change.time = row.time;
    change.user = row.user;
    change.login = row.login;
    change.key = fixed_text(reinterpret_cast<const char*>(row.key.data()), row.key.size());
    change.position = row.position;
    change.field = row.field;
    const RecordField* field = nullptr;
    for (int i = 0; i < layout_.field_count; ++i) {
        if (change.field == layout_.fields[i].name) {
            field = &layout_.fields[i];
        }
    }
    change.inserted = !row.has_old;
    if (!change.inserted) {
        change.old_value = readable_value(field, row.old_bytes);
    }
    change.new_value = readable_value(field, row.new_bytes);
    return change;
}

}  // namespace hostlibs::detail
