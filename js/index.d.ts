// tessera for JavaScript: QR Code symbols from the tessera C API in WebAssembly.

/** A level: "L", "M", "Q" or "H", in either case. */
export type Level = "L" | "M" | "Q" | "H" | "l" | "m" | "q" | "h";

export interface MakeOptions {
  /** Error-correction level; default M (Micro QR: L). */
  level?: Level;
  /** 1-40 (Micro QR: 1-4; rMQR: 1-32, or a size's name "R7x43" to "R17x139", which asks for
   * rMQR), or 0 / absent for the smallest that holds the data. */
  version?: number | string;
  /** Fail rather than take a larger version than `version`. Switches take true or false (or 1, 0). */
  strict?: boolean;
  /** 0-7 (Micro QR: 0-3), or absent for the lowest penalty. */
  mask?: number;
  /** The data is UTF-8 text, marked as such (ECI 26); no Kanji mode. */
  utf8?: boolean;
  /** A Micro QR symbol (where the library has it). */
  micro?: boolean;
  /** The highest level the chosen version holds, never lower than `level`. */
  boost?: boolean;
  /** An rMQR symbol: rectangular, levels M and H, no mask, no ECI. */
  rmqr?: boolean;
  /** rMQR of height 7, 9, 11, 13, 15 or 17: the narrowest that holds the data. */
  rmqrHeight?: number;
  /** The data is a GS1 element string, "[01]09501101530003[10]AB", written with FNC1 first. */
  gs1?: boolean;
  /** [width, height] in modules: the symbol of smallest area among QR Code, Micro QR and rMQR
   * that fits the box with its quiet zone, at `level` (default M). */
  fit?: [number, number];
}

/** A colour: "#RRGGBB" or "#RRGGBBAA" (the "#" may be left out), or 0xRRGGBBAA. */
export type Colour = string | number;

export interface RenderOptions {
  /** Pixels (SVG: units) per module, 1-20; default 4. */
  scale?: number;
  /** Quiet zone in modules, 0-64; default 4 (Micro QR: 2). */
  margin?: number;
  /** Dark modules; default black. */
  dark?: Colour;
  /** Light modules and the quiet zone; default white. */
  light?: Colour;
  /** Styles by the command's flag names: { shape: "dot", finder: "rounded", "data-dark": "1F2937",
   *  gradient: "linear:000000,0000FF,45", "logo-size": 20, cmyk: [0, 0, 0, 100], size: "30mm" },
   *  and, handed over as they are, logo (PNG bytes, or SVG as text or bytes), title and desc (SVG). */
  style?: Record<string, string | number | number[] | Uint8Array | ArrayBuffer>;
}

export interface ImageOptions extends RenderOptions {
  /** Resolution stated in the file, 1-100000 dots per inch; absent: none stated. */
  dpi?: number;
}

export declare class QrSymbol {
  private constructor();
  /** Modules across. */
  readonly size: number;
  /** Modules down: `size`, but for rMQR. */
  readonly height: number;
  readonly rmqr: boolean;
  /** Whether the data is GS1 data. */
  readonly gs1: boolean;
  readonly version: number;
  /** "L", "M", "Q" or "H"; null for Micro QR M1, which has no level. */
  readonly level: "L" | "M" | "Q" | "H" | null;
  readonly mask: number;
  readonly micro: boolean;
  /** size * height cells, row by row from the top, 1 = dark, 0 = light, no quiet zone. */
  readonly modules: Uint8Array;
  toSVG(options?: RenderOptions): string;
  toPNG(options?: ImageOptions): Uint8Array;
  toBMP(options?: ImageOptions): Uint8Array;
  /** Any format that formats() names ("bmp", "png", "svg", "txt", "utf8", ...); text as UTF-8. */
  toBytes(kind: string, options?: ImageOptions): Uint8Array;
  /** toBytes(kind, options) as a data URI, "data:image/png;base64,...", with the format's media type. */
  toDataURL(kind?: string, options?: ImageOptions): string;
  /** Whether the drawing toBytes(kind, options) makes still reads, with margin. */
  verify(kind?: string, options?: ImageOptions): { verdict: "reads" | "warnings" | "unreadable"; problems: string[] };
  /** Bits the data takes and data bits the symbol holds at its level (Micro QR too). */
  dataBits(): { used: number; capacity: number };
}

/** The data is empty or does not fit; the message says how many bits it needs. */
export declare class EncodeError extends Error {
  readonly name: "EncodeError";
  /** The C API's status. */
  readonly status: number;
}

/**
 * Encodes `data` (a string, as UTF-8, or bytes) as one symbol. Returns a Promise of it until the
 * WebAssembly module has loaded (the first call), then the symbol itself; `await` takes both.
 * Throws EncodeError for data that does not fit, RangeError for a setting out of range, TypeError
 * for data or options of the wrong kind.
 */
export declare function make(
  data: string | Uint8Array | ArrayBuffer | ArrayBufferView,
  options?: MakeOptions,
): QrSymbol | Promise<QrSymbol>;

/** Resolves when the module has loaded; make() is synchronous from then on. */
export declare function ready(): Promise<void>;

/** A format this build renders: its name, and the extension of its files (null for the
 * terminal styles). */
export interface Format {
  name: string;
  extension: string | null;
}

/** The formats this build renders, in the order of the library's table; after ready(). */
export declare function formats(): Format[];
/** The library's names of the parts of a style, for the `style` option. */
export declare function styles(): { shapes: string[]; finders: string[]; regions: string[]; settings: string[] };

/** The library's table of limits, one number a row by name ("margin.low", "margin.high",
 * "scale.image", ...): every range and default of a setting; after ready(). */
export declare function limits(): Record<string, number>;

/** The top of the module's heap in bytes; it grows only when memory is not handed back. */
export declare function heapBytes(): number;

/** A payload's fields: strings, numbers and booleans, each taken as its text. */
export type PayloadFields = Record<string, string | number | boolean | undefined | null>;

/** A field of a payload kind, as the library's table describes it. */
export interface PayloadField {
  /** The key of the builder's fields ("ssid"). */
  readonly name: string;
  /** One line of help. */
  readonly help: string;
  /** What a text field takes ("TEXT", "YYYY-MM-DD"); null for a choice or a flag. */
  readonly takes: string | null;
  /** Taken when the field is empty or absent; "" for none. */
  readonly default: string;
  /** Whether the kind cannot be made without it. */
  readonly required: boolean;
  readonly type: "text" | "choice" | "flag";
  /** A choice's values (any case), "false" and "true" for a flag, none for text. */
  readonly choices: readonly string[];
  /** Whether line breaks are taken. */
  readonly multiline: boolean;
  /** The most characters taken, or 0: any. */
  readonly maxCharacters: number;
}

/** A payload kind's builder: returns the text, or throws RangeError with the library's reason,
 * which names the field. */
export interface PayloadBuilder {
  (fields: PayloadFields): string;
  /** One line of help for the kind ("a WiFi network to join"). */
  readonly help: string;
  /** The kind's fields, in the library's order. */
  readonly fields: readonly PayloadField[];
}

/**
 * The payload builders, one per kind of the library's table (wifi, vcard, mecard, epc, geo,
 * email, tel, sms, event, otp), after ready().
 */
export declare const payload: Record<string, PayloadBuilder>;

/**
 * The payload `kind` made from `fields` and encoded with `options` within its limits (a payment:
 * level M, its text as bytes, at most version 13); a Promise of the symbol before ready().
 */
export declare function makePayload(
  kind: string,
  fields: PayloadFields,
  options?: MakeOptions,
): QrSymbol | Promise<QrSymbol>;

declare const tessera: {
  make: typeof make;
  makePayload: typeof makePayload;
  payload: typeof payload;
  ready: typeof ready;
  formats: typeof formats;
  styles: typeof styles;
  heapBytes: typeof heapBytes;
  EncodeError: typeof EncodeError;
  QrSymbol: typeof QrSymbol;
};
export default tessera;
