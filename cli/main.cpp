// tessera: passes up to four option arguments to the library and exits with its result code.
#include <cstdio>

#include "module/tessera.h"

int main(int argc, char** argv) {
    if (argc < 2 || argc > 5) {
        std::fprintf(stderr, "usage: tessera /Ttext|/Ifile /Ooutput.bmp [/L0-3] [/V1-40] [/EN] [/M0-7] [/S1-20]\n"
                             "       (at most four options)\n");
        return 64;
    }
    const char* options[4] = {"", "", "", ""};
    for (int i = 1; i < argc; ++i) options[i - 1] = argv[i];
    const int result = tessera(options[0], options[1], options[2], options[3]);
    static const char* const kMessages[] = {
        nullptr,
        "nothing to do: no input data or no output path",
        "the data cannot be encoded",
        "the output file cannot be created",
    };
    if (result > 0 && result < 4) std::fprintf(stderr, "tessera: %s\n", kMessages[result]);
    return result;
}
