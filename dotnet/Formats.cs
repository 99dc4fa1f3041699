// The library's names and extensions of its formats, read from it at run time.
using System;
using System.Collections.Generic;
using System.Linq;
using System.Runtime.InteropServices;

namespace Tessera
{
    /// <summary>The loaded library's names for its formats: the list, each format's name and
    /// file extension, and the format a name stands for. Format has a member for each format
    /// of the library the assembly was built with.</summary>
    public static class Formats
    {
        /// <summary>Every format that the loaded library names, in its order, numbered as in
        /// Format (a newer library may name more formats than Format has members).</summary>
        public static Format[] All
        {
            get
            {
                Native api = Native.Api;
                var formats = new List<Format>();
                while (api.FormatName((Format)formats.Count) != IntPtr.Zero)
                {
                    formats.Add((Format)formats.Count);
                }
                return formats.ToArray();
            }
        }

        /// <summary>The library's lower-case name of <paramref name="format"/> ("png",
        /// "pbm-plain"). Throws ArgumentOutOfRangeException for a number that names no format.
        /// </summary>
        public static string Name(Format format)
        {
            string name = Marshal.PtrToStringAnsi(Native.Api.FormatName(format));
            if (name == null)
            {
                throw new ArgumentOutOfRangeException("format", format, "the library has no " +
                                                      "format " + (int)format);
            }
            return name;
        }

        /// <summary>The extension, lower case and without the dot, that files of
        /// <paramref name="format"/> are given ("png"; "pbm" for both PBM formats, a path with
        /// it naming the raw one), or null for the terminal styles, which are not files. Throws
        /// as Name.</summary>
        public static string Extension(Format format)
        {
            Name(format);
            return Marshal.PtrToStringAnsi(Native.Api.FormatExtension(format));
        }

        /// <summary>The format named <paramref name="name"/>, in any case ("png", "PBM-plain").
        /// Throws ArgumentException, listing the library's names, when none is.</summary>
        public static Format FromName(string name)
        {
            if (name == null) throw new ArgumentNullException("name");
            int format = name.IndexOf('\0') < 0 ? Native.Api.FormatFromName(name) : -1;
            if (format < 0)
            {
                throw new ArgumentException("'" + name + "' names no format: give one of " +
                                            string.Join(", ", All.Select(Name).ToArray()),
                                            "name");
            }
            return (Format)format;
        }

        // The extensions that name a format, each once, in the library's order.
        internal static string[] Extensions()
        {
            return All.Select(Extension).Where(e => e != null).Distinct().ToArray();
        }
    }
}
