// Make's arguments as the library's settings, and the name of the argument that the library
// refuses, found by probing each alone, for the exception's parameter; the library's statuses
// as exceptions.
using System;

namespace Tessera
{
    public sealed partial class QrSymbol
    {
        // The library's default settings, at this assembly's size of the record.
        static Settings DefaultSettings(Native api)
        {
            var settings = new Settings();
            api.SettingsInit(ref settings);
            return settings;
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
            byte[] text = new byte[Library.MessageRoom];
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

        // The exception for a status of the library that no caller turns into its own, with the
        // library's sentence for it.
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
    }
}
