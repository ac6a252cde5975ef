// libFuzzer target: any text as a stored announcement through the RTF reader. A crash, a hang or
// a sanitizer report is a bug; whatever the text, the reader must finish.
#include <QGuiApplication>
#include <QString>
#include <QTextDocument>
#include <cstdint>
#include <cstdlib>

#include "widgets/RtfReader.h"

extern "C" int LLVMFuzzerInitialize(int *argc, char ***argv)
{
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
    static QGuiApplication app(*argc, *argv);   // fonts and text layout need one
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    // the announcement always starts as RTF, so that the reader rather than the plain path runs
    const QString text = QStringLiteral("{\\rtf1 ") + QString::fromLatin1(reinterpret_cast<const char *>(data), qsizetype(size));
    QTextDocument document;
    Rtf::load(document, text, 64 * 1024);
    (void)document.toPlainText();
    return 0;
}
