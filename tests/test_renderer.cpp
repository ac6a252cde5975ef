// The scan renderer against a helper that lies: every number it sends is checked before use, and
// a picture is taken only when it is exactly what was asked for. No services needed.
#include <QSignalSpy>
#include <QtTest>

#include "widgets/ScanRenderer.h"

class TestRenderer : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { qputenv("VARDEX_SCAN_HELPER", VARDEX_SOURCE_DIR "/tests/lying_renderer.py"); }

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
};

QTEST_MAIN(TestRenderer)
#include "test_renderer.moc"
