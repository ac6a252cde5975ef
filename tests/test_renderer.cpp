// The scan renderer against a helper that lies: every number it sends is checked before use, and
// a picture is taken only when it is exactly what was asked for. No services needed.
#include <QSignalSpy>
#include <QtTest>
#include <QPainter>
#include <QPdfWriter>
#include <QProcess>
#include <QTemporaryDir>

#include "widgets/ScanRenderer.h"

class TestRenderer : public QObject {
    Q_OBJECT

private slots:
    void initTestCase()
    {
        m_realHelper = ScanRenderer::helperPath();
        qputenv("VARDEX_SCAN_HELPER", VARDEX_SOURCE_DIR "/tests/lying_renderer.py");
    }

    // The helper itself takes only requests whose numbers hold in 64 bits: a clip past the page
    // (by int overflow or not) is refused, a proper one is drawn.
    void helperChecksItsRequests()
    {
        QVERIFY(!m_realHelper.isEmpty());
        QTemporaryDir dir;
        const QString pdf = dir.filePath("page.pdf");
        {
            QPdfWriter writer(pdf);
            QPainter painter(&writer);
            painter.drawText(100, 100, "page");
        }
        QProcess helper;
        helper.start(m_realHelper, {});
        QVERIFY(helper.waitForStarted());
        const auto ask = [&](const QByteArray &line) {
            helper.write(line + '\n');
            QByteArray answer;
            while (!answer.contains('\n') && (helper.bytesAvailable() > 0 || helper.waitForReadyRead(10000)))
                answer += helper.read(1);
            return answer.trimmed();
        };
        QVERIFY(ask("open 1 " + pdf.toUtf8().toHex()).startsWith("opened 1 1 "));
        QCOMPARE(ask("render 2 0 100 141 0 2147483647 0 2 10"), QByteArray("error 2 request"));
        QCOMPARE(ask("render 3 0 100 141 0 -5 0 10 10"), QByteArray("error 3 request"));
        QCOMPARE(ask("render 4 0 100 141 0 95 0 10 10"), QByteArray("error 4 request"));
        QCOMPARE(ask("render 5 0 100 141 0 0 0 0 10"), QByteArray("error 5 request"));
        QCOMPARE(ask("render 6 0 100 141 0 90 131 10 10"), QByteArray("image 6 10 10 400"));
        helper.kill();
        helper.waitForFinished();
    }

    void lies_data()
    {
        QTest::addColumn<QString>("lie");
        QTest::addColumn<QString>("outcome");   // "rendered" or the reason given
        const QString damaged = "файл повреждён или не является PDF", nonsense = "программа показа сканов ответила непонятно";
        QTest::newRow("honest") << "honest" << "rendered";
        QTest::newRow("page of nan points") << "nan-page" << damaged;
        QTest::newRow("page of endless points") << "inf-page" << damaged;
        QTest::newRow("image past every bound") << "huge-image" << nonsense;
        QTest::newRow("image of another size") << "other-size" << nonsense;
    }
    void lies()
    {
        QFETCH(QString, lie);
        QFETCH(QString, outcome);
        qputenv("VARDEX_LIE", lie.toLatin1());
        ScanRenderer renderer;
        QSignalSpy opened(&renderer, &ScanRenderer::opened), rendered(&renderer, &ScanRenderer::rendered),
            failed(&renderer, &ScanRenderer::failed);
        renderer.open("any.pdf");
        QTRY_VERIFY(opened.size() + failed.size() == 1);
        if (opened.size() == 1) {
            QCOMPARE(opened[0][0].value<QList<QSizeF>>(), QList<QSizeF>({{595, 842}}));
            renderer.render(0, {100, 141}, 0);
            QTRY_VERIFY(rendered.size() + failed.size() == 1);
        }
        if (outcome == "rendered") {
            QCOMPARE(rendered.size(), 1);
            QCOMPARE(rendered[0][4].value<QImage>().size(), QSize(100, 141));
        } else {
            QCOMPARE(failed.size(), 1);
            QCOMPARE(failed[0][0].toString(), outcome);
        }
        // a helper that lied about a picture is gone: the next scan gets one that answers
        if (opened.size() == 1) {
            qputenv("VARDEX_LIE", "honest");
            renderer.open("next.pdf");
            QTRY_COMPARE(opened.size(), 2);
        }
    }
private:
    QString m_realHelper;
};

QTEST_MAIN(TestRenderer)
#include "test_renderer.moc"
