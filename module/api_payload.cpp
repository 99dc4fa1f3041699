// The C API of payloads: the table of kinds and fields as plain values, and the texts made and
// encoded within their limits. Nothing is thrown out.
#include <string>
#include <vector>

#include "module/api_calls.h"
#include "module/encode.h"
#include "module/tessera_api.h"
#include "payload/payload.h"

namespace qr {
namespace {

// Field `index` of the kind named `kind` into `field`; false when there is none. Its strings are
// the table's and live as long as the program.
bool FieldAt(const char* kind, int index, payload::FieldInfo* field) {
    if (kind == nullptr || index < 0) return false;
    const std::vector<payload::FieldInfo> fields = payload::FieldsOf(kind);
    if (static_cast<std::size_t>(index) >= fields.size()) return false;
    *field = fields[static_cast<std::size_t>(index)];
    return true;
}

// The caller's kind and fields made into a text; `result.reason` says why not, and a null
// pointer among the arguments is refused as such.
payload::Result Built(const char* kind, const char* const* names, const char* const* values,
                      std::size_t count) {
    payload::Result refused;
    if (kind == nullptr || (count > 0 && (names == nullptr || values == nullptr))) {
        refused.reason = "a null kind, names or values";
        return refused;
    }
    payload::FieldValues fields;
    for (std::size_t i = 0; i < count; ++i) {
        if (names[i] == nullptr || values[i] == nullptr) {
            refused.reason = "field " + std::to_string(i) + ": a null name or value";
            return refused;
        }
        fields.emplace_back(names[i], values[i]);
    }
    return payload::Build(kind, fields);
}

// The level a payload's symbol must have, as the header numbers levels, or TESSERA_DEFAULT: any.
int LevelOf(const payload::SymbolLimits& limits) {
    return limits.level == 0 ? TESSERA_DEFAULT
                             : static_cast<int>(std::string("LMQH").find(limits.level));
}

// The status of a refusal with its reason copied for the caller.
tessera_status Refuse(const std::string& reason, char* text, std::size_t capacity) {
    CopyText(reason, text, capacity);
    return TESSERA_ERROR_BAD_ARGUMENT;
}

}  // namespace
}  // namespace qr

extern "C" {

const char* tessera_payload_kind(int index) try {
    const std::vector<qr::payload::KindInfo> kinds = qr::payload::Kinds();
    return index >= 0 && static_cast<std::size_t>(index) < kinds.size()
               ? kinds[static_cast<std::size_t>(index)].name
               : nullptr;
} catch (...) {
    return nullptr;
}

const char* tessera_payload_kind_help(const char* kind) try {
    for (const qr::payload::KindInfo& info : qr::payload::Kinds()) {
        if (kind != nullptr && std::string(kind) == info.name) return info.help;
    }
    return nullptr;
} catch (...) {
    return nullptr;
}

const char* tessera_payload_field_text(const char* kind, int index, int fact) try {
    qr::payload::FieldInfo field;
    if (!qr::FieldAt(kind, index, &field)) return nullptr;
    switch (fact) {
        case TESSERA_FIELD_NAME:
            return field.name;
        case TESSERA_FIELD_HELP:
            return field.help;
        case TESSERA_FIELD_TAKES:
            return field.takes;
        case TESSERA_FIELD_DEFAULT:
            return field.defaultValue;
        default:
            return nullptr;
    }
} catch (...) {
    return nullptr;
}

int tessera_payload_field_number(const char* kind, int index, int fact) try {
    qr::payload::FieldInfo field;
    if (!qr::FieldAt(kind, index, &field)) return -1;
    switch (fact) {
        case TESSERA_FIELD_REQUIRED:
            return field.required ? 1 : 0;
        case TESSERA_FIELD_KIND_OF_VALUE:
            return field.type == qr::payload::FieldType::kText     ? TESSERA_FIELD_TEXT
                   : field.type == qr::payload::FieldType::kChoice ? TESSERA_FIELD_CHOICE
                                                                   : TESSERA_FIELD_FLAG;
        case TESSERA_FIELD_MULTILINE:
            return field.multiline ? 1 : 0;
        case TESSERA_FIELD_MAX_CHARACTERS:
            return field.maxCharacters;
        default:
            return -1;
    }
} catch (...) {
    return -1;
}

const char* tessera_payload_field_choice(const char* kind, int index, int choice) try {
    qr::payload::FieldInfo field;
    if (!qr::FieldAt(kind, index, &field) || field.choices == nullptr || choice < 0) {
        return nullptr;
    }
    for (int i = 0; field.choices[i] != nullptr; ++i) {
        if (i == choice) return field.choices[i];
    }
    return nullptr;
} catch (...) {
    return nullptr;
}

tessera_status tessera_payload_build(const char* kind, const char* const* names,
                                     const char* const* values, size_t count, char* text,
                                     size_t capacity, size_t* size, int* level, int* max_version,
                                     char* reason, size_t reason_capacity) try {
    qr::CopyText("", reason, reason_capacity);
    if (size == nullptr) return qr::Refuse("a null size", reason, reason_capacity);
    const qr::payload::Result result = qr::Built(kind, names, values, count);
    if (!result.ok) return qr::Refuse(result.reason, reason, reason_capacity);
    if (level != nullptr) *level = qr::LevelOf(result.limits);
    if (max_version != nullptr) *max_version = result.limits.maxVersion;
    *size = result.text.size() + 1;
    if (text == nullptr || capacity < *size) return TESSERA_ERROR_BUFFER_TOO_SMALL;
    qr::CopyText(result.text, text, capacity);
    return TESSERA_OK;
} catch (...) {
    return TESSERA_ERROR_NO_MEMORY;
}

tessera_status tessera_payload_encode(const char* kind, const char* const* names,
                                      const char* const* values, size_t count,
                                      const tessera_settings* settings, tessera_symbol** symbol,
                                      char* reason, size_t reason_capacity) try {
    qr::CopyText("", reason, reason_capacity);
    if (symbol == nullptr) return qr::Refuse("a null symbol", reason, reason_capacity);
    *symbol = nullptr;
    qr::EncodeSettings read;
    if (!qr::ReadSettings(settings, &read)) {
        return qr::Refuse("the settings' size field is not that of tessera_settings", reason,
                          reason_capacity);
    }
    const qr::payload::Result result = qr::Built(kind, names, values, count);
    if (!result.ok) return qr::Refuse(result.reason, reason, reason_capacity);
    std::string refused;
    if (qr::ApplyPayloadLimits(qr::LevelOf(result.limits), result.limits.maxVersion, &read,
                               &refused) != TESSERA_OK) {
        return qr::Refuse(refused, reason, reason_capacity);
    }
    qr::Encoder encoder;
    qr::SymbolRecord record;
    if (!encoder.Ready() || record.get() == nullptr) return TESSERA_ERROR_NO_MEMORY;
    std::string why;
    const auto* bytes = reinterpret_cast<const unsigned char*>(result.text.data());
    const tessera_status status =
        encoder.Encode(bytes, result.text.size(), read, record.get(), false, &why);
    qr::CopyText(why, reason, reason_capacity);
    if (status != TESSERA_OK) return status;
    *symbol = qr::Handed(*record.get());
    return *symbol != nullptr ? TESSERA_OK : TESSERA_ERROR_NO_MEMORY;
} catch (...) {
    return TESSERA_ERROR_NO_MEMORY;
}

}  // extern "C"
