// The library's only export.
#include "module/tessera.h"

#include <initializer_list>

#include "module/job_options.h"

extern "C" int tessera(const char* option1, const char* option2, const char* option3,
                       const char* option4) {
    // The options live for this call only, so calls on different threads do not meet.
    qr::JobOptions options;
    for (const char* option : {option1, option2, option3, option4}) options.ParseOption(option);
    if (options.inputData == nullptr) return TESSERA_NOTHING_TO_DO;
    if (!options.HasOutputPath()) return TESSERA_NOTHING_TO_DO;
    return options.RenderAndWrite();  // the input is released with the options
}
