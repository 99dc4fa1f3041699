// The Tessera package used as a program that installed it uses it: for every row of ROWS the
// symbol's PNG, SVG and BMP files equal the command's (in COMMAND_FOLDER, named ID.png ...), the
// BMP also the conformance vector's digest; the symbol's facts and modules; the Format enum against
// the library's formats; every refusal and failed save as its exception with the library's
// reason; SaveAll; and the payloads of TEXTS (tests/payload/texts.jsonl: a JSON object a line,
// its kind, fields and the payload text they make).
//
//   mono PackageTest.exe ROWS COMMAND_FOLDER OUT_FOLDER TEXTS
//
// ROWS: tab-separated, a row per symbol: id, data (hex), level, version, strict, mask, utf8, micro,
// boost, scale, margin, dark, light, dpi (hex for the colours), rmqr, rmqrVersion, rmqrHeight, gs1,
// fit ("WxH"), with "-" for the default; the formats to write (space-separated), the command's
// status (0, or 2 when the data does not fit) and the BMP's SHA-256 ("-" for none). Ends with
// "N passed, M failed".
using System;
using System.Collections.Generic;
using System.Globalization;
using System.IO;
using System.Linq;
using System.Security.Cryptography;
using System.Text;
using Tessera;

static partial class PackageTest
{
    static int passed, failed;

    static void Check(bool ok, string what)
    {
        if (ok) passed++;
        else
        {
            failed++;
            Console.WriteLine("FAILED: " + what);
        }
    }

    // Checks that `action` throws exactly T and that `fits` holds for it.
    static void Throws<T>(string what, Action action, Func<T, bool> fits) where T : Exception
    {
        try
        {
            action();
            Check(false, what + ": nothing thrown");
        }
        catch (Exception e)
        {
            Check(e.GetType() == typeof(T) && fits((T)e), what + ": " + e.GetType().Name + ": " +
                                                            e.Message);
        }
    }

    // Checks that `action` is refused for `parameter` with a message that begins with `reason`.
    static void Refused(string parameter, string reason, Action action)
    {
        Throws<ArgumentOutOfRangeException>(reason, action, e => e.ParamName == parameter &&
                                            e.Message.StartsWith(reason, StringComparison.Ordinal));
    }

    static byte[] Hex(string text)
    {
        return Enumerable.Range(0, text.Length / 2)
            .Select(i => byte.Parse(text.Substring(2 * i, 2), NumberStyles.HexNumber)).ToArray();
    }

    static string Sha256(byte[] bytes)
    {
        using (var sha = SHA256.Create())
        {
            return string.Concat(sha.ComputeHash(bytes).Select(b => b.ToString("x2")));
        }
    }

    static int Number(string cell, int unset)
    {
        return cell == "-" ? unset : int.Parse(cell, CultureInfo.InvariantCulture);
    }

    static uint Colour(string cell, uint unset)
    {
        return cell == "-" ? unset : uint.Parse(cell, NumberStyles.HexNumber);
    }

    static void Rows(string rows, string commandFolder, string outFolder)
    {
        int written = 0;
        foreach (string line in File.ReadAllLines(rows))
        {
            string[] c = line.Split('\t');
            string id = c[0];
            byte[] data = Hex(c[1]);
            Level? level = c[2] == "-" ? (Level?)null : (Level)Enum.Parse(typeof(Level), c[2]);
            int[] fit = c[18] == "-" ? null : c[18].Split('x').Select(int.Parse).ToArray();
            Func<QrSymbol> make = () => QrSymbol.Make(
                data, level, Number(c[3], 0), c[4] == "1", Number(c[5], -1), c[6] == "1",
                c[7] == "1", c[8] == "1", c[14] == "1", c[15] == "-" ? null : c[15],
                Number(c[16], 0), c[17] == "1", fit);
            if (c[20] == "2")
            {
                Throws<EncodeException>("row " + id, () => make(), e => e.Message.StartsWith(
                    "the data cannot be encoded", StringComparison.Ordinal));
                continue;
            }
            using (QrSymbol symbol = make())
            {
                foreach (string type in c[19].Split(' '))
                {
                    string path = Path.Combine(outFolder, id + "." + type);
                    symbol.Save(path, Number(c[9], 0), Number(c[10], -1), Colour(c[11], 0x000000FF),
                                Colour(c[12], 0xFFFFFFFF), Number(c[13], 0));
                    byte[] bytes = File.ReadAllBytes(path);
                    Check(bytes.SequenceEqual(File.ReadAllBytes(Path.Combine(commandFolder,
                                                                             id + "." + type))),
                          "row " + id + ": " + type + " differs from the command's");
                    if (type == "bmp" && c[21] != "-")
                    {
                        Check(Sha256(bytes) == c[21], "row " + id + ": the BMP's digest");
                    }
                    written++;
                }
            }
        }
        Console.WriteLine(written + " files written and equal to the command's");
    }

    // Whether Modules, [Height, Size], is the text format's picture of `symbol` row by row:
    // "##" dark, "  " light.
    static bool IsPicture(QrSymbol symbol)
    {
        string[] lines = Encoding.UTF8.GetString(symbol.ToBytes(Format.Txt, 1, 0)).Split('\n');
        bool[,] modules = symbol.Modules;
        bool same = modules.GetLength(0) == symbol.Height && modules.GetLength(1) == symbol.Size &&
                    lines.Length == symbol.Height + 1;
        for (int row = 0; row < symbol.Height && same; row++)
        {
            for (int column = 0; column < symbol.Size; column++)
            {
                same &= lines[row][2 * column] == (modules[row, column] ? '#' : ' ');
            }
        }
        return same;
    }

    static void Facts(string outFolder)
    {
        using (QrSymbol symbol = QrSymbol.Make("tessera", Level.H, 5, true, 3))
        {
            Check(symbol.Version == 5 && symbol.Level == Level.H && symbol.Mask == 3 &&
                  symbol.Size == 37 && symbol.Height == 37 && !symbol.IsMicro &&
                  !symbol.IsRmqr && !symbol.IsGs1, "version 5-H with mask 3");
            Check(IsPicture(symbol), "Modules[row, column] is the text format's picture");
            bool[,] modules = symbol.Modules;
            modules[0, 0] = false;
            Check(symbol.Modules[0, 0], "Modules is a copy");
        }
        // The rMQR sizes are numbered by height, then width: five R7 (R7x43 to R7x139), five
        // R9, then R11x27, R11x43, R11x59.
        using (QrSymbol rmqr = QrSymbol.Make("tessera", rmqrVersion: "R11x59"))
        {
            Check(rmqr.IsRmqr && !rmqr.IsMicro && rmqr.Size == 59 && rmqr.Height == 11 &&
                  rmqr.Version == 13 && rmqr.Level == Level.M && rmqr.Mask == 0,
                  "R11x59 is rMQR version 13, 59 x 11 modules");
            Check(IsPicture(rmqr), "an rMQR symbol's Modules[row, column] is its picture");
        }
        Check(QrSymbol.Make("tessera", rmqrHeight: 13).Height == 13, "an rMQR of height 13");
        Check(QrSymbol.Make("[01]09501101530003[10]AB", gs1: true).IsGs1, "GS1 data");
        using (QrSymbol fitted = QrSymbol.Make("https://example.org", fit: new[] { 60, 25 }))
        {
            Check(fitted.Size + 4 <= 60 && fitted.Height + 4 <= 25, "the symbol fits 60x25");
        }
        using (QrSymbol micro = QrSymbol.Make("12345", micro: true))
        {
            Check(micro.IsMicro && micro.Version == 1 && micro.Size == 11 && micro.Level == null,
                  "12345 as Micro QR is M1, which has no level");
        }
        Check(QrSymbol.Make("x").Level == Level.M, "level M by default");
        Check(QrSymbol.Make("1", boost: true).Level == Level.H, "one digit boosted to H");
        byte[] utf8 = Encoding.UTF8.GetBytes("h\u00e9llo");
        Check(QrSymbol.Make("h\u00e9llo").ToBytes(Format.Svg)
                  .SequenceEqual(QrSymbol.Make(utf8).ToBytes(Format.Svg)),
              "text is encoded as its UTF-8 bytes");

        // Format is the loaded library's list of formats, member for member, and each format
        // with a file extension is the one that extension saves when it names no other first.
        QrSymbol formats = QrSymbol.Make("formats");
        Format[] members = (Format[])Enum.GetValues(typeof(Format));
        Check(members.SequenceEqual(Formats.All), "Format's members are the library's formats");
        int saved = 0;
        foreach (Format format in members)
        {
            string name = Formats.Name(format), extension = Formats.Extension(format);
            Check(name.Replace("-", "") == format.ToString().ToLowerInvariant() &&
                  Formats.FromName(name.ToUpperInvariant()) == format, format + " is " + name);
            if (extension != name) continue;  // a terminal style, or the plain PBM
            string path = Path.Combine(outFolder, "format." + extension);
            formats.Save(path);
            Check(File.ReadAllBytes(path).SequenceEqual(formats.ToBytes(format)),
                  format + ": the extension's format");
            saved++;
        }
        Check(saved >= 8 && Formats.Extension(Format.PbmPlain) == "pbm" &&
              Formats.Extension(Format.Ansi) == null, saved + " formats saved by their extension");
        Throws<ArgumentException>("a format's unknown name", () => Formats.FromName("jpg"),
                                  e => e.ParamName == "name" && e.Message.Contains("pbm-plain"));
        Throws<ArgumentOutOfRangeException>("a number past the formats",
                                            () => Formats.Name((Format)members.Length),
                                            e => e.ParamName == "format");
        Refused("format", "the format must be one of",
                () => formats.ToBytes((Format)members.Length));
        formats.Dispose();
        Check(formats.Size == 21, "facts stay after Dispose");
        Throws<ObjectDisposedException>("ToBytes after Dispose", () => formats.ToBytes(Format.Png),
                                        e => true);
    }

    static void Refusals(string outFolder)
    {
        // 3000 bytes in byte mode: 4 + 16 + 8 x 3000 bits; version 40-M holds 2334 codewords.
        Throws<EncodeException>("3000 bytes", () => QrSymbol.Make(new string('a', 3000)),
            e => e.Message.Contains("needs 24020 bits") && e.Message.Contains("at most 18672"));
        Throws<EncodeException>("no data", () => QrSymbol.Make(new byte[0]), e => true);
        Throws<ArgumentException>("a lone surrogate", () => QrSymbol.Make("a\ud800"),
                                  e => e.ParamName == "text");
        Refused("level", "the level must be L, M, Q or H", () => QrSymbol.Make("x", (Level)7));
        Refused("version", "the version must be 1 to 40", () => QrSymbol.Make("x", version: 41));
        Refused("version", "the version must be 1 to 4 (M1 to M4)",
                () => QrSymbol.Make("x", version: 5, micro: true));
        Refused("mask", "the mask must be 0 to 7", () => QrSymbol.Make("x", mask: 8));
        Refused("level", "Micro QR has no level H", () => QrSymbol.Make("x", Level.H, micro: true));
        Refused("utf8", "Micro QR has no ECI", () => QrSymbol.Make("x", utf8: true, micro: true));
        Refused("rmqrVersion", "no rMQR size has this name",
                () => QrSymbol.Make("x", rmqrVersion: "R8x43"));
        Throws<ArgumentException>("an rMQR size by name and number",
                                  () => QrSymbol.Make("x", version: 3, rmqrVersion: "R7x59"),
                                  e => e.ParamName == "rmqrVersion");
        Refused("level", "rMQR has no level L", () => QrSymbol.Make("x", Level.L, rmqr: true));
        Refused("rmqrHeight", "the rMQR height must be", () => QrSymbol.Make("x", rmqrHeight: 8));
        Refused("rmqr", "", () => QrSymbol.Make("x", micro: true, rmqr: true));
        Refused("gs1", "", () => QrSymbol.Make("[01]09501101530003", micro: true, gs1: true));
        Refused("fit", "the box to fit must be", () => QrSymbol.Make("x", fit: new[] { 0, 5 }));
        Throws<ArgumentException>("a box of three numbers",
                                  () => QrSymbol.Make("x", fit: new[] { 1, 2, 3 }),
                                  e => e.ParamName == "fit");
        Throws<EncodeException>("a GTIN with a wrong check digit",
                                () => QrSymbol.Make("[01]09501101530004", gs1: true),
                                e => e.Message.Contains("check digit"));

        QrSymbol symbol = QrSymbol.Make("refusals");
        Refused("scale", "the scale must be 1 to 20", () => symbol.ToBytes(Format.Png, scale: 21));
        Refused("margin", "the margin must be 0 to 64",
                () => symbol.Save(Path.Combine(outFolder, "m.png"), margin: 65));
        Refused("dpi", "the resolution must be 1 to 100000",
                () => symbol.ToBytes(Format.Bmp, dpi: 100001));
        Refused("dpi", "svg states no resolution", () => symbol.ToBytes(Format.Svg, dpi: 300));
        Refused("dark", "bmp has no transparency",
                () => symbol.ToBytes(Format.Bmp, dark: 0x00000080));
        Refused("light", "txt output has no colours",
                () => symbol.ToBytes(Format.Txt, light: 0xFFEEDDFF));
        Throws<ArgumentException>("a .jpg", () => symbol.Save(Path.Combine(outFolder, "x.jpg")),
                                  e => e.ParamName == "path");

        // A failed save: the library's reason, and its error number as HResult.
        string file = Path.Combine(outFolder, "file");
        File.WriteAllText(file, "a file");
        string folder = Path.Combine(outFolder, "folder.png");
        Directory.CreateDirectory(folder);
        string missing = Path.Combine(outFolder, "missing", "x.png");
        var failures = new[] {
            Tuple.Create(missing, 2, "the folder does not exist"),                      // ENOENT
            Tuple.Create(Path.Combine(file, "x.png"), 20,
                         "a file stands where a folder would be"),                      // ENOTDIR
            Tuple.Create(folder, 21, "it is not a file that can be replaced"),          // EISDIR
        };
        foreach (var failure in failures)
        {
            Throws<IOException>(failure.Item1, () => symbol.Save(failure.Item1),
                                e => e.HResult == failure.Item2 &&
                                     e.Message == "the file cannot be written: " + failure.Item1 +
                                                  ": " + failure.Item3);
        }
        Check(Directory.Exists(folder) && !File.Exists(missing) &&
              File.ReadAllText(file) == "a file", "nothing is written");
    }

    // QrSymbol.SaveAll: the files Save writes, every argument checked before any file, and a
    // file that cannot be written not stopping the others.
    static void SaveAll(string outFolder)
    {
        string folder = Path.Combine(outFolder, "all");
        Directory.CreateDirectory(folder);
        Func<string, string> at = name => Path.Combine(folder, name);
        QrSymbol first = QrSymbol.Make("first"), second = QrSymbol.Make("second", micro: true);
        var files = new Dictionary<string, QrSymbol> {
            { at("a.png"), first }, { at("b.svg"), second }, { at("c.PBM"), first },
            { at("d.xpm"), second } };
        QrSymbol.SaveAll(files, scale: 2, margin: 1);
        foreach (KeyValuePair<string, QrSymbol> pair in files)
        {
            string path = pair.Key, alone = at("alone" + Path.GetExtension(path));
            pair.Value.Save(alone, scale: 2, margin: 1);
            Check(File.ReadAllBytes(path).SequenceEqual(File.ReadAllBytes(alone)),
                  path + " is what Save writes");
        }

        string missing = at("missing/x.png");
        Throws<IOException>("a group with a missing folder", () => QrSymbol.SaveAll(
            new Dictionary<string, QrSymbol> { { missing, first }, { at("e.png"), second } }),
            e => e.Message == "the file cannot be written: " + missing);
        Check(File.Exists(at("e.png")), "the other file of the group is written");
        Throws<ArgumentException>("a group with a .jpg", () => QrSymbol.SaveAll(
            new Dictionary<string, QrSymbol> { { at("f.png"), first }, { at("f.jpg"), first } }),
            e => e.ParamName == "path");
        Refused("light", "txt output has no colours", () => QrSymbol.SaveAll(
            new Dictionary<string, QrSymbol> { { at("g.png"), first }, { at("g.txt"), first } },
            light: 0xFFEEDDFF));
        second.Dispose();
        Throws<ObjectDisposedException>("a disposed symbol in a group", () => QrSymbol.SaveAll(
            new Dictionary<string, QrSymbol> { { at("h.png"), first }, { at("i.png"), second } }),
            e => true);
        Check(!File.Exists(at("f.png")) && !File.Exists(at("g.png")) && !File.Exists(at("h.png")),
              "nothing of a refused group is written");
    }

    static int Main(string[] args)
    {
        if (args.Length != 4)
        {
            Console.Error.WriteLine("usage: PackageTest.exe ROWS COMMAND_FOLDER OUT_FOLDER TEXTS");
            return 2;
        }
        Rows(args[0], args[1], args[2]);
        Facts(args[2]);
        Refusals(args[2]);
        SaveAll(args[2]);
        Payloads(args[3]);
        Console.WriteLine(passed + " passed, " + failed + " failed");
        return failed == 0 && passed > 0 ? 0 : 1;
    }
}
