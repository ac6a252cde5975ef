// Appeal answers and reference materials with real widgets (offscreen) and the real database.
#include <QHeaderView>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QProcess>
#include <QPushButton>
#include <QScrollArea>
#include <QVBoxLayout>
#include <QtTest>
#include <QApplication>
#include <QScopeGuard>
#include <QTextCursor>
#include <QPointer>
#include <QLineEdit>

#include "Session.h"
#include "TestFixture.h"
#include "data/AppealsData.h"
#include "data/DataOperations.h"
#include "widgets/ScanPane.h"
#include "app/UnitMainER.h"
#include "appeals/AppealsWindow.h"
#include "data/ADataER.h"
#include "materials/UnitMaterials.h"

namespace {

QStringList items(const QComboBox *combo)
{
    QStringList out;
    for (int i = 0; i < combo->count(); ++i)
        out << combo->itemText(i);
    return out;
}

// The generated controls from the top down.
QStringList claimControls(AppealsWindow &form)
{
    QStringList out;
    auto *layout = form.claimsArea->widget()->layout();
    for (int i = 0; i < layout->count(); ++i)
        if (QWidget *w = layout->itemAt(i)->widget())
            out << w->objectName();
    return out;
}

TMemo *answerBox(AppealsWindow &form, int claim)
{
    return form.claimsArea->widget()->findChild<TMemo *>(QString("answer_%1").arg(claim));
}

QStringList storedAnswers()
{
    return Fixture::rows("SELECT `id`, COALESCE(`answerСlaim`, 'NULL') FROM `zet_appeal` ORDER BY `id`");
}

QString methodRowFile(TFormMethod &form, int row) { return form.DBGrid1->query()->value(row, "bodyFile").toString(); }

} // namespace

class TestAppeals : public QObject {
    Q_OBJECT

private slots:
    void init() { Fixture::loadDemo(); }

    // Beside the claims: the applicant's work in that discipline, its scan and what each task was
    // given (the score of the maximum and the comment).
    void workBesideTheClaims()
    {
        Fixture::exec("INSERT INTO `zet_result` (`educationlListID`, `periodID`, `expertID`, `evalutionsystemID`, `estimate`, "
                      "`commentestimate`, `untestedworkID`) VALUES (1, 2, 1, 1, 3, 'Ответ записан <b>неверно</b>', 1), "
                      "(1, 2, 1, 2, 7, '', 1), (1, 2, 2, 1, 5, '', 1), (1, 2, 2, 2, 7, '', 1), (1, 2, 2, 3, 10, '', 1), "
                      "(1, 2, 2, 4, 0, '', 1)");
        Session s;
        s.window.item("N7")->trigger();
        AppealsWindow *form = appealsWindow;
        QVERIFY(form);
        choose(form->disciplineList, "Математика 9 класс");
        QCOMPARE(form->workLabel->text(), QString("Работа: MA9, код работы 1001"));
        QTRY_VERIFY(form->Scan->statusText().startsWith("Скан работы: страниц 2"));
        QTRY_VERIFY(form->Scan->view()->cachedBytes() > 0);
        const QString scores = form->scoresLabel->text();
        // each expert's sheet apart, named, with a total of its own
        const QStringList sheets = scores.split("\n\n");
        QCOMPARE(sheets.size(), 2);
        QVERIFY2(sheets[0].startsWith("Эксперт: Соколова Мария Ивановна\nЗадание 1. Вычислите значение выражения: 3 из 5\n"
                                      "    Ответ записан <b>неверно</b>\n"),
                 qPrintable(scores));
        QCOMPARE(form->scoresLabel->textFormat(), Qt::PlainText);   // a participant's text is shown as typed
        QVERIFY2(sheets[0].contains(": 7 из 7\n") && sheets[0].contains(": не оценено") && sheets[0].endsWith("\nИтого: 10 из 22"),
                 qPrintable(scores));
        QVERIFY2(sheets[1].startsWith("Эксперт: Петров Алексей Сергеевич\nЗадание 1. Вычислите значение выражения: 5 из 5\n")
                     && sheets[1].endsWith("\nИтого: 22 из 22") && sheets[1].count("Задание") == 4,
                 qPrintable(scores));
        // another applicant: their own work, not yet scored
        choose(form->applicantList, "Кузнецова Анна Петровна");
        QCOMPARE(form->workLabel->text(), QString("Работа: MA9, код работы 1002"));
        QTRY_VERIFY(form->Scan->statusText().startsWith("Скан работы: страниц 2"));
        QVERIFY(!form->scoresLabel->text().contains("Итого"));
    }

    void typedInAndDocumentAppeals()
    {
        Session s;
        s.window.item("N7")->trigger();
        AppealsWindow *form = appealsWindow;
        QVERIFY(form);
        QCOMPARE(items(form->disciplineList), QStringList({"Математика 11 класс", "Математика 9 класс", "Физика 10 класс"}));
        choose(form->disciplineList, "Математика 9 класс");
        // the first applicant of the new list is chosen; a typed-in appeal shows task, claim, answer
        QCOMPARE(items(form->applicantList), QStringList({"Иванов Иван Иванович", "Кузнецова Анна Петровна"}));
        QCOMPARE(form->applicantList->currentIndex(), 0);
        QCOMPARE(form->formLabel->text(), QString("Апелляция подана в электронном виде"));
        QCOMPARE(claimControls(*form), QStringList({"zad_1", "appeal_1", "answer_1", "zad_2", "appeal_2", "answer_2"}));
        auto *task1 = form->findChild<QLabel *>("zad_1");
        QCOMPARE(task1->text(), QString("ЗАДАНИЕ: Задание 1. Вычислите значение выражения"));
        QCOMPARE(form->findChild<QLabel *>("appeal_2")->text(), QString("Претензия: Не учтено второе решение уравнения."));
        // the second row of the query (task 1) is shaded, the first is not
        QVERIFY(answerBox(*form, 1)->styleSheet().contains("palette(alternate-base)"));
        QVERIFY(!answerBox(*form, 2)->styleSheet().contains("palette(alternate-base)"));
        QVERIFY(!task1->styleSheet().contains("palette(alternate-base)"));
        QVERIFY(form->saveButton->isEnabled());
        QVERIFY(!form->documentButton->isEnabled());

        // saving writes every box, whole; saving twice stores the same; cleared means empty text
        const QString answer = Fixture::holdable("Ответ: решение засчитано ✓ «ε» 😀");
        answerBox(*form, 1)->setPlainText(answer);
        answerBox(*form, 2)->setPlainText("");
        form->saveButton->click();
        form->saveButton->click();
        QCOMPARE(s.platform.texts("information"), QStringList({"Сохранение завершено", "Сохранение завершено"}));
        QCOMPARE(storedAnswers().mid(0, 3), QStringList({"1|" + answer, "2|", "3|NULL"}));

        // Tab in an answer goes on to the next box, typing no tab
        answerBox(*form, 1)->setFocus(Qt::MouseFocusReason);
        QVERIFY(activate(form));
        answerBox(*form, 1)->setFocus(Qt::MouseFocusReason);
        QTest::keyClicks(answerBox(*form, 1), "ok");
        QTest::keyClick(answerBox(*form, 1), Qt::Key_Tab);
        QVERIFY(!answerBox(*form, 1)->toPlainText().contains('\t'));
        QVERIFY(!answerBox(*form, 1)->hasFocus());

        // typed text is lost when the applicant changes; a document appeal: answer boxes only
        answerBox(*form, 1)->setPlainText("не сохранено");
        choose(form->applicantList, "Кузнецова Анна Петровна");
        QCOMPARE(form->formLabel->text(), QString("Апелляция представлена отдельным файлом"));
        QCOMPARE(claimControls(*form), QStringList({"answer_3"}));
        QVERIFY(form->documentButton->isEnabled());
        form->documentButton->click();
        QCOMPARE(s.platform.urls, QStringList(Config::get().filesUrl + "appeal/1002_2_1.docx"));
        // no program on this computer opens it: said, with the address to open by hand
        s.platform.opens = false;
        form->documentButton->click();
        QCOMPARE(s.platform.texts("error"),
                 QStringList("Не удалось открыть документ: на компьютере не найдена программа, которая его открывает. "
                             "Откройте этот адрес в браузере:\n" + Config::get().filesUrl + "appeal/1002_2_1.docx"));
        s.platform.opens = true;
        s.platform.urls.clear();
        choose(form->applicantList, "Иванов Иван Иванович");
        QVERIFY(!form->documentButton->isEnabled());
        QCOMPARE(answerBox(*form, 1)->toPlainText(), answer);
        QVERIFY(s.platform.texts("toplevel").isEmpty());
    }

    // An answer another system stored longer than the box takes is shown, kept and saved whole;
    // only typing is held to the limit.
    void longStoredAnswerStaysWhole()
    {
        const QString stored = QString("Ответ. ").repeated(100).left(600);
        Fixture::exec("UPDATE `zet_appeal` SET `answerСlaim`='" + stored + "' WHERE `id`=1");
        Session s;
        s.window.item("N7")->trigger();
        AppealsWindow *form = appealsWindow;
        choose(form->disciplineList, "Математика 9 класс");
        QCOMPARE(answerBox(*form, 1)->toPlainText(), stored);
        form->saveButton->click();
        QCOMPARE(storedAnswers().first(), "1|" + stored);
        QVERIFY(activate(form));
        answerBox(*form, 1)->setFocus(Qt::MouseFocusReason);
        answerBox(*form, 1)->moveCursor(QTextCursor::End);
        QTest::keyClicks(answerBox(*form, 1), "more");
        QCOMPARE(answerBox(*form, 1)->toPlainText(), stored);
        answerBox(*form, 2)->setFocus(Qt::MouseFocusReason);
        QTest::keyClicks(answerBox(*form, 2), QString(600, 'x'));
        QCOMPARE(answerBox(*form, 2)->toPlainText().size(), 500);
    }

    // The keyboard: Tab from the applicant goes claim by claim from the first shown, then to
    // "Сохранить"; Ctrl+S saves from anywhere in the window.
    void keyboardGoesClaimByClaim()
    {
        Session s;
        s.window.item("N7")->trigger();
        AppealsWindow *form = appealsWindow;
        choose(form->disciplineList, "Математика 9 класс");
        QVERIFY(activate(form));
        form->applicantList->setFocus(Qt::TabFocusReason);
        QStringList order;
        for (int i = 0; i < 3; ++i) {
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
            order << QApplication::focusWidget()->objectName();
        }
        QCOMPARE(order, QStringList({"answer_1", "answer_2", "BitBtn2"}));
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Backtab);
        typeText(QApplication::focusWidget(), "ответ");
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_S, Qt::ControlModifier);
        QCOMPARE(s.platform.texts("information"), QStringList("Сохранение завершено"));
        QCOMPARE(storedAnswers().mid(1, 1), QStringList("2|ответ"));
        QCOMPARE(form->saveButton->text(), QString("&Сохранить"));
    }

    // On a dark palette every claim, answer and heading reads light on dark: no colour is fixed.
    void claimsReadOnADarkPalette()
    {
        const DarkPalette dark;
        Session s;
        s.window.item("N7")->trigger();
        AppealsWindow *form = appealsWindow;
        choose(form->disciplineList, "Математика 9 класс");
        QVERIFY(activate(form));
        form->resize(1180, 620);
        QVERIFY(form->grab().save(QCoreApplication::applicationDirPath() + "/appeals-dark.png"));   // to look at
        const auto lightness = [](QColor c) { return c.toHsl().lightness(); };
        for (QWidget *w : form->claimsArea->widget()->findChildren<QWidget *>(QString(), Qt::FindDirectChildrenOnly)) {
            w->ensurePolished();
            if (auto *memo = qobject_cast<TMemo *>(w)) {
                // what is typed is drawn in the text colour over the box's own background
                const QImage shot = memo->viewport()->grab().toImage();
                const QColor ground = shot.pixelColor(shot.width() - 4, shot.height() - 4);
                QVERIFY2(lightness(ground) < 100, qPrintable(memo->objectName() + " " + ground.name()));
                QVERIFY(lightness(memo->palette().color(QPalette::Text)) > 150);
            } else {
                QVERIFY2(lightness(w->palette().color(w->foregroundRole())) > 150, qPrintable(w->objectName()));
            }
        }
    }

    // One applicant's claims split between two experts: each sees and answers only their own,
    // and a save never writes into another expert's claim.
    void claimsOfAnotherExpertStayTheirs()
    {
        Fixture::exec("UPDATE `zet_appeal` SET `expertID`=2 WHERE `id`=2");
        Session s;
        s.window.item("N7")->trigger();
        AppealsWindow *form = appealsWindow;
        choose(form->disciplineList, "Математика 9 класс");
        QCOMPARE(claimControls(*form), QStringList({"zad_1", "appeal_1", "answer_1"}));
        answerBox(*form, 1)->setPlainText("Ответ первого эксперта");
        form->saveButton->click();
        QCOMPARE(storedAnswers().mid(0, 2), QStringList({"1|Ответ первого эксперта", "2|"}));
        // the data side refuses it too, whatever a caller passes
        saveAppealAnswers(1, {{2, "не своё"}});
        QCOMPARE(storedAnswers().mid(1, 1), QStringList("2|"));

        // another expert logs in on this workstation: the first one's claims leave the screen
        s.platform.onDialog = [](QDialog &d) {
            if (!d.findChild<QLineEdit *>("Edit1"))
                return int(QDialog::Accepted);   // the announcement
            d.findChild<QLineEdit *>("Edit1")->setText("expert2@vetlan.test");
            d.findChild<QLineEdit *>("Edit2")->setText("Demo2024");
            return int(QDialog::Accepted);
        };
        QPointer<AppealsWindow> first = form;
        s.window.item("N2")->trigger();
        QCOMPARE(s.data.userID, 2);
        QTRY_VERIFY(!first);
        QCOMPARE(AppealsData::claims(1001, 1, 2).size(), 1);
        QCOMPARE(AppealsData::claims(1001, 1, 2).first().id, 2);
    }

    // A participant's text is shown as it is: no image is loaded (not /dev/zero, not a pipe that
    // never ends), no heading is drawn; the same for a task title and its hint.
    void hostileTextsStayPlain()
    {
        const QString fifo = QDir::temp().filePath("vardex-hostile-pipe");
        QFile::remove(fifo);
        QVERIFY(QProcess::execute("mkfifo", {fifo}) == 0);
        const QStringList texts = {"<img src=\"/dev/zero\">", "<img src=\"" + fifo + "\">",
                                   "<h1 style=\"color:red\">РЕШЕНИЕ ЖЮРИ: 100 баллов</h1>"};
        Fixture::exec("UPDATE `zet_appeal` SET `claim`='" + texts[0] + "' WHERE `id`=1");
        Fixture::exec("UPDATE `zet_appeal` SET `claim`='" + texts[1] + "' WHERE `id`=2");
        Fixture::exec("UPDATE `zet_evaluationsystem` SET `titletask`='" + texts[2] + "' WHERE `id`=1");
        Session s;
        AppealsWindow form;
        form.show();
        choose(form.disciplineList, "Математика 9 класс");
        auto *claim1 = form.findChild<QLabel *>("appeal_1");
        auto *claim2 = form.findChild<QLabel *>("appeal_2");
        auto *task1 = form.findChild<QLabel *>("zad_1");
        QVERIFY(claim1 && claim2 && task1);
        for (QLabel *label : {claim1, claim2, task1}) {
            QCOMPARE(label->textFormat(), Qt::PlainText);
            label->repaint();   // painting must neither load nor hang
        }
        QCOMPARE(claim1->text(), "Претензия: " + texts[0]);
        QCOMPARE(claim2->text(), "Претензия: " + texts[1]);
        QCOMPARE(task1->text(), "ЗАДАНИЕ: " + texts[2]);
        QFile::remove(fifo);
    }

    void applicantListedTwice()
    {
        Session s;
        AppealsWindow form;
        form.show();
        // both filing forms for one applicant in "Математика 11 класс", the first discipline
        QCOMPARE(items(form.applicantList), QStringList({"Смирнов Дмитрий Олегович", "Смирнов Дмитрий Олегович"}));
        QStringList captions;
        for (int i = 0; i < 2; ++i) {
            choose(form.applicantList, "Смирнов Дмитрий Олегович", i);
            captions << form.formLabel->text();
            QCOMPARE(form.findChildren<TMemo *>().size(), 2);   // all the applicant's claims either way
        }
        captions.sort();
        QCOMPARE(captions, QStringList({"Апелляция подана в электронном виде", "Апелляция представлена отдельным файлом"}));
    }

    void expertWithoutDisciplines()
    {
        Session s(2);
        AppealsWindow form;
        form.show();
        QCOMPARE(form.disciplineList->count(), 0);
        QCOMPARE(form.applicantList->count(), 0);
        QVERIFY(claimControls(form).isEmpty());
        QVERIFY(!form.saveButton->isEnabled());
        QCOMPARE(form.formLabel->text(), QString("Апелляция подана в электронном виде"));
    }

    void methodology()
    {
        Fixture::exec("INSERT INTO `zet_methodology` (`educationlListID`, `periodID`, `comment`, `bodyFile`) "
                      "VALUES (6, 1, 'Архив', 'a #1?%.pdf')");
        Session s(2);   // every period and discipline, whatever the expert's subject areas
        s.window.item("N143")->trigger();
        TFormMethod *form = FormMethod;
        QCOMPARE(form->DBGrid1->query()->recordCount(), 5);
        QVERIFY(form->BitBtn4->isEnabled());
        QCOMPARE(form->DBGrid1->model()->headerData(2, Qt::Horizontal).toString(), QString("Коментарий"));
        form->show();
        clickTitle(form->DBGrid1, 2);
        QCOMPARE(form->DBGrid1->query()->value(0, "comment").toString(), QString("Архив"));
        // reopened, the window lists in the query's own order; a click sorts again
        form->closeWindow();
        s.window.item("N143")->trigger();
        form = FormMethod;
        QCOMPARE(form->DBGrid1->query()->sql().last(), QString("ORDER BY C.`name`,B.`nameEdu`"));
        clickTitle(form->DBGrid1, 2);
        QCOMPARE(methodRowFile(*form, 0), QString("a #1?%.pdf"));
        // the file name is encoded, the folder and base stay
        form->DBGrid1->selectRow0();
        form->BitBtn4->click();
        for (int r = 0; r < form->DBGrid1->query()->recordCount(); ++r)
            if (methodRowFile(*form, r) == "metod PH10 2024.pdf") {
                doubleClickRow(form->DBGrid1, r);
            }
        QCOMPARE(s.platform.urls, QStringList({Config::get().filesUrl + "MethodologyMaterials/a%20%231%3F%25.pdf",
                                                Config::get().filesUrl + "MethodologyMaterials/metod%20PH10%202024.pdf"}));
        form->closeWindow();
        Fixture::exec("DELETE FROM `zet_methodology`");
        TFormMethod empty;
        empty.show();
        QVERIFY(!empty.BitBtn4->isEnabled());
        doubleClickRow(empty.DBGrid1, -1);
        QCOMPARE(s.platform.urls.size(), 2);
    }

    void measuring()
    {
        Fixture::exec("INSERT INTO `zet_measuringmaterials` (`educationlListID`, `comment`, `bodyFile`) "
                      "VALUES (1, 'Прошлый год', 'Задания 2023.pdf')");
        {
            Session s;
            s.window.item("N4")->trigger();
            TFormMeasuring *form = FormMeasuring;
            QCOMPARE(items(form->DBLookupComboBox1), QStringList({"Математика 11 класс", "Математика 9 класс", "Физика 10 класс"}));
            QCOMPARE(form->DBGrid1->query()->recordCount(), 1);
            choose(form->DBLookupComboBox1, "Математика 9 класс");
            QCOMPARE(form->DBGrid1->query()->recordCount(), 3);   // earlier periods included
            form->DBGrid1->setCurrentIndex(form->DBGrid1->model()->index(2, 0));
            form->BitBtn4->click();
            QCOMPARE(s.platform.urls, QStringList(Config::get().filesUrl
                                                  + "measuringMaterials/%D0%97%D0%B0%D0%B4%D0%B0%D0%BD%D0%B8%D1%8F%202023.pdf"));
            Fixture::exec("DELETE FROM `zet_measuringmaterials` WHERE `educationlListID`=2");
            choose(form->DBLookupComboBox1, "Математика 11 класс");
            QVERIFY(!form->BitBtn4->isEnabled());
        }
        Session s(2);
        TFormMeasuring form;
        form.show();
        QCOMPARE(form.DBLookupComboBox1->count(), 0);
        QCOMPARE(form.DBGrid1->query()->recordCount(), 0);
        QVERIFY(!form.BitBtn4->isEnabled());
        doubleClickRow(form.DBGrid1, -1);
        QVERIFY(s.platform.urls.isEmpty());
    }
};

QTEST_MAIN(TestAppeals)
#include "test_appeals.moc"
#include "widgets/Memo.h"
