// tessera for JavaScript as an ES module: the same package as `require` gives (index.js).
import tessera from "./index.js";

export const { make, makePayload, payload, ready, formats, styles, limits, heapBytes, EncodeError,
  QrSymbol } = tessera;
export default tessera;
