// A symbol's bytes in a format, in memory or saved to files that are never left partial, one
// at a time or many with one sync; the render options checked by the library.
using System;
using System.Collections.Generic;
using System.IO;
using System.Linq;

namespace Tessera
{
    public sealed partial class QrSymbol
    {
        // The format argument of a save that takes each path's format from its extension.
        const Format FromPath = (Format)Library.FormatFromPath;

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
                              uint dark = Library.DarkDefault, uint light = Library.LightDefault,
                              int dpi = 0)
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
                         uint dark = Library.DarkDefault, uint light = Library.LightDefault,
                         int dpi = 0)
        {
            Native api = Native.Api;
            Format format = PathFormat(api, path);
            RenderOptions options = Options(api, format, scale, margin, dark, light, dpi);
            int errorNumber = 0;
            byte[] reason = new byte[Library.MessageRoom];
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
                                   uint dark = Library.DarkDefault,
                                   uint light = Library.LightDefault, int dpi = 0)
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

        // The library's default render options, at this assembly's size of the record.
        static RenderOptions DefaultOptions(Native api)
        {
            var options = new RenderOptions();
            api.RenderOptionsInit(ref options);
            return options;
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
            byte[] text = new byte[Library.MessageRoom];
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
    }
}
