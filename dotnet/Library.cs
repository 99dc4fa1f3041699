// Finding and opening the native tessera_api library.
using System;
using System.Collections.Generic;
using System.ComponentModel;
using System.IO;
using System.Runtime.InteropServices;

namespace Tessera
{
    internal static partial class Library
    {
        const int RTLD_NOW = 2;

        static bool IsWindows
        {
            get { return Path.DirectorySeparatorChar == '\\'; }
        }

        // The library's file name on this system.
        static string FileName
        {
            get { return IsWindows ? "tessera_api.dll" : "libtessera_api.so"; }
        }

        // The NuGet runtime identifier of this process: win-x64, linux-x64 (the two the package
        // holds), or their 32-bit names.
        static string RuntimeIdentifier
        {
            get { return (IsWindows ? "win" : "linux") + (IntPtr.Size == 8 ? "-x64" : "-x86"); }
        }

        // Opens the library by its full path, so that no environment variable or DLL search path is
        // needed: the first of FileName beside this assembly, in runtimes/<rid>/native below its
        // folder (where NuGet and the .NET SDK put a package's native files), the same two in the
        // application's base folder, and then the system's own search by name (an installed
        // library). Returns the handle; throws DllNotFoundException naming each file tried and why
        // it could not be opened.
        internal static IntPtr Open()
        {
            var tried = new List<string>();
            var folders = new List<string>();
            string location = typeof(Library).Assembly.Location;
            if (!string.IsNullOrEmpty(location)) folders.Add(Path.GetDirectoryName(location));
            folders.Add(AppDomain.CurrentDomain.BaseDirectory);
            var candidates = new List<string>();
            foreach (string folder in folders)
            {
                string native = Path.Combine(folder, "runtimes", RuntimeIdentifier, "native");
                foreach (string path in new[] { Path.Combine(folder, FileName),
                                                Path.Combine(native, FileName) })
                {
                    string full = Path.GetFullPath(path);
                    if (!candidates.Contains(full) && File.Exists(full)) candidates.Add(full);
                }
            }
            candidates.Add(FileName);
            foreach (string candidate in candidates)
            {
                string error;
                IntPtr library = IsWindows ? OpenOnWindows(candidate, out error)
                                           : OpenOnUnix(candidate, out error);
                if (library != IntPtr.Zero) return library;
                tried.Add(candidate + ": " + error);
            }
            throw new DllNotFoundException("the tessera_api library cannot be loaded (" +
                                           string.Join("; ", tried.ToArray()) + ")");
        }

        // The address of the function `name` of `library`; throws EntryPointNotFoundException when
        // the library has none (an older library).
        internal static IntPtr Function(IntPtr library, string name)
        {
            IntPtr address = IsWindows ? GetProcAddress(library, name) : dlsym(library, name);
            if (address == IntPtr.Zero)
            {
                throw new EntryPointNotFoundException("the tessera_api library has no function " +
                                                      name + "; it is older than this assembly");
            }
            return address;
        }

        static IntPtr OpenOnWindows(string path, out string error)
        {
            IntPtr library = LoadLibraryW(path);
            error = library == IntPtr.Zero ? new Win32Exception(Marshal.GetLastWin32Error()).Message
                                           : null;
            return library;
        }

        static IntPtr OpenOnUnix(string path, out string error)
        {
            IntPtr library = dlopen(path, RTLD_NOW);
            error = library == IntPtr.Zero ? Marshal.PtrToStringAnsi(dlerror()) : null;
            return library;
        }

        [DllImport("kernel32", CharSet = CharSet.Unicode, ExactSpelling = true,
                   SetLastError = true)]
        static extern IntPtr LoadLibraryW(string path);

        [DllImport("kernel32", CharSet = CharSet.Ansi, ExactSpelling = true)]
        static extern IntPtr GetProcAddress(IntPtr module, string name);

        [DllImport("libdl.so.2")]
        static extern IntPtr dlopen(string path, int flags);

        [DllImport("libdl.so.2")]
        static extern IntPtr dlsym(IntPtr library, string name);

        [DllImport("libdl.so.2")]
        static extern IntPtr dlerror();
    }
}
