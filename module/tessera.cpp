// The library's only export: the four option strings down the road of one call, written as BMP.
#include "module/tessera.h"

#include "module/pipeline.h"
#include "module/tessera_api.h"

static_assert(int{TESSERA_WRITTEN} == int{TESSERA_OK} &&
                  int{TESSERA_NOTHING_TO_DO} == int{TESSERA_ERROR_NOTHING_TO_DO} &&
                  int{TESSERA_CANNOT_ENCODE} == int{TESSERA_ERROR_CANNOT_ENCODE} &&
                  int{TESSERA_CANNOT_WRITE} == int{TESSERA_ERROR_CANNOT_WRITE},
              "the library's result codes are the API's first statuses");

extern "C" int tessera(const char* option1, const char* option2, const char* option3,
                       const char* option4) {
    const char* const options[] = {option1, option2, option3, option4};
    try {
        return qr::RunSlashOptions(options, 4, TESSERA_FORMAT_BMP);
    } catch (...) {
        // Nothing throws on the road; should anything ever, the caller still gets a result.
        return TESSERA_CANNOT_WRITE;
    }
}
