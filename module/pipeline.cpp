// The whole road of one symbol.
#include "module/pipeline.h"

#include "module/deliver.h"
#include "module/encode.h"

namespace qr {

Status EncodeRenderWrite(Encoder* encoder, Symbol* scratch, const unsigned char* data,
                         std::size_t length, bool cut, const EncodeSettings& encode,
                         const OutputSettings& output, const Destination& destination,
                         std::string* message) {
    const Status status = encoder->Encode(data, length, encode, scratch, cut, message);
    return status == TESSERA_OK ? RenderWrite(*scratch, output, destination, message) : status;
}

}  // namespace qr
