// The functions of the C API (module/tessera_api.h) that the assembly calls, bound by name once
// the library is open. Only plain values, byte arrays and the two settings structures cross.
using System;
using System.Collections.Generic;
using System.Runtime.InteropServices;
using System.Text;

namespace Tessera
{
    // tessera_settings, every field of it; the library fills it at this size (SettingsInit).
    [StructLayout(LayoutKind.Sequential)]
    internal struct Settings
    {
        public UIntPtr Size;
        public int Level, Version, StrictVersion, Mask, Utf8, Micro, Boost;
        public int Rmqr, RmqrHeight, Gs1, FitWidth, FitHeight;
    }

    // tessera_render_options; the library fills it at this size (RenderOptionsInit).
    [StructLayout(LayoutKind.Sequential)]
    internal struct RenderOptions
    {
        public UIntPtr Size;
        public int Scale, Margin;
        public uint Dark, Light;
        public int Dpi;
    }

    // The library's functions as delegates, made once per process (Api), on first use. They are
    // bound by name rather than declared with DllImport because the runtime's own search for a
    // DllImport cannot be pointed at the file that Library.Open finds.
    internal sealed class Native
    {
        [UnmanagedFunctionPointer(CallingConvention.Cdecl)]
        internal delegate Status SettingsInitFunction(ref Settings settings, UIntPtr size);
        [UnmanagedFunctionPointer(CallingConvention.Cdecl)]
        internal delegate Status RenderOptionsInitFunction(ref RenderOptions options,
                                                           UIntPtr size);
        [UnmanagedFunctionPointer(CallingConvention.Cdecl)]
        internal delegate Status EncodeFunction(byte[] data, UIntPtr length, ref Settings settings,
                                                out IntPtr symbol);
        [UnmanagedFunctionPointer(CallingConvention.Cdecl)]
        internal delegate Status ExplainFunction(byte[] data, UIntPtr length, ref Settings settings,
                                                 byte[] text, UIntPtr capacity);
        [UnmanagedFunctionPointer(CallingConvention.Cdecl)]
        internal delegate Status CheckSettingsFunction(ref Settings settings, byte[] text,
                                                       UIntPtr capacity);
        [UnmanagedFunctionPointer(CallingConvention.Cdecl)]
        internal delegate Status CheckRenderOptionsFunction(Format format,
                                                            ref RenderOptions options, byte[] text,
                                                            UIntPtr capacity);
        [UnmanagedFunctionPointer(CallingConvention.Cdecl)]
        internal delegate void SymbolFreeFunction(IntPtr symbol);
        [UnmanagedFunctionPointer(CallingConvention.Cdecl)]
        internal delegate int SymbolFactFunction(IntPtr symbol);
        [UnmanagedFunctionPointer(CallingConvention.Cdecl)]
        internal delegate Status SymbolModulesFunction(IntPtr symbol, byte[] cells,
                                                       UIntPtr capacity);
        [UnmanagedFunctionPointer(CallingConvention.Cdecl)]
        internal delegate Status RenderFunction(IntPtr symbol, Format format,
                                                ref RenderOptions options, byte[] buffer,
                                                UIntPtr capacity, out UIntPtr size);
        [UnmanagedFunctionPointer(CallingConvention.Cdecl, CharSet = CharSet.Ansi)]
        internal delegate Status SaveExplainedFunction(IntPtr symbol, string path, Format format,
                                                       ref RenderOptions options,
                                                       out int errorNumber, byte[] text,
                                                       UIntPtr capacity);
        [UnmanagedFunctionPointer(CallingConvention.Cdecl, CharSet = CharSet.Ansi)]
        internal delegate Status SaveAllFunction(IntPtr[] symbols, string[] paths, UIntPtr count,
                                                 Format format, ref RenderOptions options,
                                                 int[] results);
        [UnmanagedFunctionPointer(CallingConvention.Cdecl, CharSet = CharSet.Ansi)]
        internal delegate int FormatFromPathFunction(string path);
        [UnmanagedFunctionPointer(CallingConvention.Cdecl, CharSet = CharSet.Ansi)]
        internal delegate int FormatFromNameFunction(string name);
        [UnmanagedFunctionPointer(CallingConvention.Cdecl)]
        internal delegate IntPtr FormatTextFunction(Format format);
        [UnmanagedFunctionPointer(CallingConvention.Cdecl)]
        internal delegate IntPtr StatusMessageFunction(Status status);
        [UnmanagedFunctionPointer(CallingConvention.Cdecl)]
        internal delegate int NameFunction(byte[] name);
        [UnmanagedFunctionPointer(CallingConvention.Cdecl)]
        internal delegate IntPtr KindFunction(int index);
        [UnmanagedFunctionPointer(CallingConvention.Cdecl)]
        internal delegate IntPtr KindHelpFunction(byte[] kind);
        [UnmanagedFunctionPointer(CallingConvention.Cdecl)]
        internal delegate IntPtr FieldTextFunction(byte[] kind, int index, FieldFact fact);
        [UnmanagedFunctionPointer(CallingConvention.Cdecl)]
        internal delegate int FieldNumberFunction(byte[] kind, int index, FieldFact fact);
        [UnmanagedFunctionPointer(CallingConvention.Cdecl)]
        internal delegate IntPtr FieldChoiceFunction(byte[] kind, int index, int choice);
        [UnmanagedFunctionPointer(CallingConvention.Cdecl)]
        internal delegate Status PayloadBuildFunction(byte[] kind, IntPtr[] names, IntPtr[] values,
                                                      UIntPtr count, byte[] text,
                                                      UIntPtr capacity, out UIntPtr size,
                                                      out int level, out int maxVersion,
                                                      byte[] reason, UIntPtr reasonCapacity);
        [UnmanagedFunctionPointer(CallingConvention.Cdecl)]
        internal delegate Status PayloadEncodeFunction(byte[] kind, IntPtr[] names,
                                                       IntPtr[] values, UIntPtr count,
                                                       ref Settings settings, out IntPtr symbol,
                                                       byte[] reason, UIntPtr reasonCapacity);

        readonly SettingsInitFunction settingsInit;
        readonly RenderOptionsInitFunction renderOptionsInit;
        internal readonly EncodeFunction Encode;
        internal readonly ExplainFunction ExplainEncodeFailure;
        internal readonly CheckSettingsFunction CheckSettings;
        internal readonly CheckRenderOptionsFunction CheckRenderOptions;
        internal readonly SymbolFreeFunction SymbolFree;
        internal readonly SymbolFactFunction SymbolSize, SymbolVersion, SymbolLevel, SymbolMask,
            SymbolIsMicro;
        internal readonly SymbolModulesFunction SymbolModules;
        internal readonly RenderFunction Render;
        internal readonly SaveExplainedFunction SaveExplained;
        internal readonly SaveAllFunction SaveAll;
        internal readonly FormatFromPathFunction FormatFromPath;
        internal readonly FormatFromNameFunction FormatFromName;
        internal readonly FormatTextFunction FormatName, FormatExtension;
        internal readonly StatusMessageFunction StatusMessage;
        internal readonly SymbolFactFunction SymbolHeight, SymbolIsRmqr, SymbolIsGs1;
        internal readonly NameFunction RmqrVersion;
        internal readonly KindFunction PayloadKind;
        internal readonly KindHelpFunction PayloadKindHelp;
        internal readonly FieldTextFunction PayloadFieldText;
        internal readonly FieldNumberFunction PayloadFieldNumber;
        internal readonly FieldChoiceFunction PayloadFieldChoice;
        internal readonly PayloadBuildFunction PayloadBuild;
        internal readonly PayloadEncodeFunction PayloadEncode;

        static readonly Lazy<Native> loaded = new Lazy<Native>(() => new Native(Library.Open()));

        // The bound functions; the first use opens the library and throws DllNotFoundException
        // (every use then) when it cannot be found, EntryPointNotFoundException when it lacks one.
        internal static Native Api
        {
            get { return loaded.Value; }
        }

        Native(IntPtr library)
        {
            settingsInit = Bind<SettingsInitFunction>(library, "tessera_settings_init_sized");
            renderOptionsInit = Bind<RenderOptionsInitFunction>(
                library, "tessera_render_options_init_sized");
            Encode = Bind<EncodeFunction>(library, "tessera_encode");
            ExplainEncodeFailure = Bind<ExplainFunction>(library, "tessera_explain_encode_failure");
            CheckSettings = Bind<CheckSettingsFunction>(library, "tessera_check_settings");
            CheckRenderOptions = Bind<CheckRenderOptionsFunction>(library,
                                                                  "tessera_check_render_options");
            SymbolFree = Bind<SymbolFreeFunction>(library, "tessera_symbol_free");
            SymbolSize = Bind<SymbolFactFunction>(library, "tessera_symbol_size");
            SymbolVersion = Bind<SymbolFactFunction>(library, "tessera_symbol_version");
            SymbolLevel = Bind<SymbolFactFunction>(library, "tessera_symbol_level");
            SymbolMask = Bind<SymbolFactFunction>(library, "tessera_symbol_mask");
            SymbolIsMicro = Bind<SymbolFactFunction>(library, "tessera_symbol_is_micro");
            SymbolModules = Bind<SymbolModulesFunction>(library, "tessera_symbol_modules");
            Render = Bind<RenderFunction>(library, "tessera_render");
            SaveExplained = Bind<SaveExplainedFunction>(library, "tessera_save_explained");
            SaveAll = Bind<SaveAllFunction>(library, "tessera_save_all");
            FormatFromPath = Bind<FormatFromPathFunction>(library, "tessera_format_from_path");
            FormatFromName = Bind<FormatFromNameFunction>(library, "tessera_format_from_name");
            FormatName = Bind<FormatTextFunction>(library, "tessera_format_name");
            FormatExtension = Bind<FormatTextFunction>(library, "tessera_format_extension");
            StatusMessage = Bind<StatusMessageFunction>(library, "tessera_status_message");
            SymbolHeight = Bind<SymbolFactFunction>(library, "tessera_symbol_height");
            SymbolIsRmqr = Bind<SymbolFactFunction>(library, "tessera_symbol_is_rmqr");
            SymbolIsGs1 = Bind<SymbolFactFunction>(library, "tessera_symbol_is_gs1");
            RmqrVersion = Bind<NameFunction>(library, "tessera_rmqr_version");
            PayloadKind = Bind<KindFunction>(library, "tessera_payload_kind");
            PayloadKindHelp = Bind<KindHelpFunction>(library, "tessera_payload_kind_help");
            PayloadFieldText = Bind<FieldTextFunction>(library, "tessera_payload_field_text");
            PayloadFieldNumber = Bind<FieldNumberFunction>(library, "tessera_payload_field_number");
            PayloadFieldChoice = Bind<FieldChoiceFunction>(library, "tessera_payload_field_choice");
            PayloadBuild = Bind<PayloadBuildFunction>(library, "tessera_payload_build");
            PayloadEncode = Bind<PayloadEncodeFunction>(library, "tessera_payload_encode");
        }

        static T Bind<T>(IntPtr library, string name) where T : class
        {
            return (T)(object)Marshal.GetDelegateForFunctionPointer(Library.Function(library, name),
                                                                    typeof(T));
        }

        // Fills `settings` with the library's defaults, at this assembly's size of the record.
        // Throws InvalidOperationException when the library refuses that size.
        internal void SettingsInit(ref Settings settings)
        {
            Initialised(settingsInit(ref settings, (UIntPtr)Marshal.SizeOf(typeof(Settings))));
        }

        // Fills `options` with the library's defaults, as SettingsInit does.
        internal void RenderOptionsInit(ref RenderOptions options)
        {
            Initialised(
                renderOptionsInit(ref options, (UIntPtr)Marshal.SizeOf(typeof(RenderOptions))));
        }

        void Initialised(Status status)
        {
            if (status != Status.Ok)
                throw new InvalidOperationException("the library refuses this assembly's " +
                                                    "records: " + Message(status));
        }

        // The library's sentence for `status`.
        internal string Message(Status status)
        {
            return Marshal.PtrToStringAnsi(StatusMessage(status));
        }

        // `text` as the library takes it: UTF-8, NUL-terminated.
        internal static byte[] Utf8(string text)
        {
            return Encoding.UTF8.GetBytes(text + "\0");
        }

        // The NUL-terminated UTF-8 text at `text`, or null for a null pointer.
        internal static string Utf8(IntPtr text)
        {
            if (text == IntPtr.Zero) return null;
            int length = 0;
            while (Marshal.ReadByte(text, length) != 0) length++;
            var bytes = new byte[length];
            Marshal.Copy(text, bytes, 0, length);
            return Encoding.UTF8.GetString(bytes);
        }

        // The NUL-terminated UTF-8 text that the library wrote into `text`.
        internal static string Text(byte[] text)
        {
            int end = Array.IndexOf(text, (byte)0);
            return Encoding.UTF8.GetString(text, 0, end < 0 ? text.Length : end);
        }
    }

    // Texts handed to the library as an array of char pointers: each UTF-8, NUL-terminated and
    // pinned until Dispose.
    internal sealed class PinnedTexts : IDisposable
    {
        readonly List<GCHandle> pins = new List<GCHandle>();

        internal PinnedTexts(IList<string> texts)
        {
            Pointers = new IntPtr[Math.Max(texts.Count, 1)];
            for (int i = 0; i < texts.Count; i++)
            {
                GCHandle pin = GCHandle.Alloc(Native.Utf8(texts[i]), GCHandleType.Pinned);
                pins.Add(pin);
                Pointers[i] = pin.AddrOfPinnedObject();
            }
        }

        // The texts' addresses, in their order (one null pointer for no texts).
        internal IntPtr[] Pointers { get; private set; }

        public void Dispose()
        {
            foreach (GCHandle pin in pins) pin.Free();
            pins.Clear();
        }
    }
}
