#!/usr/bin/env python3
# A scan helper that lies, for the renderer's tests: it answers each request as VARDEX_LIE says.
#   nan-page       a page size of "nan"         inf-page    a page size of "inf"
#   huge-image     an image of 2147483647² with a negative byte count
#   other-size     a whole image of 64×64 whatever was asked
#   honest         opens one A4 page and renders grey pictures of exactly the size asked
import os
import sys

lie = os.environ.get("VARDEX_LIE", "honest")
out = sys.stdout.buffer
for line in sys.stdin.buffer:
    words = line.split()
    if not words:
        continue
    ident = words[1]
    if words[0] == b"open":
        size = {"nan-page": b"nan,842.00", "inf-page": b"595.00,inf"}.get(lie, b"595.00,842.00")
        out.write(b"opened " + ident + b" 1 " + size + b"\n")
    elif words[0] == b"render":
        width, height = int(words[3]), int(words[4])
        if int(words[8]) > 0:
            width, height = int(words[8]), int(words[9])
        if lie == "huge-image":
            out.write(b"image " + ident + b" 2147483647 2147483647 -4\n")
        elif lie == "other-size":
            out.write(b"image " + ident + b" 64 64 16384\n" + b"\x80" * 16384)
        else:
            out.write(b"image %s %d %d %d\n" % (ident, width, height, width * height * 4) + b"\x80" * (width * height * 4))
    out.flush()
