#!/usr/bin/env python3
"""Writes the demo documents of the file server into a document root: scanned works, materials,
appeal files and the manual. PDFs are small but real (one page of text); .docx files are real
Office Open XML packages."""
import os
import sys
import zipfile


def pdf(path, lines, pages=None):
    """One page of the given lines, or several: pages is a list of lists of lines."""
    pages = pages or [lines]
    n = len(pages)
    kids = " ".join("%d 0 R" % (4 + 2 * i) for i in range(n))
    objs = [
        "<< /Type /Catalog /Pages 2 0 R >>",
        "<< /Type /Pages /Kids [%s] /Count %d >>" % (kids, n),
        "<< /Type /Font /Subtype /Type1 /BaseFont /Helvetica >>",
    ]
    for i, page in enumerate(pages):
        text = "BT /F1 18 Tf 60 760 Td 24 TL " + " ".join(
            "(%s) '" % l.replace("\\", "\\\\").replace("(", "\\(").replace(")", "\\)") for l in page) + " ET"
        objs.append("<< /Type /Page /Parent 2 0 R /MediaBox [0 0 595 842] /Contents %d 0 R "
                    "/Resources << /Font << /F1 3 0 R >> >> >>" % (5 + 2 * i))
        objs.append("<< /Length %d >>\nstream\n%s\nendstream" % (len(text), text))
    out = b"%PDF-1.4\n"
    offsets = []
    for i, o in enumerate(objs, 1):
        offsets.append(len(out))
        out += ("%d 0 obj\n%s\nendobj\n" % (i, o)).encode("latin-1")
    xref = len(out)
    out += ("xref\n0 %d\n0000000000 65535 f \n" % (len(objs) + 1)).encode()
    out += "".join("%010d 00000 n \n" % off for off in offsets).encode()
    out += ("trailer\n<< /Size %d /Root 1 0 R >>\nstartxref\n%d\n%%%%EOF\n" % (len(objs) + 1, xref)).encode()
    os.makedirs(os.path.dirname(path), exist_ok=True)
    with open(path, "wb") as f:
        f.write(out)


def docx(path, paragraphs):
    body = "".join("<w:p><w:r><w:t>%s</w:t></w:r></w:p>" % p for p in paragraphs)
    parts = {
        "[Content_Types].xml":
            '<?xml version="1.0" encoding="UTF-8" standalone="yes"?>'
            '<Types xmlns="http://schemas.openxmlformats.org/package/2006/content-types">'
            '<Default Extension="rels" ContentType="application/vnd.openxmlformats-package.relationships+xml"/>'
            '<Default Extension="xml" ContentType="application/xml"/>'
            '<Override PartName="/word/document.xml" ContentType="application/'
            'vnd.openxmlformats-officedocument.wordprocessingml.document.main+xml"/></Types>',
        "_rels/.rels":
            '<?xml version="1.0" encoding="UTF-8" standalone="yes"?>'
            '<Relationships xmlns="http://schemas.openxmlformats.org/package/2006/relationships">'
            '<Relationship Id="rId1" Type="http://schemas.openxmlformats.org/officeDocument/2006/'
            'relationships/officeDocument" Target="word/document.xml"/></Relationships>',
        "word/document.xml":
            '<?xml version="1.0" encoding="UTF-8" standalone="yes"?>'
            '<w:document xmlns:w="http://schemas.openxmlformats.org/wordprocessingml/2006/main">'
            "<w:body>%s</w:body></w:document>" % body,
    }
    os.makedirs(os.path.dirname(path), exist_ok=True)
    with zipfile.ZipFile(path, "w", zipfile.ZIP_DEFLATED) as z:
        for name, content in parts.items():
            z.writestr(name, content.encode("utf-8"))


def main(root):
    works = ["MA9_1_2_1001", "MA9_1_2_1002", "MA9_1_2_1007", "MA11_2_2_1003", "MA11_2_2_1004",
             "MA11_2_2_1008", "PH10_3_2_1005", "PH10_3_2_1006", "MA9_1_1_1001", "MA11_2_2_1001"]
    for w in works:
        pdf(os.path.join(root, "untestedwork", w + ".pdf"), None, [
            ["Regional stage - scanned work", "Work " + w, "Page 1 of 2", "",
             "Task 1.  (3 + 4) * 5 - 12 / 4 = 35 - 3 = 32", "",
             "Task 2.  2x + 7 = 19;  2x = 12;  x = 6", "",
             "Task 3.  Triangle ABC, AB = BC, angle B = 40 deg.", "    Angles A and C: (180 - 40) / 2 = 70 deg."],
            ["Work " + w, "Page 2 of 2", "", "Draft:", "    12 / 4 = 3,  35 - 3 = 32", "    check: 2 * 6 + 7 = 19"],
        ])
    for m in ["metod_MA9_2024", "metod_MA11_2024", "metod PH10 2024", "metod_MA9_2023"]:
        pdf(os.path.join(root, "MethodologyMaterials", m + ".pdf"), ["Methodology", m])
    for m in ["kim_MA9", "kim_MA9_answers", "kim_MA11", "kim_PH10"]:
        pdf(os.path.join(root, "measuringMaterials", m + ".pdf"), ["Measuring materials", m])
    docx(os.path.join(root, "appeal", "1002_2_1.docx"),
         ["Апелляционное заявление", "Прошу пересмотреть оценку за задание 3."])
    docx(os.path.join(root, "appeal", "1003_2_2.docx"),
         ["Апелляционное заявление", "Прошу пересмотреть оценку за задание 2."])
    pdf(os.path.join(root, "help5v3", "help5v3.pdf"), ["Vardex - user manual"])


if __name__ == "__main__":
    main(sys.argv[1])
