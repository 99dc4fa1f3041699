// The generator page: the controls become make() settings and render options, the symbol is shown
// as SVG, and the downloads are made in the page, one button for each format of the library that
// makes files. Ranges are asked of the library (its table of limits, or a setting one past the last
// it takes is a RangeError), and formats listed by it, so the page never copies them.
"use strict";
(function () {
  const $ = (id) => document.getElementById(id);
  const controls = [
    "text",
    "level",
    "version",
    "strict",
    "mask",
    "margin",
    "scale",
    "utf8",
    "micro",
    "dark",
    "light",
    "shape",
    "finder",
    "gradient",
    "gradient-from",
    "gradient-to",
    "logo-size",
    "title",
  ];
  let DEFAULT_DARK = null; // the library's default colours as "#RRGGBB", read when it loads
  let DEFAULT_LIGHT = null;
  // Any data fits the smallest symbol of each kind at every version it may take.
  const PROBE_DATA = "1";
  let current = null; // the symbol shown
  let previewUrl = null;
  let logo = null; // the chosen logo file's bytes
  let levelChosen = false; // the level was picked: a logo no longer takes H

  // The count of values 0, 1, 2, ... (from `first`) of `option` that make() takes with `settings`.
  function countAccepted(option, first, settings) {
    let value = first;
    for (;;) {
      try {
        tessera.make(PROBE_DATA, Object.assign({}, settings, { [option]: value }));
      } catch (error) {
        if (error instanceof RangeError) return value - first;
        throw error;
      }
      value++;
    }
  }

  function accepts(settings) {
    try {
      tessera.make(PROBE_DATA, settings);
      return true;
    } catch (error) {
      if (error instanceof RangeError) return false;
      throw error;
    }
  }

  // Fills a select with `count` numbers from `first`, after its first option, keeping the choice
  // when it is still offered.
  function fillNumbers(select, first, count) {
    const chosen = select.value;
    while (select.options.length > 1) select.remove(1);
    for (let n = first; n < first + count; n++) select.add(new Option(String(n), String(n)));
    select.value = Array.from(select.options).some((o) => o.value === chosen)
      ? chosen
      : select.options[0].value;
  }

  function fillRanges() {
    const kind = symbolKind();
    fillNumbers(
      $("version"),
      1,
      countAccepted("version", 1, Object.assign({ strict: true }, kind)),
    );
    if (kind.rmqr) nameRmqrSizes();
    fillNumbers($("mask"), 0, countAccepted("mask", 0, kind));
    offerLevels(kind);
  }

  // Content: a payload of one of the library's kinds, made from its fields, instead of the typed
  // text; and the rMQR and GS1 switches. The kinds, their fields, the rMQR sizes and the levels
  // each kind of symbol takes all come from the library.

  // The kind of symbol the switches ask for, as make() settings.
  function symbolKind() {
    if ($("rmqr").checked) return { rmqr: true };
    return $("micro").checked ? { micro: true } : {};
  }

  // Names the version choices of rMQR by size, R<height>x<width>, as the library draws each.
  function nameRmqrSizes() {
    for (const option of Array.from($("version").options).slice(1)) {
      const size = tessera.make(PROBE_DATA, { rmqr: true, strict: true, version: +option.value });
      option.text = `R${size.height}x${size.size}`;
    }
  }

  // Offers the levels that `kind` of symbol takes, keeping the choice when it is still offered.
  function offerLevels(kind) {
    const select = $("level");
    for (const option of select.options) {
      option.disabled = !accepts(Object.assign({ level: option.value }, kind));
    }
    if (select.selectedOptions[0].disabled) {
      select.value = Array.from(select.options).find((option) => !option.disabled).value;
    }
  }

  // The chosen payload kind, or "" for the typed text.
  function payloadKind() {
    return $("payload-kind").value;
  }

  // The fields of the chosen payload as the builder takes them (empty ones left to the library).
  function payloadFields() {
    const fields = {};
    for (const input of $("payload-fields").querySelectorAll("[data-field]")) {
      const value = input.type === "checkbox" ? (input.checked ? "true" : "") : input.value;
      if (value !== "") fields[input.dataset.field] = value;
    }
    return fields;
  }

  // The input of one payload field: a list for a choice, a box for a flag, a text area for text
  // that takes line breaks, a line otherwise; its default or what it takes as the placeholder.
  function fieldInput(field) {
    let input;
    if (field.type === "choice") {
      input = document.createElement("select");
      input.add(new Option(field.default ? `${field.default} (default)` : "", ""));
      for (const choice of field.choices) input.add(new Option(choice, choice));
    } else if (field.type === "flag") {
      input = document.createElement("input");
      input.type = "checkbox";
    } else {
      input = document.createElement(field.multiline ? "textarea" : "input");
      input.spellcheck = false;
      input.placeholder = field.default || field.takes;
      if (field.maxCharacters > 0) input.maxLength = field.maxCharacters;
    }
    input.id = `payload-${field.name}`;
    input.dataset.field = field.name;
    input.addEventListener("input", update);
    return input;
  }

  // Shows the fields of the chosen payload kind in place of the text, or the text for none.
  function showPayloadFields() {
    const kind = payloadKind();
    const box = $("payload-fields");
    box.replaceChildren();
    box.hidden = kind === "";
    $("text").closest("label").hidden = kind !== "";
    if (kind === "") return;
    for (const field of tessera.payload[kind].fields) {
      const label = document.createElement("label");
      label.title = field.help;
      const name = field.required ? `${field.name} (required)` : field.name;
      if (field.type === "flag") {
        label.className = "check";
        label.append(fieldInput(field), ` ${name}`);
      } else {
        label.append(name, fieldInput(field));
      }
      box.append(label);
    }
  }

  function startContent() {
    for (const [kind, build] of Object.entries(tessera.payload)) {
      $("payload-kind").add(new Option(`${kind}: ${build.help}`, kind));
    }
    $("payload-kind").addEventListener("input", () => {
      showPayloadFields();
      update();
    });
    // Micro QR and rMQR are two kinds of symbol: one switch clears the other.
    for (const [id, other] of [
      ["rmqr", "micro"],
      ["micro", "rmqr"],
    ]) {
      $(id).addEventListener("input", () => {
        if ($(id).checked) $(other).checked = false;
        fillRanges();
        update();
      });
    }
    $("gs1").addEventListener("input", update);
  }

  function settings() {
    const mask = $("mask").value;
    return {
      level: $("level").value,
      version: Number($("version").value),
      strict: $("strict").checked,
      mask: mask === "" ? undefined : Number(mask),
      utf8: $("utf8").checked,
      micro: $("micro").checked || undefined,
      rmqr: $("rmqr").checked,
      gs1: $("gs1").checked,
    };
  }

  // The render options of the controls for `kind`; a title is SVG's alone.
  function renderOptions(withScale, kind) {
    const options = { margin: Number($("margin").value) };
    if (withScale) options.scale = Number($("scale").value);
    if (!$("colour-controls").hidden) {
      options.dark = $("dark").value;
      options.light = $("light").value;
    }
    // The first shape and finder style are the plain ones: no style is asked for then.
    const style = {};
    if ($("shape").selectedIndex > 0) style.shape = $("shape").value;
    if ($("finder").selectedIndex > 0) style.finder = $("finder").value;
    for (const box of $("regions").querySelectorAll("input[type=checkbox]:checked"))
      style[box.dataset.region] = $(`region-${box.dataset.region}`).value.slice(1);
    if ($("gradient").value) {
      style.gradient = `${$("gradient").value}:${$("gradient-from").value.slice(1)},${$("gradient-to").value.slice(1)}`;
    }
    if (logo) {
      style.logo = logo;
      style["logo-size"] = Number($("logo-size").value);
    }
    if ($("title").value && kind === "svg") style.title = $("title").value;
    if (Object.keys(style).length > 0) options.style = style;
    return options;
  }

  // Shows `text` (empty: none) and, while there is one, marks the last symbol as out of date.
  function showMessage(text) {
    $("message").textContent = text;
    $("message").hidden = !text;
    $("preview").classList.toggle("failed", Boolean(text));
    if (text) {
      $("info").textContent = "No symbol for these settings.";
      $("verdict").textContent = "";
      $("fill").hidden = true;
    }
    for (const button of $("downloads").querySelectorAll("button")) button.disabled = Boolean(text);
  }

  function update() {
    const text = $("text").value;
    const kind = payloadKind();
    if (text === "" && kind === "") {
      showMessage("Type some text to make a code.");
      return;
    }
    let symbol;
    let svg;
    let verified;
    try {
      symbol =
        kind === ""
          ? tessera.make(text, settings())
          : tessera.makePayload(kind, payloadFields(), settings());
      svg = symbol.toSVG(renderOptions(false, "svg"));
      // What a reader will make of it, as the library's verifier finds it.
      verified = symbol.verify("svg", renderOptions(false, "svg"));
    } catch (error) {
      if (error instanceof tessera.EncodeError) {
        showMessage(
          `This text does not fit: ${error.message}. ` +
            ($("strict").checked && $("version").value !== "0"
              ? "Allow a larger version, choose a lower level, or shorten the text."
              : "Choose a lower level, or shorten the text."),
        );
      } else if (error instanceof RangeError && kind !== "") {
        showMessage(`This ${kind} payload is refused: ${error.message}.`);
      } else if (error instanceof RangeError) {
        showMessage(`A setting is out of range: ${error.message}.`);
      } else {
        showMessage(String(error));
      }
      return;
    }
    current = symbol;
    $("verdict").textContent =
      verified.verdict === "reads"
        ? "Verified: it reads with margin."
        : `Verified: ${verified.verdict}: ${verified.problems.join(" ")}`;
    if (previewUrl) URL.revokeObjectURL(previewUrl);
    previewUrl = URL.createObjectURL(new Blob([svg], { type: "image/svg+xml" }));
    $("symbol").src = previewUrl;
    $("symbol").alt = `QR Code of the text, version ${symbol.version}`;
    const level = symbol.level === null ? "no level" : `level ${symbol.level}`;
    const name = symbol.rmqr
      ? `rMQR R${symbol.height}x${symbol.size}`
      : (symbol.micro ? "Micro QR version M" : "Version ") + symbol.version;
    $("info").textContent =
      `${name} (${symbol.size} × ${symbol.height} modules), ${level}, mask ${symbol.mask}` +
      (symbol.gs1 ? ", GS1" : "");
    const bits = symbol.dataBits();
    $("fill").hidden = false;
    $("fill-meter").value = bits.used / bits.capacity;
    $("fill-text").textContent =
      `${bits.used} of ${bits.capacity} data bits used (${Math.round((100 * bits.used) / bits.capacity)}% full)`;
    showMessage("");
  }

  // Saves the symbol as the format named `name` in a file with `extension`.
  function download(name, extension) {
    if (!current) return;
    let data;
    try {
      data = current.toBytes(name, renderOptions(true, name));
    } catch (error) {
      // The symbol stands; this format alone refuses the options (colours for PBM, say).
      $("message").textContent = `${error.message}.`;
      $("message").hidden = false;
      return;
    }
    const link = document.createElement("a");
    link.href = URL.createObjectURL(new Blob([data], { type: "application/octet-stream" }));
    link.download = `qr-code.${extension}`;
    document.body.append(link);
    link.click();
    link.remove();
    setTimeout(() => URL.revokeObjectURL(link.href), 1000);
  }

  // "#RRGGBB" of a colour 0xRRGGBBAA.
  function hexColour(rgba) {
    return `#${(rgba >>> 8).toString(16).padStart(6, "0")}`;
  }

  // The margin's, the scale's and the logo size's ranges, and the margin's, the logo size's and the
  // colours' defaults, from the library's table of limits (the downloads' scale starts at the
  // page's own 8).
  function takeLimits() {
    const limits = tessera.limits();
    Object.assign($("margin"), {
      min: limits["margin.low"],
      max: limits["margin.high"],
      value: limits["margin.default"],
    });
    Object.assign($("scale"), { min: limits["scale.low"], max: limits["scale.high"] });
    Object.assign($("logo-size"), {
      min: limits["logo.low"],
      max: limits["logo.high"],
      value: limits["logo.default"],
    });
    DEFAULT_DARK = hexColour(limits["dark.default"]);
    DEFAULT_LIGHT = hexColour(limits["light.default"]);
    $("dark").value = DEFAULT_DARK;
    $("light").value = DEFAULT_LIGHT;
  }

  function start() {
    takeLimits();
    $("micro-control").hidden = !accepts({ micro: true });
    const probe = tessera.make(PROBE_DATA);
    $("colour-controls").hidden =
      probe.toSVG({ dark: "#123456" }) ===
      probe.toSVG({ dark: DEFAULT_DARK, light: DEFAULT_LIGHT });
    // Shapes, finder styles and gradient kinds as the library names them.
    const { shapes, finders, gradients } = tessera.styles();
    for (const [id, names] of [
      ["shape", shapes],
      ["finder", finders],
      ["gradient", gradients],
    ]) {
      for (const name of names) $(id).append(new Option(name, name));
    }
    $("style-controls").hidden = shapes.length === 0;
    $("logo-size").disabled = true;
    // A colour for each region the library names, used when its box is ticked.
    for (const region of tessera.styles().regions) {
      const label = document.createElement("label");
      const use = Object.assign(document.createElement("input"), { type: "checkbox" });
      use.dataset.region = region;
      const colour = Object.assign(document.createElement("input"), {
        type: "color",
        id: `region-${region}`,
        value: region.endsWith("-dark") ? DEFAULT_DARK : DEFAULT_LIGHT,
      });
      label.append(use, ` ${region} `, colour);
      $("regions").append(label);
      for (const input of [use, colour]) input.addEventListener("input", update);
    }
    $("level").addEventListener("input", () => {
      levelChosen = true;
    });
    $("logo").addEventListener("change", async () => {
      const file = $("logo").files[0];
      logo = file ? new Uint8Array(await file.arrayBuffer()) : null;
      $("logo-size").disabled = !logo;
      // A logo takes level H, as in the command, unless a level was picked.
      if (logo && !levelChosen) $("level").value = "H";
      update();
    });
    fillRanges();
    for (const id of controls) $(id).addEventListener("input", update);
    startContent();
    for (const { name, extension } of tessera.formats()) {
      if (extension === null) continue; // the terminal styles
      const button = document.createElement("button");
      button.type = "button";
      button.id = `download-${name}`;
      button.textContent = name.toUpperCase();
      button.addEventListener("click", () => download(name, extension));
      $("downloads").append(button, " ");
    }
    update();
    document.body.dataset.state = "ready";
  }

  if (typeof tessera === "undefined" || typeof createTesseraModule === "undefined") {
    $("message").textContent = "The tessera module is missing: build it with scripts/build-js.sh.";
    $("message").hidden = false;
    return;
  }
  tessera
    .ready()
    .then(start, (error) => showMessage(`The tessera module cannot load: ${error.message}`));
})();
