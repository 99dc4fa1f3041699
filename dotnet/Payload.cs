// Payloads: the texts that phones read as a WiFi network to join, a contact, a payment, a place,
// a message, an event or one-time passwords, made and checked by the library from fields. The
// kinds and their fields are the library's table, read through its queries.
using System;
using System.Collections.Generic;
using System.Linq;

namespace Tessera
{
    /// <summary>The text of a payload made by <see cref="Build"/> or by the builder of its kind
    /// (<c>Payload.Wifi(ssid, ...)</c>, one for each of the library's kinds, with its fields as
    /// parameters), and what it asks of its symbol. <c>QrSymbol.Make(payload)</c> encodes it
    /// within those limits.</summary>
    public sealed partial class Payload
    {
        readonly byte[] kindName;
        readonly string[] names, values;

        Payload(string kind, string text, string[] names, string[] values, int level,
                int maxVersion)
        {
            Kind = kind;
            Text = text;
            kindName = Native.Utf8(kind);
            this.names = names;
            this.values = values;
            Level = level == Library.Default ? (Level?)null : (Level)level;
            MaxVersion = maxVersion;
        }

        /// <summary>The kind, as given to Build.</summary>
        public string Kind { get; private set; }

        /// <summary>The payload's text, as a reader shows it.</summary>
        public string Text { get; private set; }

        /// <summary>The level its symbol must have (M for a payment), or null: any.</summary>
        public Level? Level { get; private set; }

        /// <summary>The largest version its symbol may have (13 for a payment), or 0: any.
        /// </summary>
        public int MaxVersion { get; private set; }

        /// <summary>A new dictionary of the fields given (name to value), null values left out.
        /// </summary>
        public IDictionary<string, string> Fields
        {
            get
            {
                var fields = new Dictionary<string, string>();
                for (int i = 0; i < names.Length; i++) fields.Add(names[i], values[i]);
                return fields;
            }
        }

        /// <summary>The payload's text.</summary>
        public override string ToString()
        {
            return Text;
        }

        /// <summary>The library's payload kinds ("wifi", "vcard", "epc", ...), in its order.
        /// </summary>
        public static string[] Kinds
        {
            get
            {
                Native api = Native.Api;
                var kinds = new List<string>();
                for (string kind; (kind = Native.Utf8(api.PayloadKind(kinds.Count))) != null;)
                {
                    kinds.Add(kind);
                }
                return kinds.ToArray();
            }
        }

        /// <summary>One line of help for <paramref name="kind"/> ("a WiFi network to join").
        /// Throws ArgumentException, listing the kinds, for a name that Kinds does not hold.
        /// </summary>
        public static string Help(string kind)
        {
            return Native.Utf8(Native.Api.PayloadKindHelp(KindName(kind)));
        }

        /// <summary>The fields of <paramref name="kind"/>, in the library's order. Throws as Help.
        /// </summary>
        public static PayloadField[] FieldsOf(string kind)
        {
            Native api = Native.Api;
            byte[] name = KindName(kind);
            var fields = new List<PayloadField>();
            for (int index = 0; api.PayloadFieldText(name, index, FieldFact.Name) != IntPtr.Zero;
                 index++)
            {
                fields.Add(new PayloadField(api, name, index));
            }
            return fields.ToArray();
        }

        /// <summary>Makes the payload of <paramref name="kind"/> (a name of Kinds, in any case)
        /// from <paramref name="fields"/>, name to value (a Dictionary), each value text as a
        /// person types it ("true" or "false" for a flag); a null or empty value takes the field's
        /// default. Throws ArgumentException with the library's reason when it refuses them, its
        /// ParamName the field's name ("iban"; "kind" for an unknown kind), ArgumentNullException
        /// for a null kind, fields or name.</summary>
        public static Payload Build(string kind, IEnumerable<KeyValuePair<string, string>> fields)
        {
            if (kind == null) throw new ArgumentNullException("kind");
            if (fields == null) throw new ArgumentNullException("fields");
            KeyValuePair<string, string>[] given = fields.ToArray();
            return FromFields(kind, given.Select(f => f.Key).ToArray(),
                              given.Select(f => f.Value).ToArray());
        }

        // The payload of `kind` from the fields names[i] with values[i], those with a null value
        // left out; throws as the public Build.
        static Payload FromFields(string kind, string[] allNames, string[] allValues)
        {
            if (kind == null) throw new ArgumentNullException("kind");
            int[] given = Enumerable.Range(0, allNames.Length).Where(i => allValues[i] != null)
                                    .ToArray();
            string[] names = given.Select(i => allNames[i]).ToArray();
            string[] values = given.Select(i => allValues[i]).ToArray();
            if (names.Any(name => name == null))
            {
                throw new ArgumentNullException("fields", "a field has a null name");
            }
            if (kind.IndexOf('\0') >= 0)
            {
                throw new ArgumentException("the kind holds a NUL character", "kind");
            }
            for (int i = 0; i < names.Length; i++)
            {
                if (names[i].IndexOf('\0') >= 0 || values[i].IndexOf('\0') >= 0)
                {
                    throw new ArgumentException("the field holds a NUL character", names[i]);
                }
            }
            Native api = Native.Api;
            byte[] kindName = Native.Utf8(kind);
            byte[] reason = new byte[Library.MessageRoom];
            using (var namePointers = new PinnedTexts(names))
            using (var valuePointers = new PinnedTexts(values))
            {
                UIntPtr size = UIntPtr.Zero;
                int level = Library.Default, maxVersion = 0;
                Func<byte[], Status> build = text => api.PayloadBuild(
                    kindName, namePointers.Pointers, valuePointers.Pointers, (UIntPtr)names.Length,
                    text, (UIntPtr)(text == null ? 0 : text.Length), out size, out level,
                    out maxVersion, reason, (UIntPtr)reason.Length);
                Status status = build(null);  // the size
                byte[] made = null;
                if (status == Status.BufferTooSmall)
                {
                    made = new byte[(long)size.ToUInt64()];
                    status = build(made);
                }
                if (status == Status.BadArgument)
                {
                    string why = Native.Text(reason);
                    int colon = why.IndexOf(':');
                    string field = colon < 0 ? "fields" : why.Substring(0, colon).Trim('\'');
                    throw new ArgumentException(why, field);
                }
                if (status != Status.Ok) throw QrSymbol.Failure(api, status);
                return new Payload(kind, Native.Text(made), names, values, level, maxVersion);
            }
        }

        // A flag's value as the library names it: `off` or `on`, or null for none given.
        static string Flag(bool? value, string off, string on)
        {
            return value.HasValue ? (value.Value ? on : off) : null;
        }

        // Encodes the payload with `settings` through the library, which applies its limits; the
        // library's status, with *symbol the new symbol when it is TESSERA_OK and its reason in
        // `reason` (which may be null) otherwise.
        internal Status Encode(Native api, ref Settings settings, out IntPtr symbol, byte[] reason)
        {
            using (var namePointers = new PinnedTexts(names))
            using (var valuePointers = new PinnedTexts(values))
            {
                return api.PayloadEncode(kindName, namePointers.Pointers, valuePointers.Pointers,
                                         (UIntPtr)names.Length, ref settings, out symbol, reason,
                                         (UIntPtr)(reason == null ? 0 : reason.Length));
            }
        }

        // `kind` as the library's queries take it; throws ArgumentException, listing the kinds,
        // for a name that is not one of them.
        static byte[] KindName(string kind)
        {
            if (kind == null) throw new ArgumentNullException("kind");
            if (!Kinds.Contains(kind))
            {
                throw new ArgumentException("'" + kind + "' is no payload kind: give one of " +
                                            string.Join(", ", Kinds), "kind");
            }
            return Native.Utf8(kind);
        }
    }

    /// <summary>A field of a payload kind, as the library's table describes it.</summary>
    public sealed class PayloadField
    {
        internal PayloadField(Native api, byte[] kind, int index)
        {
            Name = Native.Utf8(api.PayloadFieldText(kind, index, FieldFact.Name));
            Help = Native.Utf8(api.PayloadFieldText(kind, index, FieldFact.Help));
            Takes = Native.Utf8(api.PayloadFieldText(kind, index, FieldFact.Takes));
            Default = Native.Utf8(api.PayloadFieldText(kind, index, FieldFact.Default));
            Required = api.PayloadFieldNumber(kind, index, FieldFact.Required) == 1;
            Type = (FieldType)api.PayloadFieldNumber(kind, index, FieldFact.KindOfValue);
            Multiline = api.PayloadFieldNumber(kind, index, FieldFact.Multiline) == 1;
            MaxCharacters = api.PayloadFieldNumber(kind, index, FieldFact.MaxCharacters);
            var choices = new List<string>();
            for (IntPtr choice; (choice = api.PayloadFieldChoice(kind, index, choices.Count)) !=
                                IntPtr.Zero;)
            {
                choices.Add(Native.Utf8(choice));
            }
            Choices = choices.ToArray();
        }

        /// <summary>The field's name, the key of Payload.Build's fields ("ssid").</summary>
        public string Name { get; private set; }

        /// <summary>One line of help.</summary>
        public string Help { get; private set; }

        /// <summary>What a text field takes ("TEXT", "YYYY-MM-DD"), or null for a choice or a
        /// flag.</summary>
        public string Takes { get; private set; }

        /// <summary>The value taken when the field is empty or absent, or "" for none.</summary>
        public string Default { get; private set; }

        /// <summary>Whether the kind cannot be made without the field.</summary>
        public bool Required { get; private set; }

        /// <summary>How the value is given: text, one of Choices, or a flag.</summary>
        public FieldType Type { get; private set; }

        /// <summary>The values a choice takes (in any case), "false" and "true" for a flag, none
        /// for text.</summary>
        public string[] Choices { get; private set; }

        /// <summary>Whether line breaks are taken.</summary>
        public bool Multiline { get; private set; }

        /// <summary>The most characters taken, or 0: any.</summary>
        public int MaxCharacters { get; private set; }
    }
}
