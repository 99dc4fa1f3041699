"""Prints, for each image file named, one line: the texts of the QR Codes that zxing-cpp reads
in it, as a JSON list (empty when none). Run with Debian's /usr/bin/python3."""
import json
import sys

import zxingcpp
from PIL import Image

for path in sys.argv[1:]:
    results = zxingcpp.read_barcodes(Image.open(path).convert("L"))
    print(json.dumps([r.text for r in results if r.valid], ensure_ascii=False))
