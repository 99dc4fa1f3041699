// The functions of the C API (module/tessera_api.h) that the assembly calls, bound by name once
// the library is open. Only plain values, byte arrays and the two settings structures cross.
using System;
using System.Runtime.InteropServices;

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
    }
}
