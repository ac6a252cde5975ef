// Long announcements: the time from the text to a laid-out viewer, for texts built to be slow
// (bold switched on and off, many \line, one unbroken line, a long plain text), beside the peer
// of the same visible characters set as plain text with a break every 1,000 characters.
//   build/bench/announcement_bench
#include <QApplication>
#include <QElapsedTimer>
#include <QTextEdit>
#include <QAbstractTextDocumentLayout>
#include <QTextStream>

#include "widgets/RtfReader.h"

namespace {

double layOut(QTextEdit &view, const std::function<void()> &fill)
{
    QElapsedTimer t;
    t.start();
    fill();
    view.document()->documentLayout()->documentSize();   // the whole layout, as showing it needs
    QApplication::processEvents();
    return t.nsecsElapsed() / 1e6;
}

QString brokenEvery(const QString &text, int n)
{
    QString out;
    for (qsizetype i = 0; i < text.size(); i += n)
        out += text.mid(i, n) + QLatin1Char('\n');
    return out;
}

} // namespace

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QTextEdit view;
    view.resize(800, 600);
    view.setReadOnly(true);
    view.show();
    struct Case {
        const char *name;
        QString rtf;
        QString visible;
    };
    QList<Case> cases;
    QString bold = "{\\rtf1\\ansi ", boldText;
    for (int i = 0; i < 50000; ++i) {
        bold += (i % 2 ? "\\b0 x" : "\\b x");
        boldText += 'x';
    }
    cases.append({"bold switched 50,000 times", bold + "}", boldText});
    QString lines = "{\\rtf1\\ansi ", linesText;
    for (int i = 0; i < 100000; ++i) {
        lines += "a\\line ";
        linesText += "a\n";
    }
    cases.append({"100,000 \\line", lines + "}", linesText});
    const QString longLine(512 * 1024, QLatin1Char('w'));
    cases.append({"one line of 512 Ki characters (RTF)", "{\\rtf1\\ansi " + longLine + "}", longLine});
    cases.append({"one line of 512 Ki characters (plain)", longLine, longLine});
    QTextStream out(stdout);
    for (const Case &c : cases) {
        const double ours = layOut(view, [&] { Rtf::load(*view.document(), c.rtf); });
        const double peer = layOut(view, [&] { view.setPlainText(brokenEvery(c.visible, 1000)); });
        out << QString("%1: %2 ms, peer (plain text, same characters) %3 ms").arg(QLatin1String(c.name)).arg(ours, 0, 'f', 0).arg(peer, 0, 'f', 0) << Qt::endl;
    }
    return 0;
}
