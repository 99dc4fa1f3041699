// A symbol made by the library: its facts and modules, made from text, bytes or a payload with
// Make's settings, and the library's symbol it holds until disposed.
using System;
using System.Runtime.InteropServices;
using System.Text;

namespace Tessera
{
    /// <summary>A finished QR Code, Micro QR or rMQR symbol: its facts, its modules, and its bytes
    /// in any format. Made by <c>QrSymbol.Make</c> through the tessera_api library, whose checks,
    /// messages and bytes it passes on unchanged; it holds the library's symbol until disposed. A
    /// symbol is only read once made, so one symbol may be used from several threads.</summary>
    public sealed partial class QrSymbol : IDisposable
    {
        static readonly Encoding StrictUtf8 = new UTF8Encoding(false, true);

        readonly SymbolHandle handle;
        readonly byte[] cells;

        QrSymbol(SymbolHandle handle)
        {
            this.handle = handle;
            Native api = Native.Api;
            IntPtr symbol = handle.DangerousGetHandle();
            Size = api.SymbolSize(symbol);
            Version = api.SymbolVersion(symbol);
            Mask = api.SymbolMask(symbol);
            IsMicro = api.SymbolIsMicro(symbol) == 1;
            Height = api.SymbolHeight(symbol);
            IsRmqr = api.SymbolIsRmqr(symbol) == 1;
            IsGs1 = api.SymbolIsGs1(symbol) == 1;
            int level = api.SymbolLevel(symbol);
            Level = level == Library.Default ? (Level?)null : (Level)level;
            cells = new byte[Size * Height];
            Status status = api.SymbolModules(symbol, cells, (UIntPtr)cells.Length);
            if (status != Status.Ok) throw Failure(api, status);
        }

        /// <summary>The symbol's version: 1-40, 1-4 (M1-M4) for Micro QR, or 1-32 (R7x43 to
        /// R17x139, in the library's order) for rMQR.</summary>
        public int Version { get; private set; }

        /// <summary>The symbol's error-correction level; null for M1, which has none.</summary>
        public Level? Level { get; private set; }

        /// <summary>The mask pattern applied: 0-7, 0-3 for Micro QR, 0 for rMQR (its one fixed
        /// mask).</summary>
        public int Mask { get; private set; }

        /// <summary>Modules across: 21-177, 11-17 for Micro QR; for rMQR its width, 27-139.
        /// </summary>
        public int Size { get; private set; }

        /// <summary>Modules down: Size, but 7-17 for rMQR.</summary>
        public int Height { get; private set; }

        /// <summary>Whether the symbol is a Micro QR symbol.</summary>
        public bool IsMicro { get; private set; }

        /// <summary>Whether the symbol is an rMQR symbol (rectangular).</summary>
        public bool IsRmqr { get; private set; }

        /// <summary>Whether the symbol holds GS1 data (FNC1 in first position).</summary>
        public bool IsGs1 { get; private set; }

        /// <summary>A new array of the modules, [row, column] from the top left ([Height, Size]),
        /// true for dark, with no quiet zone.</summary>
        public bool[,] Modules
        {
            get
            {
                var modules = new bool[Height, Size];
                for (int row = 0; row < Height; row++)
                {
                    for (int column = 0; column < Size; column++)
                    {
                        modules[row, column] = cells[row * Size + column] == 1;
                    }
                }
                return modules;
            }
        }

        /// <summary>Encodes <paramref name="text"/>, as UTF-8, as one symbol; otherwise as the
        /// overload for bytes. Throws ArgumentException for text with a lone surrogate, which UTF-8
        /// cannot hold.</summary>
        public static QrSymbol Make(string text, Level? level = null, int version = 0,
                                    bool strict = false, int mask = Library.Default,
                                    bool utf8 = false, bool micro = false, bool boost = false,
                                    bool rmqr = false, string rmqrVersion = null,
                                    int rmqrHeight = 0, bool gs1 = false, int[] fit = null)
        {
            if (text == null) throw new ArgumentNullException("text");
            byte[] data;
            try
            {
                data = StrictUtf8.GetBytes(text);
            }
            catch (EncoderFallbackException error)
            {
                throw new ArgumentException("the text holds a lone surrogate, which UTF-8 cannot " +
                                            "encode", "text", error);
            }
            return Make(data, level, version, strict, mask, utf8, micro, boost, rmqr, rmqrVersion,
                        rmqrHeight, gs1, fit);
        }

        /// <summary>Encodes <paramref name="data"/> as one symbol. <paramref name="level"/>: null
        /// for the library's default (M; L for Micro QR); <paramref name="version"/>: 1-40 (1-4 for
        /// M1-M4, 1-32 for rMQR), or 0 for the smallest that holds the data;
        /// <paramref name="strict"/>: fail rather than take a larger version;
        /// <paramref name="mask"/>: 0-7 (0-3), or -1 for the best; <paramref name="utf8"/>: mark
        /// the data as UTF-8 text (ECI 26) and form no Kanji pairs, so that readers show the text
        /// as it was; <paramref name="micro"/>: a Micro QR symbol; <paramref name="boost"/>: the
        /// highest level the chosen version holds, never below <paramref name="level"/>;
        /// <paramref name="rmqr"/>: an rMQR symbol (rectangular, levels M and H, one fixed mask);
        /// <paramref name="rmqrVersion"/>: the rMQR size of that name ("R11x59", in either case),
        /// which implies rmqr; <paramref name="rmqrHeight"/>: 7, 9, ..., 17, the narrowest rMQR of
        /// that height, which implies rmqr; <paramref name="gs1"/>: the data is a GS1 element
        /// string ("[01]09501101530003[10]AB"), checked and written with FNC1 in first position
        /// (QR Code and rMQR); <paramref name="fit"/>: a box { width, height } in modules, for the
        /// symbol of smallest area among QR Code, Micro QR and rMQR that fits it with its quiet
        /// zone. Throws EncodeException when the data is empty or does not fit,
        /// ArgumentOutOfRangeException naming the setting the library refuses (with its reason),
        /// ArgumentException for a fit that is not two numbers or an rMQR size given both by name
        /// and by number, DllNotFoundException when the native library cannot be loaded.</summary>
        public static QrSymbol Make(byte[] data, Level? level = null, int version = 0,
                                    bool strict = false, int mask = Library.Default,
                                    bool utf8 = false, bool micro = false, bool boost = false,
                                    bool rmqr = false, string rmqrVersion = null,
                                    int rmqrHeight = 0, bool gs1 = false, int[] fit = null)
        {
            if (data == null) throw new ArgumentNullException("data");
            Native api = Native.Api;
            Settings settings = MakeSettings(api, level, version, strict, mask, utf8, micro, boost,
                                             rmqr, rmqrVersion, rmqrHeight, gs1, fit);
            IntPtr symbol;
            Status status = api.Encode(data, (UIntPtr)data.Length, ref settings, out symbol);
            if (status == Status.CannotEncode)
            {
                byte[] text = new byte[Library.MessageRoom];
                status = api.ExplainEncodeFailure(data, (UIntPtr)data.Length, ref settings, text,
                                                  (UIntPtr)text.Length);
                throw new EncodeException(status == Status.Ok ? Native.Text(text)
                                                              : api.Message(Status.CannotEncode));
            }
            if (status != Status.Ok) throw Failure(api, status);
            return new QrSymbol(new SymbolHandle(symbol));
        }

        /// <summary>Encodes the text of <paramref name="payload"/> as the overload for bytes does,
        /// within the payload's limits: one that sets them (a payment: level M, at most version
        /// 13) takes exactly its level, its text as bytes (no UTF-8 mark) and no larger version,
        /// and settings that ask otherwise (another level, boost, utf8, micro, a larger version)
        /// throw ArgumentOutOfRangeException naming the setting, with the library's reason.
        /// </summary>
        public static QrSymbol Make(Payload payload, Level? level = null, int version = 0,
                                    bool strict = false, int mask = Library.Default,
                                    bool utf8 = false, bool micro = false, bool boost = false,
                                    bool rmqr = false, string rmqrVersion = null,
                                    int rmqrHeight = 0, bool gs1 = false, int[] fit = null)
        {
            if (payload == null) throw new ArgumentNullException("payload");
            Native api = Native.Api;
            Settings settings = MakeSettings(api, level, version, strict, mask, utf8, micro, boost,
                                             rmqr, rmqrVersion, rmqrHeight, gs1, fit);
            byte[] reason = new byte[Library.MessageRoom];
            IntPtr symbol;
            Status status = payload.Encode(api, ref settings, out symbol, reason);
            if (status == Status.Ok) return new QrSymbol(new SymbolHandle(symbol));
            if (status == Status.CannotEncode) throw new EncodeException(Native.Text(reason));
            if (status != Status.BadArgument) throw Failure(api, status);
            string refused = Refused(settings, DefaultSettings(api), (ref Settings probe) =>
            {
                IntPtr made;
                Status probed = payload.Encode(api, ref probe, out made, null);
                api.SymbolFree(made);
                return probed == Status.BadArgument ? probed : Status.Ok;
            }, SettingsFields);
            throw new ArgumentOutOfRangeException(refused, Native.Text(reason));
        }

        /// <summary>Releases the library's symbol; the facts stay readable, rendering and saving
        /// throw ObjectDisposedException.</summary>
        public void Dispose()
        {
            handle.Dispose();
        }

        // Returns what `use` makes of the library's symbol, which Dispose cannot release meanwhile;
        // throws ObjectDisposedException after Dispose.
        T Use<T>(Func<IntPtr, T> use)
        {
            bool added = false;
            try
            {
                handle.DangerousAddRef(ref added);
                return use(handle.DangerousGetHandle());
            }
            finally
            {
                if (added) handle.DangerousRelease();
            }
        }

        // The library's symbol, released once, by Dispose or by the finalizer.
        sealed class SymbolHandle : SafeHandle
        {
            internal SymbolHandle(IntPtr symbol) : base(IntPtr.Zero, true)
            {
                SetHandle(symbol);
            }

            public override bool IsInvalid
            {
                get { return handle == IntPtr.Zero; }
            }

            protected override bool ReleaseHandle()
            {
                Native.Api.SymbolFree(handle);
                return true;
            }
        }
    }
}
