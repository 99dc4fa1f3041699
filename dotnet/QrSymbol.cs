using System;
using System.Collections.Generic;
using System.IO;
using System.Linq;
using System.Runtime.InteropServices;
using System.Text;

namespace Tessera
{
    /// <summary>A finished QR Code, Micro QR or rMQR symbol: its facts, its modules, and its bytes
    /// in any format. Made by <c>QrSymbol.Make</c> through the tessera_api library, whose checks,
    /// messages and bytes it passes on unchanged; it holds the library's symbol until disposed. A
    /// symbol is only read once made, so one symbol may be used from several threads.</summary>
    public sealed class QrSymbol : IDisposable
    {
        // The format argument of a save that takes each path's format from its extension.
        const Format FromPath = (Format)Library.Default;
        // The library's colours: black on opaque white, 0xRRGGBBAA.
        const uint DefaultDark = 0x000000FF, DefaultLight = 0xFFFFFFFF;

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
                byte[] text = new byte[Native.MessageRoom];
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
            byte[] reason = new byte[Native.MessageRoom];
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

        /// <summary>The symbol as <paramref name="format"/>: <paramref name="scale"/> pixels
        /// (points for EPS and PDF, characters for text) per module, 1-20, or 0 for 4 (1 for
        /// text); a quiet zone of <paramref name="margin"/> modules, 0-64, or -1 for 4 (2 for Micro
        /// QR); <paramref name="dark"/> and <paramref name="light"/> colours as 0xRRGGBBAA (text
        /// formats take only the defaults; BMP, EPS and PDF no alpha below FF); a resolution of
        /// <paramref name="dpi"/> stated in PNG and BMP files, or 0 for none. Text formats come as
        /// their UTF-8 bytes. Throws ArgumentOutOfRangeException naming the option the library
        /// refuses for the format, NotSupportedException for a format this build of the library
        /// cannot make, ObjectDisposedException after Dispose.</summary>
        public byte[] ToBytes(Format format, int scale = 0, int margin = Library.Default,
                              uint dark = DefaultDark, uint light = DefaultLight, int dpi = 0)
        {
            Native api = Native.Api;
            RenderOptions options = Options(api, format, scale, margin, dark, light, dpi);
            return Use(symbol =>
            {
                UIntPtr size;
                Status status = api.Render(symbol, format, ref options, null, UIntPtr.Zero,
                                           out size);
                if (status != Status.BufferTooSmall) throw Failure(api, status);
                var bytes = new byte[(long)size.ToUInt64()];
                status = api.Render(symbol, format, ref options, bytes, size, out size);
                if (status != Status.Ok) throw Failure(api, status);
                return bytes;
            });
        }

        /// <summary>Creates or replaces the file at <paramref name="path"/> with the symbol in the
        /// format its extension names (.png, in any case; see Formats.Extension), drawn as
        /// <see cref="ToBytes"/> draws it. The file is written whole beside its name, synced and
        /// renamed into place, so it is never partial; on failure a file that was there keeps its
        /// bytes. Throws IOException when the file cannot be written, with the library's reason
        /// ("the file cannot be written: PATH: the folder does not exist") and the C library's
        /// error number for it (ENOENT, EACCES, ENOSPC...) as its HResult; ArgumentException for
        /// an extension that names no format; and as ToBytes.</summary>
        public void Save(string path, int scale = 0, int margin = Library.Default,
                         uint dark = DefaultDark, uint light = DefaultLight, int dpi = 0)
        {
            Native api = Native.Api;
            Format format = PathFormat(api, path);
            RenderOptions options = Options(api, format, scale, margin, dark, light, dpi);
            int errorNumber = 0;
            byte[] reason = new byte[Native.MessageRoom];
            Status status = Use(symbol => api.SaveExplained(symbol, path, format, ref options,
                                                            out errorNumber, reason,
                                                            (UIntPtr)reason.Length));
            if (status == Status.CannotWrite)
            {
                throw new IOException(
                    api.Message(status) + ": " + path + ": " + Native.Text(reason), errorNumber);
            }
            if (status != Status.Ok) throw Failure(api, status);
        }

        /// <summary>Saves each symbol of <paramref name="files"/> to its path (path to symbol, as
        /// in a Dictionary), each as <see cref="Save"/> would with the same options, but made
        /// durable together, so that many files cost about one sync: every file is written whole
        /// beside its name, their data synced, then each takes its name; a crash leaves each file
        /// old or new, whole. Every path and option is checked before anything is written (the
        /// exceptions of Save). A file that cannot be written does not stop the others; then
        /// IOException names the first such path (without the reason, which only Save tells).
        /// </summary>
        public static void SaveAll(IEnumerable<KeyValuePair<string, QrSymbol>> files,
                                   int scale = 0, int margin = Library.Default,
                                   uint dark = DefaultDark, uint light = DefaultLight, int dpi = 0)
        {
            if (files == null) throw new ArgumentNullException("files");
            KeyValuePair<string, QrSymbol>[] pairs = files.ToArray();
            if (pairs.Length == 0) return;
            Native api = Native.Api;
            var paths = new string[pairs.Length];
            RenderOptions options = DefaultOptions(api);
            for (int i = 0; i < pairs.Length; i++)
            {
                if (pairs[i].Value == null)
                {
                    throw new ArgumentNullException("files", "a path is given a null symbol");
                }
                paths[i] = pairs[i].Key;
                options = Options(api, PathFormat(api, paths[i]), scale, margin, dark, light, dpi);
            }
            var symbols = new IntPtr[pairs.Length];
            var results = new int[pairs.Length];
            var held = new List<SymbolHandle>();
            Status status;
            try
            {
                for (int i = 0; i < pairs.Length; i++)
                {
                    SymbolHandle handle = pairs[i].Value.handle;
                    bool added = false;
                    handle.DangerousAddRef(ref added);  // ObjectDisposedException after Dispose
                    if (added) held.Add(handle);
                    symbols[i] = handle.DangerousGetHandle();
                }
                status = api.SaveAll(symbols, paths, (UIntPtr)pairs.Length, FromPath, ref options,
                                     results);
            }
            finally
            {
                foreach (SymbolHandle handle in held) handle.DangerousRelease();
            }
            if (status == Status.Ok) return;
            int first = Array.FindIndex(results, result => result != (int)Status.Ok);
            if (first >= 0 && results[first] == (int)Status.CannotWrite)
            {
                throw new IOException(api.Message(Status.CannotWrite) + ": " + paths[first]);
            }
            throw Failure(api, first >= 0 ? (Status)results[first] : status);
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

        // The format that the extension of `path` names; throws ArgumentNullException, or
        // ArgumentException for a NUL in the path or an extension that names no format.
        static Format PathFormat(Native api, string path)
        {
            if (path == null) throw new ArgumentNullException("path");
            if (path.IndexOf('\0') >= 0)
            {
                throw new ArgumentException("the path holds a NUL character", "path");
            }
            int format = api.FormatFromPath(path);
            if (format < 0)
            {
                throw new ArgumentException("the extension of '" + path + "' names no format: " +
                                            "give one of ." +
                                            string.Join(", .", Formats.Extensions()), "path");
            }
            return (Format)format;
        }

        static Settings DefaultSettings(Native api)
        {
            var settings = new Settings();
            api.SettingsInit(ref settings);
            return settings;
        }

        static RenderOptions DefaultOptions(Native api)
        {
            var options = new RenderOptions();
            api.RenderOptionsInit(ref options);
            return options;
        }

        // The settings of Make's arguments. Throws ArgumentOutOfRangeException naming the setting
        // the library refuses, with its reason, or an unknown rMQR size; ArgumentException for a
        // fit that is not two numbers or an rMQR size given both by name and by number.
        static Settings MakeSettings(Native api, Level? level, int version, bool strict, int mask,
                                     bool utf8, bool micro, bool boost, bool rmqr,
                                     string rmqrVersion, int rmqrHeight, bool gs1, int[] fit)
        {
            Settings settings = DefaultSettings(api);
            settings.Level = level.HasValue ? (int)level.Value : Library.Default;
            settings.Version = version;
            settings.StrictVersion = strict ? 1 : 0;
            settings.Mask = mask;
            settings.Utf8 = utf8 ? 1 : 0;
            settings.Micro = micro ? 1 : 0;
            settings.Boost = boost ? 1 : 0;
            if (rmqrVersion != null)
            {
                if (version != 0)
                {
                    throw new ArgumentException("give the rMQR size by name or by number, not both",
                                                "rmqrVersion");
                }
                settings.Version = rmqrVersion.IndexOf('\0') < 0
                                       ? api.RmqrVersion(Native.Utf8(rmqrVersion))
                                       : 0;
                if (settings.Version == 0)
                {
                    throw new ArgumentOutOfRangeException("rmqrVersion", rmqrVersion,
                                                          "no rMQR size has this name");
                }
            }
            settings.Rmqr = rmqr || rmqrVersion != null || rmqrHeight != 0 ? 1 : 0;
            settings.RmqrHeight = rmqrHeight;
            settings.Gs1 = gs1 ? 1 : 0;
            if (fit != null)
            {
                if (fit.Length != 2)
                {
                    throw new ArgumentException("fit is a box of two numbers, { width, height } " +
                                                "in modules", "fit");
                }
                settings.FitWidth = fit[0];
                settings.FitHeight = fit[1];
            }
            CheckSettings(api, settings);
            return settings;
        }

        // The settings that Make's arguments set, each by its name there, for Refused.
        static readonly Tuple<string, Copy<Settings>>[] SettingsFields = {
            Field("level", (ref Settings to, Settings from) => to.Level = from.Level),
            Field("version", (ref Settings to, Settings from) => to.Version = from.Version),
            Field("mask", (ref Settings to, Settings from) => to.Mask = from.Mask),
            Field("utf8", (ref Settings to, Settings from) => to.Utf8 = from.Utf8),
            Field("micro", (ref Settings to, Settings from) => to.Micro = from.Micro),
            Field("boost", (ref Settings to, Settings from) => to.Boost = from.Boost),
            Field("rmqrHeight",
                  (ref Settings to, Settings from) => to.RmqrHeight = from.RmqrHeight),
            Field("gs1", (ref Settings to, Settings from) => to.Gs1 = from.Gs1),
            Field("fit", (ref Settings to, Settings from) =>
            {
                to.FitWidth = from.FitWidth;
                to.FitHeight = from.FitHeight;
            }),
        };

        // Throws ArgumentOutOfRangeException with the library's reason when it refuses `settings`.
        static void CheckSettings(Native api, Settings settings)
        {
            byte[] text = new byte[Native.MessageRoom];
            Status status = api.CheckSettings(ref settings, text, (UIntPtr)text.Length);
            if (status == Status.Ok) return;
            if (status != Status.BadArgument) throw Failure(api, status);
            // Micro QR and rMQR set the ranges of the others, so they stay in every probe; when
            // the two alone are refused, rmqr is.
            Settings baseline = DefaultSettings(api);
            baseline.Micro = settings.Micro;
            baseline.Rmqr = settings.Rmqr;
            Check<Settings> check = (ref Settings probe) =>
                api.CheckSettings(ref probe, null, UIntPtr.Zero);
            string refused = check(ref baseline) != Status.Ok
                                 ? "rmqr"
                                 : Refused(settings, baseline, check, SettingsFields);
            throw new ArgumentOutOfRangeException(refused, Native.Text(text));
        }

        // The render options of the arguments; throws ArgumentOutOfRangeException with the
        // library's reason when it refuses them for `format`.
        static RenderOptions Options(Native api, Format format, int scale, int margin, uint dark,
                                     uint light, int dpi)
        {
            RenderOptions options = DefaultOptions(api);
            options.Scale = scale;
            options.Margin = margin;
            options.Dark = dark;
            options.Light = light;
            options.Dpi = dpi;
            byte[] text = new byte[Native.MessageRoom];
            Status status = api.CheckRenderOptions(format, ref options, text, (UIntPtr)text.Length);
            if (status == Status.Ok) return options;
            if (status != Status.BadArgument) throw Failure(api, status);
            RenderOptions baseline = DefaultOptions(api);
            Check<RenderOptions> check = (ref RenderOptions probe) =>
                api.CheckRenderOptions(format, ref probe, null, UIntPtr.Zero);
            string refused = check(ref baseline) != Status.Ok ? "format" : Refused(
                options, baseline, check,
                Field("scale", (ref RenderOptions to, RenderOptions of) => to.Scale = of.Scale),
                Field("margin", (ref RenderOptions to, RenderOptions of) => to.Margin = of.Margin),
                Field("dark", (ref RenderOptions to, RenderOptions of) => to.Dark = of.Dark),
                Field("light", (ref RenderOptions to, RenderOptions of) => to.Light = of.Light),
                Field("dpi", (ref RenderOptions to, RenderOptions of) => to.Dpi = of.Dpi));
            throw new ArgumentOutOfRangeException(refused, Native.Text(text));
        }

        delegate Status Check<T>(ref T value);
        delegate void Copy<T>(ref T to, T from);

        static Tuple<string, Copy<T>> Field<T>(string name, Copy<T> copy)
        {
            return Tuple.Create(name, copy);
        }

        // The name of the first of `fields` that `check` refuses when only it is copied from
        // `given` into `baseline`, for the exception's parameter; null when only their
        // combination is refused.
        static string Refused<T>(T given, T baseline, Check<T> check,
                                 params Tuple<string, Copy<T>>[] fields)
        {
            foreach (Tuple<string, Copy<T>> field in fields)
            {
                T probe = baseline;
                field.Item2(ref probe, given);
                if (check(ref probe) != Status.Ok) return field.Item1;
            }
            return null;
        }

        internal static Exception Failure(Native api, Status status)
        {
            string message = api.Message(status);
            switch (status)
            {
                case Status.NoMemory: return new OutOfMemoryException(message);
                case Status.FormatNotAvailable: return new NotSupportedException(message);
                case Status.BadArgument: return new ArgumentException(message);
                default: return new InvalidOperationException(message);
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
