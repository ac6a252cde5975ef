#!/usr/bin/env python3
"""Malformed and hostile PDFs, as a file server the workstation does not control may serve them
as a work's scan. Each is small on disk; what it costs lies in what a reader makes of it.

    tests/hostile_pdfs.py FOLDER      writes FOLDER/<kind>.pdf for every kind (or those named after it)
"""
import os
import sys
import zlib


class Pdf:
    """Numbered objects, a cross-reference table and a trailer, written by hand."""

    def __init__(self):
        self.objects = []

    def add(self, body):
        self.objects.append(body if isinstance(body, bytes) else body.encode())
        return len(self.objects)

    def reserve(self):
        return self.add(b'null')

    def set(self, number, body):
        self.objects[number - 1] = body if isinstance(body, bytes) else body.encode()

    @staticmethod
    def stream(data, extra=b'', raw_length=None):
        length = len(data) if raw_length is None else raw_length
        return b'<< /Length %d %s >>\nstream\n' % (length, extra) + data + b'\nendstream'

    def bytes(self, root=1, trailer_extra=b'', startxref=None, prev=None):
        out = bytearray(b'%PDF-1.7\n%\xe2\xe3\xcf\xd3\n')
        offsets = []
        for i, body in enumerate(self.objects, 1):
            offsets.append(len(out))
            out += b'%d 0 obj\n' % i + body + b'\nendobj\n'
        xref = len(out)
        out += b'xref\n0 %d\n0000000000 65535 f \n' % (len(self.objects) + 1)
        for o in offsets:
            out += b'%010d 00000 n \n' % o
        if prev == 'self':
            trailer_extra += b' /Prev %d' % xref
        out += b'trailer\n<< /Size %d /Root %d 0 R %s >>\n' % (len(self.objects) + 1, root, trailer_extra)
        out += b'startxref\n%d\n%%%%EOF\n' % (xref if startxref is None else startxref)
        return bytes(out)


def zeros_deflated(size):
    """A zlib stream of `size` zero bytes, made in a fraction of the time compressing them takes:
    one fully flushed segment repeated (a full flush leaves no reference across segments)."""
    chunk = 16 << 20
    assert size % chunk == 0
    block = bytes(chunk)
    c = zlib.compressobj(9, zlib.DEFLATED, -15)
    segment = c.compress(block) + c.flush(zlib.Z_FULL_FLUSH)
    adler = 1
    for _ in range(size // chunk):
        adler = zlib.adler32(block, adler)
    return b'\x78\xda' + segment * (size // chunk) + b'\x03\x00' + adler.to_bytes(4, 'big')


def simple(content=b'0 0 m 100 100 l S', media=b'[0 0 595 842]', resources=b'<< >>'):
    pdf = Pdf()
    pdf.add('<< /Type /Catalog /Pages 2 0 R >>')
    pdf.add('<< /Type /Pages /Kids [3 0 R] /Count 1 >>')
    pdf.add(b'<< /Type /Page /Parent 2 0 R /MediaBox ' + media + b' /Resources ' + resources
            + b' /Contents 4 0 R >>')
    pdf.add(Pdf.stream(content))
    return pdf


def truncated():
    whole = simple().bytes()
    return whole[:len(whole) // 2]


def not_pdf():
    return b'<html><body>502 Bad Gateway</body></html>\n'


def tree_loop():
    pdf = Pdf()
    pdf.add('<< /Type /Catalog /Pages 2 0 R >>')
    pdf.add('<< /Type /Pages /Kids [3 0 R 2 0 R] /Count 2 >>')
    pdf.add('<< /Type /Pages /Parent 2 0 R /Kids [2 0 R 4 0 R] /Count 2 >>')
    pdf.add('<< /Type /Page /Parent 3 0 R /MediaBox [0 0 595 842] >>')
    return pdf.bytes()


def million_kids():
    pdf = Pdf()
    pdf.add('<< /Type /Catalog /Pages 2 0 R >>')
    pdf.add(b'<< /Type /Pages /Kids [' + b'3 0 R ' * 1_000_000 + b'] /Count 1000000 >>')
    pdf.add('<< /Type /Page /Parent 2 0 R /MediaBox [0 0 595 842] >>')
    return pdf.bytes()


def many_pages():
    # 200,000 pages through a tree whose inner nodes are shared: 20 x 100 x 100
    pdf = Pdf()
    pdf.add('<< /Type /Catalog /Pages 2 0 R >>')
    pdf.add('<< /Type /Pages /Kids [' + '3 0 R ' * 20 + '] /Count 200000 /MediaBox [0 0 595 842] >>')
    pdf.add('<< /Type /Pages /Parent 2 0 R /Kids [' + '4 0 R ' * 100 + '] /Count 10000 >>')
    pdf.add('<< /Type /Pages /Parent 3 0 R /Kids [' + '5 0 R ' * 100 + '] /Count 100 >>')
    pdf.add('<< /Type /Page /Parent 4 0 R /Contents 6 0 R >>')
    pdf.add(Pdf.stream(b'0 0 m 100 100 l S'))
    return pdf.bytes()


def many_distinct_pages():
    # 200,000 pages, each an object of its own (about 13 MB)
    count = 200_000
    pdf = Pdf()
    pdf.add('<< /Type /Catalog /Pages 2 0 R >>')
    pdf.add(b'<< /Type /Pages /Kids [' + b''.join(b'%d 0 R ' % (3 + i) for i in range(count))
            + b'] /Count %d /MediaBox [0 0 595 842] >>' % count)
    for _ in range(count):
        pdf.add(b'<< /Type /Page /Parent 2 0 R >>')
    return pdf.bytes()


def self_form():
    # a form that draws itself twice: a tree of calls with no end
    pdf = simple(content=b'/F Do', resources=b'<< /XObject << /F 5 0 R >> >>')
    pdf.add(Pdf.stream(b'0 0 m 10 10 l S /F Do /F Do',
                       b'/Type /XObject /Subtype /Form /BBox [0 0 595 842] /Resources << /XObject << /F 5 0 R >> >>'))
    return pdf.bytes()


def two_forms():
    # two forms drawing each other
    pdf = simple(content=b'/A Do', resources=b'<< /XObject << /A 5 0 R >> >>')
    pdf.add(Pdf.stream(b'/B Do /B Do', b'/Type /XObject /Subtype /Form /BBox [0 0 595 842] '
                                       b'/Resources << /XObject << /B 6 0 R >> >>'))
    pdf.add(Pdf.stream(b'/A Do /A Do', b'/Type /XObject /Subtype /Form /BBox [0 0 595 842] '
                                       b'/Resources << /XObject << /A 5 0 R >> >>'))
    return pdf.bytes()


def inflating_stream():
    pdf = simple()
    pdf.set(4, Pdf.stream(zeros_deflated(1 << 30), b'/Filter /FlateDecode'))
    return pdf.bytes()


def inflating_operators():
    # 256 MiB of drawing operators: every one of them costs work, not only memory
    pdf = simple()
    ops = b'0 0 m 595 842 l S ' * ((1 << 20) // 18)
    c = zlib.compressobj(9)
    data = b''.join(c.compress(ops) for _ in range(256)) + c.flush()
    pdf.set(4, Pdf.stream(data, b'/Filter /FlateDecode'))
    return pdf.bytes()


def huge_image():
    side = 30000
    pdf = simple(content=b'q 595 0 0 842 0 0 cm /I Do Q', resources=b'<< /XObject << /I 5 0 R >> >>')
    data = zeros_deflated(side * side * 3 // (16 << 20) * (16 << 20))
    pdf.add(Pdf.stream(data, b'/Type /XObject /Subtype /Image /Width %d /Height %d /ColorSpace /DeviceRGB '
                             b'/BitsPerComponent 8 /Filter /FlateDecode' % (side, side)))
    return pdf.bytes()


def huge_media_box():
    return simple(content=b'0 0 m 1000000000 1000000000 l S 1 w 0 0 1000000000 1000000000 re S',
                  media=b'[0 0 1000000000 1000000000]').bytes()


def tall_page():
    return simple(content=b'0 0 m 595 1000000000 l S', media=b'[0 0 595 1000000000]').bytes()


def odd_media_box():
    return simple(media=b'[0 0 -1e300 nan]').bytes()


def deep_arrays():
    depth = 500_000
    pdf = simple()
    pdf.set(1, b'<< /Type /Catalog /Pages 2 0 R /Deep ' + b'[' * depth + b']' * depth + b' >>')
    return pdf.bytes()


def deep_dictionaries():
    depth = 200_000
    pdf = simple()
    pdf.set(3, b'<< /Type /Page /Parent 2 0 R /MediaBox [0 0 595 842] /Contents 4 0 R /Resources '
            + b'<< /X ' * depth + b'1' + b' >>' * depth + b' >>')
    return pdf.bytes()


def deep_graphics_state():
    depth = 1_000_000
    return simple(content=b'q ' * depth + b'0 0 m 100 100 l S' + b' Q' * depth).bytes()


def bad_font():
    pdf = simple(content=b'BT /F1 24 Tf 100 700 Td (Hostile) Tj ET',
                 resources=b'<< /Font << /F1 5 0 R >> >>')
    pdf.add('<< /Type /Font /Subtype /TrueType /BaseFont /Bad /FirstChar 0 /LastChar 255 '
            '/Widths 6 0 R /FontDescriptor 7 0 R >>')
    pdf.add(b'[' + b'1000000000 ' * 256 + b']')
    pdf.add('<< /Type /FontDescriptor /FontName /Bad /Flags 32 /FontBBox [0 0 1000 1000] '
            '/ItalicAngle 0 /Ascent 800 /Descent -200 /CapHeight 700 /StemV 80 /FontFile2 8 0 R >>')
    garbage = bytes((i * 7919 + 13) % 256 for i in range(65536))
    pdf.add(Pdf.stream(b'\x00\x01\x00\x00\xff\xff' + garbage, b'/Length1 4294967295'))
    return pdf.bytes()


def xref_loop():
    return simple().bytes(prev='self')


def xref_beyond():
    return simple().bytes(startxref=10 ** 12)


def bad_lengths():
    pdf = simple()
    pdf.set(4, Pdf.stream(b'0 0 m 100 100 l S', raw_length=2 ** 62))
    return pdf.bytes()


def encrypted():
    pdf = simple()
    enc = pdf.add('<< /Filter /Standard /V 2 /R 3 /Length 128 /P -4 /O <%s> /U <%s> >>'
                  % ('8a' * 32, '3c' * 32))
    return pdf.bytes(trailer_extra=b'/Encrypt %d 0 R /ID [<00112233445566778899aabbccddeeff> '
                                   b'<00112233445566778899aabbccddeeff>]' % enc)


def no_pages():
    pdf = Pdf()
    pdf.add('<< /Type /Catalog /Pages 2 0 R >>')
    pdf.add('<< /Type /Pages /Kids [] /Count 0 >>')
    return pdf.bytes()


def huge_count():
    pdf = Pdf()
    pdf.add('<< /Type /Catalog /Pages 2 0 R >>')
    pdf.add('<< /Type /Pages /Kids [3 0 R] /Count 2147483647 >>')
    pdf.add('<< /Type /Page /Parent 2 0 R /MediaBox [0 0 595 842] >>')
    return pdf.bytes()


def many_images():
    # 20,000 draws of one 4000 x 4000 image
    pdf = simple(content=b'q 595 0 0 842 0 0 cm /I Do Q ' * 20000,
                 resources=b'<< /XObject << /I 5 0 R >> >>')
    pdf.add(Pdf.stream(zeros_deflated(48 << 20), b'/Type /XObject /Subtype /Image /Width 4096 /Height 4096 '
                                                 b'/ColorSpace /DeviceRGB /BitsPerComponent 8 /Filter /FlateDecode'))
    return pdf.bytes()


KINDS = {
    'truncated': truncated,
    'not_pdf': not_pdf,
    'tree_loop': tree_loop,
    'million_kids': million_kids,
    'many_pages': many_pages,
    'many_distinct_pages': many_distinct_pages,
    'self_form': self_form,
    'two_forms': two_forms,
    'inflating_stream': inflating_stream,
    'inflating_operators': inflating_operators,
    'huge_image': huge_image,
    'many_images': many_images,
    'huge_media_box': huge_media_box,
    'tall_page': tall_page,
    'odd_media_box': odd_media_box,
    'deep_arrays': deep_arrays,
    'deep_dictionaries': deep_dictionaries,
    'deep_graphics_state': deep_graphics_state,
    'bad_font': bad_font,
    'xref_loop': xref_loop,
    'xref_beyond': xref_beyond,
    'bad_lengths': bad_lengths,
    'encrypted': encrypted,
    'no_pages': no_pages,
    'huge_count': huge_count,
}


def main():
    folder = sys.argv[1]
    os.makedirs(folder, exist_ok=True)
    only = sys.argv[2:]
    for name, make in KINDS.items():
        if only and name not in only:
            continue
        with open(os.path.join(folder, name + '.pdf'), 'wb') as f:
            f.write(make())


if __name__ == '__main__':
    main()
