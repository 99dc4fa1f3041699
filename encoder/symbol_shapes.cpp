// Shapes from each encoder's own sizes.
#include "encoder/symbol_shapes.h"

#include "encoder/micro_encoder.h"
#include "encoder/module_matrix.h"
#include "encoder/rmqr_encoder.h"

namespace qr {

int ShapeCount(int family) {
    switch (family) {
        case FAMILY_QR_CODE:
            return kMaxVersion;
        case FAMILY_MICRO_QR:
            return kMicroVersionCount;
        case FAMILY_RMQR:
            return kRmqrVersionCount;
        default:
            return 0;
    }
}

SymbolShape ShapeOf(int family, int version) {
    SymbolShape shape;
    if (version < 1 || version > ShapeCount(family)) return shape;
    shape.version = version;
    if (family == FAMILY_RMQR) {
        shape.width = RmqrSize(version).width;
        shape.height = RmqrSize(version).height;
        shape.quietZone = kRmqrQuietZoneModules;
    } else if (family == FAMILY_MICRO_QR) {
        shape.width = shape.height = MicroSymbolSize(version);
        shape.quietZone = kMicroQuietZoneModules;
    } else {
        shape.width = shape.height = QrSymbolSize(version);
        shape.quietZone = kQuietZoneModules;
    }
    return shape;
}

}  // namespace qr
