// The payloads of the Tessera package, part of PackageTest: every text of TEXTS
// (tests/payload/texts.jsonl) made through Payload.Build and through the kind's typed builder, and
// its symbol; each builder's parameters against the loaded library's fields; every refusal.
using System;
using System.Collections.Generic;
using System.IO;
using System.Linq;
using System.Reflection;
using System.Text;
using System.Web.Script.Serialization;
using Tessera;

static partial class PackageTest
{
    // Payload: every line of `texts` makes its payload text, and the symbol of it holds that
    // text within the payload's limits; the kinds are the library's; bad fields are refused
    // naming the field.
    static void Payloads(string texts)
    {
        var json = new JavaScriptSerializer();
        var kinds = new HashSet<string>();
        foreach (string line in File.ReadAllLines(texts, Encoding.UTF8))
        {
            var fields = json.Deserialize<Dictionary<string, string>>(line);
            string kind = fields["kind"], expected = fields["payload"];
            fields.Remove("kind");
            fields.Remove("payload");
            kinds.Add(kind);
            Payload payload = Payload.Build(kind, fields);
            Check(payload.Text == expected, kind + ": '" + payload.Text + "' is not '" + expected +
                                                "'");
            string typed = Typed(kind, fields);
            Check(typed == expected, kind + ": the builder makes '" + typed + "'");
            using (QrSymbol symbol = QrSymbol.Make(payload))
            using (QrSymbol text = QrSymbol.Make(Encoding.UTF8.GetBytes(expected), payload.Level))
            {
                Check(symbol.ToBytes(Format.Svg).SequenceEqual(text.ToBytes(Format.Svg)) &&
                      (payload.MaxVersion == 0 || symbol.Version <= payload.MaxVersion),
                      kind + ": the symbol of '" + expected + "' is its text's");
            }
        }
        Check(kinds.SetEquals(Payload.Kinds), "every kind of the library has texts");
        // Each kind's builder takes its fields as the loaded library lists them: the required
        // ones first and not optional, a flag as a bool.
        foreach (string kind in Payload.Kinds)
        {
            PayloadField[] fields = Payload.FieldsOf(kind).OrderBy(f => !f.Required).ToArray();
            ParameterInfo[] parameters = Builder(kind).GetParameters();
            Func<ParameterInfo, PayloadField, bool> takes = (p, f) =>
                p.Name == f.Name && p.IsOptional != f.Required &&
                (p.ParameterType == typeof(bool?)) == (f.Type == FieldType.Flag);
            Check(parameters.Length == fields.Length && parameters.Zip(fields, takes).All(t => t),
                  "the builder of " + kind + " takes its fields");
        }
        PayloadField[] wifi = Payload.FieldsOf("wifi");
        PayloadField ssid = wifi.First(), security = wifi.First(f => f.Name == "security");
        Check(ssid.Name == "ssid" && ssid.Required && ssid.Type == FieldType.Text &&
              security.Type == FieldType.Choice && security.Choices.Contains("nopass") &&
              Payload.Help("wifi").Length > 0, "the fields of wifi");

        Payload epc = Payload.Build("EPC", new Dictionary<string, string> {
            { "name", "Red Cross" }, { "iban", "DE89 3704 0044 0532 0130 00" },
            { "amount", "12.50" }, { "text", null } });
        Check(epc.Level == Level.M && epc.MaxVersion == 13 && epc.Fields.Count == 3 &&
              QrSymbol.Make(epc).Level == Level.M, "a payment is level M, version 13 at most");
        Refused("level", "the payload's symbol is level M, not H",
                () => QrSymbol.Make(epc, Level.H));
        Refused("utf8", "the payload's symbol is level M with its text as bytes",
                () => QrSymbol.Make(epc, utf8: true));
        // Each row: the kind, its fields as "name=value" pairs, and the field refused.
        foreach (var bad in new[] {
                     Tuple.Create("epc", "name=A iban=DE88370400440532013000", "iban"),
                     Tuple.Create("epc", "name=A iban=DE89370400440532013000 amount=0", "amount"),
                     Tuple.Create("geo", "latitude=91 longitude=2", "latitude"),
                     Tuple.Create("wifi", "ssid=n colour=blue", "colour"),
                     Tuple.Create("lottery", "ssid=n", "kind") })
        {
            Dictionary<string, string> fields = bad.Item2.Split(' ').Select(f => f.Split('='))
                                                    .ToDictionary(f => f[0], f => f[1]);
            Throws<ArgumentException>(bad.Item1 + " " + bad.Item2,
                                      () => Payload.Build(bad.Item1, fields),
                                      e => e.ParamName == bad.Item3 &&
                                           (e.Message.StartsWith(bad.Item3 + ": ") ||
                                            e.Message.StartsWith("'" + bad.Item3 + "': ")));
        }
        // Each row: a builder's call, and the field refused with the start of its reason.
        Func<Func<Payload>, string, string, Tuple<Func<Payload>, string, string>> row =
            Tuple.Create;
        foreach (var bad in new[] {
                     row(() => Payload.Geo("91", "2"), "latitude", "latitude: '91' is out of"),
                     row(() => Payload.Wifi("n", security: "WPA3"), "security", "security: 'WPA3'"),
                     row(() => Payload.Epc("A", null), "iban", "iban: missing"),
                     row(() => Payload.Epc(new string('a', 71), "DE89370400440532013000"), "name",
                         "name: 71 characters"),
                     row(() => Payload.Tel("1\0"), "number", "the field holds a NUL") })
        {
            Throws<ArgumentException>(bad.Item3, () => bad.Item1(), e => e.ParamName == bad.Item2 &&
                                      e.Message.StartsWith(bad.Item3, StringComparison.Ordinal));
        }
        Throws<ArgumentException>("help for no kind", () => Payload.Help("lottery"),
                                  e => e.ParamName == "kind" && e.Message.Contains("wifi"));
    }

    // The typed builder of payload `kind`: Payload's static method of that name, in any case.
    static MethodInfo Builder(string kind)
    {
        return typeof(Payload).GetMethods(BindingFlags.Public | BindingFlags.Static)
            .Single(m => string.Equals(m.Name, kind, StringComparison.OrdinalIgnoreCase));
    }

    // The text that the typed builder of `kind` makes of `fields`, each given by its name (a
    // flag's as a bool); the reason instead when it throws or takes no such field.
    static string Typed(string kind, Dictionary<string, string> fields)
    {
        ParameterInfo[] parameters = Builder(kind).GetParameters();
        string unknown = fields.Keys.FirstOrDefault(name => parameters.All(p => p.Name != name));
        if (unknown != null) return "no parameter " + unknown;
        try
        {
            object[] arguments = parameters.Select(p => !fields.ContainsKey(p.Name) ? null
                : p.ParameterType == typeof(bool?) ? (object)bool.Parse(fields[p.Name])
                : fields[p.Name]).ToArray();
            return ((Payload)Builder(kind).Invoke(null, arguments)).Text;
        }
        catch (TargetInvocationException error)
        {
            return error.InnerException.Message;
        }
    }
}
