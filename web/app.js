// The generator page: the controls become make() settings and render options, the symbol is shown
// as SVG, and the downloads are made in the page, one button for each format of the library that
// makes files. Ranges are asked of the library (a setting one past the last it takes is a
// RangeError), and formats listed by it, so the page never copies them.
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
  ];
  const DEFAULT_DARK = "#000000";
  const DEFAULT_LIGHT = "#ffffff";
  // Any data fits the smallest symbol of each kind at every version it may take.
  const PROBE_DATA = "1";
  let current = null; // the symbol shown
  let previewUrl = null;

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
    const micro = $("micro").checked ? { micro: true } : {};
    fillNumbers(
      $("version"),
      1,
      countAccepted("version", 1, Object.assign({ strict: true }, micro)),
    );
    fillNumbers($("mask"), 0, countAccepted("mask", 0, micro));
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
    };
  }

  function renderOptions(withScale) {
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
      $("fill").hidden = true;
    }
    for (const button of $("downloads").querySelectorAll("button")) button.disabled = Boolean(text);
  }

  function update() {
    const text = $("text").value;
    if (text === "") {
      showMessage("Type some text to make a code.");
      return;
    }
    let symbol;
    let svg;
    try {
      symbol = tessera.make(text, settings());
      svg = symbol.toSVG(renderOptions(false));
    } catch (error) {
      if (error instanceof tessera.EncodeError) {
        showMessage(
          `This text does not fit: ${error.message}. ` +
            ($("strict").checked && $("version").value !== "0"
              ? "Allow a larger version, choose a lower level, or shorten the text."
              : "Choose a lower level, or shorten the text."),
        );
      } else if (error instanceof RangeError) {
        showMessage(`A setting is out of range: ${error.message}.`);
      } else {
        showMessage(String(error));
      }
      return;
    }
    current = symbol;
    if (previewUrl) URL.revokeObjectURL(previewUrl);
    previewUrl = URL.createObjectURL(new Blob([svg], { type: "image/svg+xml" }));
    $("symbol").src = previewUrl;
    $("symbol").alt = `QR Code of the text, version ${symbol.version}`;
    const level = symbol.level === null ? "no level" : `level ${symbol.level}`;
    const kind = symbol.micro ? "Micro QR version M" : "Version ";
    $("info").textContent =
      `${kind}${symbol.version} (${symbol.size} × ${symbol.size} modules), ${level}, mask ${symbol.mask}`;
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
      data = current.toBytes(name, renderOptions(true));
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

  function start() {
    $("micro-control").hidden = !accepts({ micro: true });
    const probe = tessera.make(PROBE_DATA);
    $("colour-controls").hidden =
      probe.toSVG({ dark: "#123456" }) ===
      probe.toSVG({ dark: DEFAULT_DARK, light: DEFAULT_LIGHT });
    // Shapes and finder styles as the library names them.
    const { shapes, finders } = tessera.styles();
    for (const [id, names] of [["shape", shapes], ["finder", finders]]) {
      for (const name of names) $(id).append(new Option(name, name));
    }
    $("style-controls").hidden = shapes.length === 0;
    fillRanges();
    for (const id of controls) $(id).addEventListener("input", update);
    $("micro").addEventListener("input", () => {
      fillRanges();
      update();
    });
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
