// The C API's rendering and saving: a symbol's bytes in a format, one file, or many files made
// durable together. Each function checks its arguments and lets no exception out.
#include <cstddef>
#include <cstring>
#include <string>
#include <vector>

#include "module/api_calls.h"
#include "module/deliver.h"
#include "module/encode.h"

namespace qr {
namespace {

// The format of a file saved at `path`: `format`, or with TESSERA_FORMAT_FROM_PATH the one that
// the path's extension names. Returns false when it names none.
bool SaveFormat(const char* path, int format, int* saved) {
    if (format != TESSERA_FORMAT_FROM_PATH) {
        *saved = format;
        return true;
    }
    *saved = tessera_format_from_path(path);
    return *saved >= 0;
}

// The symbol's bytes as `format` with the caller's options.
Status RenderFor(const tessera_symbol* symbol, int format, const tessera_render_options* options,
                 std::string* bytes) {
    OutputSettings settings;
    if (symbol == nullptr || !ReadOptions(options, format, &settings)) {
        return TESSERA_ERROR_BAD_ARGUMENT;
    }
    SymbolRecord record;
    if (record.get() == nullptr) return TESSERA_ERROR_NO_MEMORY;
    return Render(Unpacked(symbol, record.get()), settings, bytes);
}

}  // namespace
}  // namespace qr

using qr::Status;

extern "C" {

tessera_status tessera_render(const tessera_symbol* symbol, int format,
                              const tessera_render_options* options, void* buffer, size_t capacity,
                              size_t* size) try {
    if (size == nullptr) return TESSERA_ERROR_BAD_ARGUMENT;
    std::string bytes;
    const Status status = qr::RenderFor(symbol, format, options, &bytes);
    return status != TESSERA_OK ? status : qr::HandOver(bytes, buffer, capacity, size);
} catch (...) {
    return TESSERA_ERROR_NO_MEMORY;
}

tessera_status tessera_save(const tessera_symbol* symbol, const char* path, int format,
                            const tessera_render_options* options) {
    return tessera_save_explained(symbol, path, format, options, nullptr, nullptr, 0);
}

tessera_status tessera_save_explained(const tessera_symbol* symbol, const char* path, int format,
                                      const tessera_render_options* options, int* error_number,
                                      char* text, size_t capacity) try {
    if (error_number != nullptr) *error_number = 0;
    qr::CopyText(std::string(), text, capacity);
    if (path == nullptr || path[0] == '\0' || !qr::SaveFormat(path, format, &format)) {
        return TESSERA_ERROR_BAD_ARGUMENT;
    }
    std::string bytes;
    Status status = qr::RenderFor(symbol, format, options, &bytes);
    if (status != TESSERA_OK) return status;
    const char* reason = "";
    status = qr::SaveBytes(path, bytes, error_number, &reason);
    qr::CopyText(reason, text, capacity);
    return status;
} catch (...) {
    return TESSERA_ERROR_NO_MEMORY;
}

tessera_status tessera_save_all(const tessera_symbol* const* symbols, const char* const* paths,
                                size_t count, int format, const tessera_render_options* options,
                                tessera_status* results) try {
    if (count > 0 && (symbols == nullptr || paths == nullptr)) return TESSERA_ERROR_BAD_ARGUMENT;
    // Every argument before any file: nothing is written when one is bad.
    std::vector<qr::OutputSettings> settings(count);
    for (size_t i = 0; i < count; ++i) {
        int saved = format;
        if (symbols[i] == nullptr || paths[i] == nullptr || paths[i][0] == '\0' ||
            !qr::SaveFormat(paths[i], format, &saved) ||
            !qr::ReadOptions(options, saved, &settings[i]) ||
            qr::CheckOutputSettings(settings[i], nullptr) != TESSERA_OK) {
            return TESSERA_ERROR_BAD_ARGUMENT;
        }
    }
    size_t first = count;  // the first file that failed
    Status firstStatus = TESSERA_OK;
    const auto record = [&](size_t i, Status status) {
        if (results != nullptr) results[i] = status;
        if (status != TESSERA_OK && i < first) {
            first = i;
            firstStatus = status;
        }
    };
    qr::GroupWriter writer(
        qr::FilesPerWriter(1), false, true,
        [&record](size_t i, Status status, const std::string&) { record(i, status); });
    qr::SymbolRecord unpacked;
    if (!writer.Ready() || unpacked.get() == nullptr) return TESSERA_ERROR_NO_MEMORY;
    std::string message;
    for (size_t i = 0; i < count; ++i) {
        const Status staged = writer.Add(qr::Unpacked(symbols[i], unpacked.get()), settings[i],
                                         paths[i], i, &message);
        if (staged != TESSERA_OK) record(i, staged);
    }
    writer.Commit();
    return firstStatus;
} catch (...) {
    return TESSERA_ERROR_NO_MEMORY;
}

}  // extern "C"
