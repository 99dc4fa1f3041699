"""The examples of README.md and docs/cli.md, run with the built command and modules, and the
numbers those pages give for the command's output.

- Each line of a ```sh block that runs `tessera` (or `PYTHONPATH=python python3`) exits with 0.
- Each "$ " line of a plain ``` block prints what the lines under it say (a batch's time and rate
  aside).
- Each ```python block runs; README's ```js block runs when the WebAssembly module is built.
- The sizes in docs/cli.md's table of output types and under it, the sample's caption and the
  JavaScript module's size in README.md (within a tenth) are what the command and the build give.

Usage: docs_examples.py SOURCE_FOLDER COMMAND API_LIBRARY LIBRARY   (ctest passes them)
"""

import gzip
import os
import re
import subprocess
import sys
import tempfile

SOURCE, COMMAND, API_LIBRARY, LIBRARY = sys.argv[1:5]
PAGES = ("README.md", os.path.join("docs", "cli.md"))
TIMING = re.compile(r"in [0-9.]+ s \([0-9]+ codes per second\)")
SAMPLE = ["tessera: a version 10 sample", "-v", "10"]
failures = []
checked = []


def blocks(page, language):
    text = open(os.path.join(SOURCE, page), encoding="utf-8").read()
    return re.findall(r"^```" + language + r"\n(.*?)^```$", text, re.S | re.M), text


def shell(line, cwd):
    return subprocess.run(["sh", "-c", "{ " + line + "\n} 2>&1"], cwd=cwd, env=ENV,
                          stdin=subprocess.DEVNULL, capture_output=True, text=True,
                          errors="replace", check=False)


def check(what, ok, detail=""):
    checked.append(what)
    if not ok:
        failures.append(f"{what}: {detail}")


def size(*args):
    return len(subprocess.run([COMMAND, *args, "-o", "-"], capture_output=True,
                              check=True).stdout)


work = tempfile.mkdtemp()
os.mkdir(os.path.join(work, "bin"))
os.symlink(COMMAND, os.path.join(work, "bin", "tessera"))
ENV = dict(os.environ, PATH=os.path.join(work, "bin") + os.pathsep + os.environ["PATH"],
           PYTHONPATH=os.path.join(SOURCE, "python"), TESSERA_API_LIBRARY=API_LIBRARY,
           TESSERA_LIBRARY=LIBRARY)
for name, content in {"contract.pdf.sha256": "e3b0c44298fc1c149afbf4c8996fb924  contract.pdf\n",
                      "contract.txt": "Clause 1. Everything in its place.\n" * 40,
                      "labels.txt": "first\nsecond\n", "urls.txt": "https://example.org/a\n"}.items():
    with open(os.path.join(work, name), "w", encoding="utf-8") as file:
        file.write(content)

for page in PAGES:
    for block in blocks(page, "sh")[0]:
        for line in block.splitlines():
            if re.match(r"(tessera |\S.*\| tessera |PYTHONPATH=python )", line):
                run = shell(line, SOURCE if line.startswith("PYTHONPATH") else work)
                check(f"{page}: {line}", run.returncode == 0, run.stdout)
    for block in blocks(page, "")[0]:
        for command, expected in re.findall(r"^\$ (.*)\n((?:(?!\$ ).*\n)*)", block, re.M):
            said = TIMING.sub("in T", shell(command, work).stdout)
            check(f"{page}: $ {command}", said == TIMING.sub("in T", expected), said)
    for block in blocks(page, "python")[0]:
        run = subprocess.run([sys.executable, "-c", block], cwd=work, env=ENV,
                             capture_output=True, text=True, check=False)
        check(f"{page}: python block", run.returncode == 0, run.stderr)

js, readme = blocks("README.md", "js")
module = os.path.join(SOURCE, "js", "tessera_wasm.js")
if os.path.exists(module):
    program = "(async () => {\n" + js[0] + "})().catch((e) => { console.error(e); process.exit(1); });"
    run = subprocess.run(["node", "-e", program], cwd=os.path.join(SOURCE, "js"),
                         capture_output=True, text=True, check=False)
    check("README.md: js block", run.returncode == 0, run.stderr)
    stated = re.search(r"(\d[\d,]*) bytes, (\d[\d,]*) gzipped", readme)
    check("README.md: the module's size is given in bytes", stated is not None)
    content = open(module, "rb").read()
    for said, measured in zip(stated.groups() if stated else (),
                              (len(content), len(gzip.compress(content, 9)))):
        said = int(said.replace(",", ""))
        check("README.md: the module's size", abs(said - measured) <= measured / 10,
              f"says {said}, measures {measured}")

cli = blocks(os.path.join("docs", "cli.md"), "")[1]
for kind, bytes_, small in re.findall(r"^\| `(\w+)` \|.*\| (\d+) bytes(?: \((\d+) at `-s 1`\))? \|$",
                                      cli, re.M):
    check(f"docs/cli.md: {kind}", size(*SAMPLE, "-t", kind) == int(bytes_), "size")
    if small:
        check(f"docs/cli.md: {kind} at -s 1", size(*SAMPLE, "-t", kind, "-s", "1") == int(small))
for stated, colours in ((r"\((\d+) bytes for the sample in navy on cream\)",
                         ["--dark", "1a237e", "--light", "#FFF8E1"]),
                        (r"\((\d+) bytes for a transparent background\)",
                         ["--light", "ffffff00"])):
    said = int(re.search(stated, cli).group(1))
    check(f"docs/cli.md: {stated}", size(*SAMPLE, "-t", "png", *colours) == said, "size")
caption = re.search(r"\*`tessera (.*) -o docs/sample.png`: version (\d+), level Q, (\d+)\s+pixels"
                    r"\s+per\s+module,\s+(\d+)\s+bytes.\*", cli)
drawn = shell(f"tessera {caption.group(1)} -o sample.png", work)
sample = open(os.path.join(work, "sample.png"), "rb").read()
check("docs/cli.md: the sample", sample == open(os.path.join(SOURCE, "docs", "sample.png"),
                                                "rb").read() and len(sample) == int(caption.group(4)))
width = int.from_bytes(sample[16:20], "big")  # PNG's IHDR
check("docs/cli.md: the sample's version", width == (4 * int(caption.group(2)) + 17 + 8) *
      int(caption.group(3)), str(width))

subprocess.run(["rm", "-rf", work], check=True)
print("\n".join(failures) or f"{len(checked)} examples and numbers hold")
sys.exit(1 if failures or len(checked) < 30 else 0)
