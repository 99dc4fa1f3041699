/* api_consumer OUTPUT.bmp: the consumer's sample symbol made through the installed C API and saved
 * as BMP at 2 pixels per module; exits with the API's status. */
#include <stdio.h>
#include <string.h>
#include <tessera_api.h>

int main(int argc, char** argv) {
    const char* text = "Hello from an installed tessera";
    tessera_settings settings;
    tessera_render_options options;
    tessera_symbol* symbol = NULL;
    tessera_status status;
    if (argc != 2) {
        fprintf(stderr, "usage: api_consumer OUTPUT.bmp\n");
        return 64;
    }
    tessera_settings_init(&settings);
    settings.level = TESSERA_LEVEL_H;
    tessera_render_options_init(&options);
    options.scale = 2;
    status = tessera_encode(text, strlen(text), &settings, &symbol);
    if (status == TESSERA_OK) status = tessera_save(symbol, argv[1], TESSERA_FORMAT_BMP, &options);
    if (status != TESSERA_OK) fprintf(stderr, "api_consumer: %s\n", tessera_status_message(status));
    tessera_symbol_free(symbol);
    return (int)status;
}
