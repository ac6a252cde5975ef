// The grading loop with real widgets (offscreen) and the real database: the expert's subject
// areas and the scoring of works.
#include <QCheckBox>
#include <QComboBox>
#include <QHeaderView>
#include <QToolButton>
#include <QLabel>
#include <QMdiArea>
#include <QProgressBar>
#include <QProcess>
#include <QPushButton>
#include <QScopeGuard>
#include <QScrollArea>
#include <QLineEdit>
#include <QScrollBar>
#include <QVBoxLayout>
#include <QtTest>
#include <QPlainTextEdit>
#include <QRegularExpression>

#include "Session.h"
#include "TestFixture.h"
#include "data/DataOperations.h"
#include "appeals/AppealsWindow.h"
#include "app/UnitMainER.h"
#include "data/ADataER.h"
#include "evaluation/UnitEstimateWork.h"
#include "profile/UnitSubjectExp.h"

namespace {

QStringList tickedNames(TFormSubjectExp &form)
{
    QStringList out;
    for (QCheckBox *box : form.checkBoxes())
        if (box->isChecked())
            out << box->objectName();
    return out;
}

QStringList storedChoice(int user = 1)
{
    return Fixture::rows(QString("SELECT `educationListID`, `periodsID` FROM `zet_userseducation` WHERE `usersID`=%1 "
                                 "ORDER BY `educationListID`").arg(user));
}

// The work ids listed in the scoring grid.
QList<int> listedWorks(TFormEstimateWork &form)
{
    QList<int> ids;
    NamedQuery *q = form.DBGrid1->query();
    for (int r = 0; r < q->recordCount(); ++r)
        ids << q->value(r, "id").toInt();
    std::sort(ids.begin(), ids.end());
    return ids;
}

// Clicks the grid row of a work as the expert would.
void clickWork(TFormEstimateWork &form, int workId)
{
    NamedQuery *q = form.DBGrid1->query();
    for (int r = 0; r < q->recordCount(); ++r) {
        if (q->value(r, "id").toInt() != workId)
            continue;
        const QModelIndex index = form.DBGrid1->model()->index(r, 0);
        form.DBGrid1->scrollTo(index);
        QTest::mouseClick(form.DBGrid1->viewport(), Qt::LeftButton, {},
                          form.DBGrid1->visualRect(index).center());
        return;
    }
    QFAIL(qPrintable(QString("work %1 is not listed").arg(workId)));
}

template <class W>
W *sheetControl(TFormEstimateWork &form, const QString &name)
{
    return form.sheetArea->widget()->findChild<W *>(name);
}

void setScore(TFormEstimateWork &form, int task, const QString &score, const QString &comment = {})
{
    sheetControl<QComboBox>(form, QString("Estimate_%1").arg(task))->setEditText(score);
    sheetControl<TMemo>(form, QString("commentMemo_%1").arg(task))->setPlainText(comment);
}

QStringList results()
{
    return Fixture::rows("SELECT `educationlListID`, `periodID`, `expertID`, `evalutionsystemID`, `estimate`, "
                         "`commentestimate`, `untestedworkID` FROM `zet_result` ORDER BY `id`");
}

} // namespace

class TestGrading : public QObject {
    Q_OBJECT

private slots:
    void init() { Fixture::loadDemo(); }

    // ---- subject areas ----

    void subjectAreasShowAndSave()
    {
        Fixture::exec("INSERT INTO `zet_userseducation` (`usersID`, `educationListID`, `periodsID`) VALUES (1, 3, 1), (1, 99, 1)");
        Session s;
        s.window.item("N27")->trigger();
        TFormSubjectExp *form = FormSubjectExp;
        QVERIFY(form);
        QCOMPARE(form->windowTitle(), QString("Выбор предметной области, в которой Вы являетесь экспертом"));
        QStringList captions, names;
        for (QCheckBox *box : form->checkBoxes())
            captions << box->text(), names << box->objectName();
        QCOMPARE(captions, QStringList({"История", "Математика", "Русский язык", "Физика"}));
        QCOMPARE(names, QStringList({"checkSorev_4", "checkSorev_1", "checkSorev_3", "checkSorev_2"}));
        QCOMPARE(form->checkBoxes().first()->toolTip(), QString("Выбрать предметную область: История"));
        // rows of any period count; an id without a subject area ticks nothing
        QCOMPARE(tickedNames(*form), QStringList({"checkSorev_1", "checkSorev_3", "checkSorev_2"}));

        // nothing ticked: refused, nothing changes
        form->SpeedButton8->click();
        form->BitBtn2->click();
        QCOMPARE(s.platform.texts("information"), QStringList("Не выбрана предметная область"));
        QCOMPARE(storedChoice(), QStringList({"1|2", "2|2", "3|1", "99|1"}));

        // exactly the ticked ids, all with the active period
        form->findChild<QCheckBox *>("checkSorev_4")->click();
        form->findChild<QCheckBox *>("checkSorev_2")->click();
        form->BitBtn2->click();
        QCOMPARE(s.platform.texts("information").last(), QString("Данные сохранены"));
        QCOMPARE(storedChoice(), QStringList({"2|2", "4|2"}));
        QCOMPARE(storedChoice(2), QStringList());   // other experts untouched

        // reopening shows the saved ticks; select all stores every subject area
        form->closeWindow();
        QVERIFY(!FormSubjectExp);
        s.window.item("N27")->trigger();
        QCOMPARE(tickedNames(*FormSubjectExp), QStringList({"checkSorev_4", "checkSorev_2"}));
        FormSubjectExp->SpeedButton7->click();
        FormSubjectExp->BitBtn2->click();
        QCOMPARE(storedChoice(), QStringList({"1|2", "2|2", "3|2", "4|2"}));
        QVERIFY(s.platform.texts("error").isEmpty());
    }

    void subjectAreasFailedSaveKeepsChoice()
    {
        Fixture::exec("CREATE TRIGGER `fail_choice` BEFORE INSERT ON `zet_userseducation` FOR EACH ROW "
                      "SIGNAL SQLSTATE '45000' SET MESSAGE_TEXT='disk full'");
        Session s;
        TFormSubjectExp form;
        form.SpeedButton7->click();
        form.BitBtn2->click();
        QCOMPARE(s.platform.texts("error"), QStringList("При сохранении возникла ошибка"));
        QVERIFY(s.platform.boxes.last().detail.contains("disk full"));   // the reason, under the details
        QVERIFY(s.platform.texts("information").isEmpty());
        QCOMPARE(storedChoice(), QStringList({"1|2", "2|2"}));
        QCOMPARE(form.checkBoxes().size(), 4);   // the ticks stay for another try
        QCOMPARE(tickedNames(form).size(), 4);
    }

    // The server restarted between two commands: a read, a transaction that starts, or an answer
    // (an update that may be sent twice) goes through on a new connection.
    void lostConnectionBetweenCommands()
    {
        Session s;
        AppealsWindow appeals;   // opened before the subject areas change its lists
        appeals.show();
        Fixture::restartDatabase();
        TFormSubjectExp form;
        QCOMPARE(form.checkBoxes().size(), 4);
        QVERIFY(s.platform.boxes.isEmpty());
        Fixture::restartDatabase();
        form.SpeedButton7->click();
        form.BitBtn2->click();
        QCOMPARE(s.platform.texts("information"), QStringList("Данные сохранены"));
        QCOMPARE(storedChoice(), QStringList({"1|2", "2|2", "3|2", "4|2"}));

        auto *answer = appeals.claimsArea->widget()->findChild<TMemo *>();
        QVERIFY(answer);
        answer->setPlainText("Ответ");
        Fixture::restartDatabase();
        appeals.saveButton->click();
        QVERIFY(s.platform.texts("toplevel").isEmpty());
        QCOMPARE(s.platform.texts("information").last(), QString("Сохранение завершено"));
        QCOMPARE(Fixture::scalar("SELECT COUNT(*) FROM `zet_appeal` WHERE `answerСlaim`='Ответ'").toInt(), 1);
    }

    // ---- scoring ----

    void worksListAndSheet()
    {
        Session s;
        s.window.item("N33")->trigger();
        TFormEstimateWork *form = FormEstimateWork;
        QVERIFY(form);
        QCOMPARE(listedWorks(*form), QList<int>({1, 2, 3, 4, 5, 10}));
        QVERIFY(!form->BitBtn1->isEnabled());   // no sheet yet
        QVERIFY(form->ProgressBar1->isHidden());

        clickWork(*form, 1);
        QCOMPARE(form->sheetWork(), 1);
        QVERIFY(form->BitBtn1->isEnabled());
        // on screen by ascending task id, six controls per task in their order (the score box in a
        // row with its maximum)
        QStringList order;
        auto *layout = form->sheetArea->widget()->layout();
        for (int i = 0; i < layout->count(); ++i)
            if (QWidget *w = layout->itemAt(i)->widget())
                order << w->objectName();
        QStringList expected;
        for (int task : {1, 2, 3, 4})
            for (const char *prefix : {"title_", "comment1_", "scoreRow_", "comment2_", "commentMemo_", "MyShape_"})
                expected << prefix + QString::number(task);
        QCOMPARE(order, expected);
        QCOMPARE(sheetControl<QLabel>(*form, "title_2")->text(), QString("Задание 2. Решите уравнение"));
        auto *score3 = sheetControl<QComboBox>(*form, "Estimate_3");
        QCOMPARE(score3->count(), 11);
        QCOMPARE(score3->currentText(), QString("0"));
        QCOMPARE(sheetControl<QLabel>(*form, "maxEstimate_3")->text(), QString("из 10"));
        QCOMPARE(sheetControl<QComboBox>(*form, "Estimate_4")->count(), 1);   // a 0-point task offers only "0"
        auto *memo = sheetControl<TMemo>(*form, "commentMemo_1");
        memo->setPlainText(QString(600, QChar(0x0436)));
        QCOMPARE(memo->toPlainText().size(), 500);

        // another click replaces the sheet
        clickWork(*form, 4);
        QCOMPARE(form->sheetWork(), 4);
        QVERIFY(!sheetControl<QComboBox>(*form, "Estimate_1"));
        QVERIFY(sheetControl<QComboBox>(*form, "Estimate_5"));

        // sorting by a title click keeps the rows and orders them by that field
        const QStringList statement = form->DBGrid1->query()->sql();
        clickTitle(form->DBGrid1, 2);
        QCOMPARE(form->DBGrid1->query()->sql(), statement);   // sorted in memory, not re-read
        QCOMPARE(form->DBGrid1->query()->value(0, "user_id").toInt(), 1001);
        QVERIFY(form->DBGrid1->isColumnHidden(3));   // the work's id stays hidden after a re-read
        QCOMPARE(form->DBGrid1->model()->headerData(1, Qt::Horizontal).toString(), QString("Класс"));
        QCOMPARE(listedWorks(*form), QList<int>({1, 2, 3, 4, 5, 10}));
    }

    // The checks before anything is written: per row the scores and comments of tasks 1..4 of
    // work 1 (maximums 5, 7, 10, 0), the message and where the focus goes.
    void sheetChecks_data()
    {
        QTest::addColumn<QStringList>("scores");
        QTest::addColumn<QStringList>("comments");
        QTest::addColumn<QString>("message");
        QTest::addColumn<QString>("focus");
        const QString noComment = "У задания, оцененного не на максимальный балл, отсутствует комментарий. "
                                  "Необходимо обосновать свое решение";
        QTest::newRow("all at maximum, no comments") << QStringList({"5", "7", "10", "0"}) << QStringList({"", "", "", ""})
                                                     << "Данные сохранены" << "";
        QTest::newRow("below maximum without comment") << QStringList({"4", "7", "10", "0"}) << QStringList({"", "", "", ""})
                                                       << noComment << "commentMemo_1";
        QTest::newRow("comment of blanks counts") << QStringList({"4", "7", "10", "0"}) << QStringList({"   ", "", "", ""})
                                                  << "Данные сохранены" << "";
        QTest::newRow("two failing: the higher id first") << QStringList({"0", "7", "3", "0"}) << QStringList({"", "", "", ""})
                                                          << noComment << "commentMemo_3";
        QTest::newRow("above maximum") << QStringList({"5", "7", "11", "0"}) << QStringList({"", "", "", ""})
                                       << "Оценка за задание должна быть целым числом от 0 до 10" << "Estimate_3";
        QTest::newRow("negative") << QStringList({"-1", "7", "10", "0"}) << QStringList({"x", "", "", ""})
                                  << "Оценка за задание должна быть целым числом от 0 до 5" << "Estimate_1";
        QTest::newRow("not a number") << QStringList({"5", "7,5", "10", "0"}) << QStringList({"", "x", "", ""})
                                      << "Оценка за задание должна быть целым числом от 0 до 7" << "Estimate_2";
        QTest::newRow("0-point task above 0") << QStringList({"5", "7", "10", "1"}) << QStringList({"", "", "", ""})
                                              << "Оценка за задание должна быть целым числом от 0 до 0" << "Estimate_4";
    }
    void sheetChecks()
    {
        QFETCH(QStringList, scores);
        QFETCH(QStringList, comments);
        QFETCH(QString, message);
        QFETCH(QString, focus);
        Session s;
        TFormEstimateWork form;
        form.show();
        clickWork(form, 1);
        for (int task = 1; task <= 4; ++task)
            setScore(form, task, scores[task - 1], comments[task - 1]);
        form.BitBtn1->click();
        QCOMPARE(s.platform.texts("information"), QStringList(message));
        const bool saved = message == "Данные сохранены";
        QCOMPARE(Fixture::scalar("SELECT COUNT(*) FROM `zet_result`").toInt(), saved ? 4 : 0);
        QCOMPARE(Fixture::scalar("SELECT `checkWork` FROM `zet_untestedwork` WHERE `id`=1").toInt(), saved ? 1 : 0);
        if (!saved) {
            QCOMPARE(form.focusWidget()->objectName(), focus);
            QCOMPARE(form.sheetWork(), 1);   // the sheet stays as typed
            // the refused task is framed in red until its box changes
            QWidget *box = form.focusWidget();
            QVERIFY(box->styleSheet().contains("red"));
            if (auto *memo = qobject_cast<TMemo *>(box))
                memo->setPlainText("Обоснование");
            else
                static_cast<QComboBox *>(box)->setEditText("0");
            QVERIFY(box->styleSheet().isEmpty());
        }
    }

    // The sheet is the current row's: mouse, arrow keys and Enter move it, and a line above it
    // names the work. Clicking the row of the sheet on screen keeps what was typed.
    void sheetFollowsTheCurrentRow()
    {
        Session s;
        TFormEstimateWork form;
        QVERIFY(activate(&form));
        NamedQuery *list = form.DBGrid1->query();
        clickWork(form, list->value(0, "id").toInt());
        QCOMPARE(form.sheetWork(), list->value(0, "id").toInt());
        QCOMPARE(form.LabelWork->text(), QString("Работа: %1, класс %2, код работы %3")
                                             .arg(list->value(0, "PrefixEncrypt").toString(),
                                                  list->value(0, "classStudy").toString(),
                                                  list->value(0, "user_id").toString()));
        auto *memo = form.sheetArea->widget()->findChild<TMemo *>();
        memo->setPlainText("набрано");
        clickWork(form, form.sheetWork());   // the same row again: the sheet stays as typed
        QCOMPARE(form.sheetArea->widget()->findChild<TMemo *>(), memo);
        QCOMPARE(memo->toPlainText(), QString("набрано"));
        QTest::keyClick(form.DBGrid1, Qt::Key_Down);
        QCOMPARE(form.sheetWork(), list->value(1, "id").toInt());
        QVERIFY(form.LabelWork->text().endsWith("код работы " + list->value(1, "user_id").toString()));
        QTest::keyClick(form.DBGrid1, Qt::Key_Up);
        QTest::keyClick(form.DBGrid1, Qt::Key_Return);
        QCOMPARE(form.sheetWork(), list->value(0, "id").toInt());
        QCOMPARE(form.DBGrid1->currentIndex().row(), 0);
    }

    // Tab goes task by task as shown, score then comment, out of the list and on to "Сохранить";
    // a Tab in a comment moves on instead of typing a tab.
    void tabGoesTaskByTask()
    {
        Session s;
        TFormEstimateWork form;
        QVERIFY(activate(&form));
        clickWork(form, 1);
        form.DBGrid1->setFocus();
        QStringList visited;
        for (int i = 0; i < 9; ++i) {
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
            QWidget *w = QApplication::focusWidget();
            while (w && w->objectName().isEmpty() && w->parentWidget())
                w = w->parentWidget();   // the line edit inside a score box
            visited << (w ? w->objectName() : QString());
        }
        QCOMPARE(visited, QStringList({"Estimate_1", "commentMemo_1", "Estimate_2", "commentMemo_2", "Estimate_3",
                                       "commentMemo_3", "Estimate_4", "commentMemo_4", "BitBtn1"}));
        QVERIFY(!sheetControl<TMemo>(form, "commentMemo_1")->toPlainText().contains('\t'));
    }

    // Scrolling the sheet over a score box scrolls; the score changes only in the focused box.
    void wheelScrollsTheSheet()
    {
        Session s;
        TFormEstimateWork form;
        form.resize(918, 400);
        QVERIFY(activate(&form));
        clickWork(form, 1);
        auto *score = sheetControl<QComboBox>(form, "Estimate_1");
        setScore(form, 1, "3");
        form.DBGrid1->setFocus();
        QScrollBar *bar = form.sheetArea->verticalScrollBar();
        QVERIFY(bar->maximum() > 0);
        const int before = bar->value();
        wheel(score);
        QCOMPARE(score->currentText(), QString("3"));
        QVERIFY(bar->value() > before);
    }

    // A sheet is saved only for the expert who opened it: not after a failed login (nobody),
    // not under another expert; nothing is written.
    void sheetOfAnotherSessionIsRefused()
    {
        Session s;
        TFormEstimateWork form;
        form.show();
        clickWork(form, 1);
        for (int task = 1; task <= 4; ++task)
            setScore(form, task, QStringList({"5", "7", "10", "0"})[task - 1]);
        // a failed second login logs the expert out
        s.platform.onDialog = [](QDialog &d) {
            d.findChild<QLineEdit *>("Edit1")->setText("expert@vetlan.test");
            d.findChild<QLineEdit *>("Edit2")->setText("wrong");
            return int(QDialog::Accepted);
        };
        s.window.item("N2")->trigger();
        QCOMPARE(s.data.userID, -1);
        form.BitBtn1->click();
        const QString refused = "Оценочный лист открыт другим пользователем. Откройте работу заново.";
        QCOMPARE(s.platform.texts("information"), QStringList(refused));
        s.data.userID = 2;
        form.BitBtn1->click();
        QCOMPARE(s.platform.texts("information"), QStringList({refused, refused}));
        QCOMPARE(Fixture::scalar("SELECT COUNT(*) FROM `zet_result`").toInt(), 0);
        QCOMPARE(Fixture::scalar("SELECT `checkWork` FROM `zet_untestedwork` WHERE `id`=1").toInt(), 0);

        // the subject areas of nobody are not saved either
        s.data.userID = 1;
        TFormSubjectExp areas;
        s.data.userID = -1;
        areas.SpeedButton7->click();
        areas.BitBtn2->click();
        QCOMPARE(s.platform.texts("error").last(), QString("Пользователь не авторизован. Выполните вход и откройте окно заново."));
        QCOMPARE(storedChoice(-1), QStringList());
        QCOMPARE(storedChoice(), QStringList({"1|2", "2|2"}));
    }

    // A result row without its work (a site's column may allow NULL) hides no work from the list.
    void resultWithoutWorkHidesNothing()
    {
        Fixture::exec("ALTER TABLE `zet_result` MODIFY `untestedworkID` INT NULL");
        const auto restore = qScopeGuard([] {
            Fixture::exec("DELETE FROM `zet_result` WHERE `untestedworkID` IS NULL");
            Fixture::exec("ALTER TABLE `zet_result` MODIFY `untestedworkID` INT NOT NULL");
        });
        Fixture::exec("INSERT INTO `zet_result` (`educationlListID`, `periodID`, `expertID`, `evalutionsystemID`, `estimate`, "
                      "`untestedworkID`) VALUES (1, 2, 1, 1, 3, NULL)");
        Session s;
        TFormEstimateWork form;
        QCOMPARE(listedWorks(form), QList<int>({1, 2, 3, 4, 5, 10}));
    }

    // A task title that looks like markup is shown as text, in its caption and in its hint.
    void taskTitleStaysPlain()
    {
        const QString title = "<h1 style=\"color:red\">Апелляция удовлетворена</h1><img src=\"/dev/zero\">";
        Fixture::exec("UPDATE `zet_evaluationsystem` SET `titletask`='" + title + "' WHERE `id`=1");
        Session s;
        TFormEstimateWork form;
        form.show();
        clickWork(form, 1);
        auto *caption = sheetControl<QLabel>(form, "title_1");
        QCOMPARE(caption->textFormat(), Qt::PlainText);
        QCOMPARE(caption->text(), title);
        QVERIFY(caption->toolTip().contains("&lt;h1"));   // escaped: the hint shows the text, not a heading
        QVERIFY(!caption->toolTip().contains("<img"));
    }

    // Damaged tasks from the database: a maximum past any real one is refused for its task (no list
    // of two billion scores), the rest of the sheet works and the save says why it cannot; a title
    // of a megabyte is shown cut, whole on a click; a sheet of a thousand tasks reads in order.
    void damagedTasks()
    {
        Fixture::exec("UPDATE `zet_evaluationsystem` SET `maxestimation`=2147483647 WHERE `id`=2");
        // a centre's column may hold far more than ours
        Fixture::exec("ALTER TABLE `zet_evaluationsystem` MODIFY `titletask` MEDIUMTEXT NOT NULL");
        const auto restore = qScopeGuard([] {
            Fixture::exec("DELETE FROM `zet_evaluationsystem`");
            Fixture::exec("ALTER TABLE `zet_evaluationsystem` MODIFY `titletask` VARCHAR(512) NOT NULL");
        });
        Fixture::exec("UPDATE `zet_evaluationsystem` SET `titletask`=REPEAT('Длинное задание ', 65536) WHERE `id`=3");
        const QString whole = QString("Длинное задание ").repeated(65536);
        Session s;
        TFormEstimateWork form;
        form.show();
        clickWork(form, 1);
        auto *damaged = sheetControl<QComboBox>(form, "Estimate_2");
        QVERIFY(!damaged->isEnabled());
        QCOMPARE(damaged->count(), 1);
        QCOMPARE(sheetControl<QLabel>(form, "maxEstimate_2")->text(),
                 QString("максимальный балл 2147483647 недопустим (больше 100): задание нельзя оценить, сообщите администратору"));
        QCOMPARE(sheetControl<QComboBox>(form, "Estimate_1")->count(), 6);
        QApplication::processEvents();   // laid out, as the expert sees it
        QVERIFY(form.grab().save(QCoreApplication::applicationDirPath() + "/damaged-tasks.png"));   // to look at
        auto *title = sheetControl<QLabel>(form, "title_3");
        QVERIFY(title->text().endsWith("…"));
        QVERIFY(title->text().size() <= 2001);
        QString shown;
        s.platform.onDialog = [&](QDialog &d) {
            shown = d.findChild<QPlainTextEdit *>()->toPlainText();
            return int(QDialog::Rejected);
        };
        QTest::mouseClick(title, Qt::LeftButton);
        QCOMPARE(shown, whole);
        setScore(form, 1, "5");
        setScore(form, 3, "10");
        form.BitBtn1->click();
        QCOMPARE(s.platform.texts("information"),
                 QStringList("Работу нельзя сохранить: у задания «Задание 2. Решите уравнение» максимальный балл 2147483647 "
                             "недопустим (больше 100): задание нельзя оценить, сообщите администратору. Оценки остальных "
                             "заданий сохранены в черновике."));
        QCOMPARE(results(), QStringList());

        QStringList tasks;
        for (int i = 0; i < 1000; ++i)
            tasks << QString("(%1, 2, 1, 3, 'Задание %1')").arg(100 + i);
        Fixture::exec("INSERT INTO `zet_evaluationsystem` (`id`, `periodID`, `educationlListID`, `maxestimation`, `titletask`) VALUES "
                      + tasks.join(','));
        clickWork(form, 2);
        clickWork(form, 1);
        QStringList titles;
        for (QLabel *l : form.sheetArea->widget()->findChildren<QLabel *>(QRegularExpression("^title_")))
            titles << l->objectName();
        QCOMPARE(titles.size(), 1004);
        // on screen by ascending task, from the top
        auto *first = sheetControl<QWidget>(form, "title_1"), *last = sheetControl<QWidget>(form, "title_1099");
        QVERIFY(first->y() < sheetControl<QWidget>(form, "Estimate_1")->parentWidget()->y());
        QVERIFY(first->y() < last->y());
        QVERIFY(sheetControl<QWidget>(form, "title_100")->y() < sheetControl<QWidget>(form, "title_101")->y());
    }

    // The list's own order puts classes by number: 9 before 11, not as texts.
    void classesByNumber()
    {
        Session s;
        TFormEstimateWork form;
        form.show();
        NamedQuery *q = form.DBGrid1->query();
        QStringList classes;
        for (int r = 0; r < q->recordCount(); ++r)
            classes << q->value(r, "classStudy").toString();
        QCOMPARE(classes, QStringList({"9", "9", "9", "9", "11", "11"}));
    }

    // A refused task out of view is brought into view.
    void refusedTaskIsShown()
    {
        Session s;
        TFormEstimateWork form;
        form.resize(918, 400);
        form.show();
        clickWork(form, 1);
        setScore(form, 2, "7");
        setScore(form, 3, "10");
        setScore(form, 1, "9");   // task 1 is at the top; scroll to the bottom first
        form.sheetArea->verticalScrollBar()->setValue(form.sheetArea->verticalScrollBar()->maximum());
        form.BitBtn1->click();
        auto *box = sheetControl<QComboBox>(form, "Estimate_1");
        const QRect inViewport(box->mapTo(form.sheetArea->viewport(), QPoint(0, 0)), box->size());
        QVERIFY2(form.sheetArea->viewport()->rect().contains(inViewport),
                 qPrintable(QString("box at %1,%2 %3x%4 in %5x%6").arg(inViewport.x()).arg(inViewport.y()).arg(inViewport.width())
                                .arg(inViewport.height()).arg(form.sheetArea->viewport()->width()).arg(form.sheetArea->viewport()->height())));

        // a missing comment: the whole task comes into view, its title, score and comment, also
        // when the view has little more room than the task
        setScore(form, 1, "1");
        setScore(form, 2, "7");
        setScore(form, 3, "10");
        QRect task;
        for (int pass = 0; pass < 3; ++pass) {   // a narrower view wraps the texts: measure again
            task = QRect();
            for (QWidget *w : form.sheetArea->widget()->findChildren<QWidget *>(QString(), Qt::FindDirectChildrenOnly))
                if (w->objectName().section('_', 1) == "1")
                    task |= w->geometry();
            form.resize(form.width(), form.height() - form.sheetArea->viewport()->height() + task.height() + 16);
            QApplication::processEvents();
        }
        form.sheetArea->verticalScrollBar()->setValue(form.sheetArea->verticalScrollBar()->maximum());
        form.BitBtn1->click();
        for (const char *name : {"title_1", "Estimate_1", "commentMemo_1"}) {
            auto *w = sheetControl<QWidget>(form, name);
            const QRect shown(w->mapTo(form.sheetArea->viewport(), QPoint(0, 0)), w->size());
            QVERIFY2(form.sheetArea->viewport()->rect().contains(shown),
                     qPrintable(QString("%1 %2,%3 %4x%5 in %6 task %7").arg(name).arg(shown.x()).arg(shown.y()).arg(shown.width()).arg(shown.height()).arg(form.sheetArea->viewport()->height()).arg(task.height())));
        }
    }

    // A comment the centre's table cannot hold (its character set is narrower than ours) is
    // refused before anything is written, naming the characters, with the focus in its box.
    void textTheColumnCannotHold()
    {
        Session s;
        TFormEstimateWork form;
        form.show();
        QVERIFY(activate(&form));
        clickWork(form, 1);
        const QString comment = "x₂ ≠ 😀 ё";
        setScore(form, 1, "3", comment);
        setScore(form, 2, "7");
        setScore(form, 3, "10");
        form.BitBtn1->click();
        const QString refused = Fixture::unholdable(comment);
        if (refused.isEmpty()) {
            QCOMPARE(s.platform.texts("information"), QStringList("Данные сохранены"));
            QCOMPARE(Fixture::scalar("SELECT `commentestimate` FROM `zet_result` WHERE `evalutionsystemID`=1").toString(), comment);
            return;
        }
        QCOMPARE(s.platform.texts("error"), QStringList(unstorableMessage(refused)));
        QCOMPARE(QApplication::focusWidget(), sheetControl<QWidget>(form, "commentMemo_1"));
        QCOMPARE(Fixture::scalar("SELECT COUNT(*) FROM `zet_result`").toInt(), 0);
        QCOMPARE(Fixture::scalar("SELECT `checkWork` FROM `zet_untestedwork` WHERE `id`=1").toInt(), 0);
    }

    // The link breaks at the commit of a save: the message says what the database holds, and
    // a save that did not land can be repeated.
    void linkBreaksAtTheCommit_data()
    {
        QTest::addColumn<QString>("mode");
        QTest::addColumn<bool>("stored");
        QTest::newRow("commit lost") << "lost" << false;
        QTest::newRow("answer lost") << "reply" << true;
        QTest::newRow("answer lost, server away") << "reply-away" << true;
    }
    void linkBreaksAtTheCommit()
    {
        QFETCH(QString, mode);
        QFETCH(bool, stored);
        CutProxy proxy;
        Config config = Config::get();
        config.dbPort = proxy.port();
        Session s(config, 1);
        TFormEstimateWork form;
        form.show();
        clickWork(form, 2);
        setScore(form, 1, "3", "Неполное решение");
        setScore(form, 2, "7");
        setScore(form, 3, "10");
        proxy.arm(mode);
        form.BitBtn1->click();
        QVERIFY(proxy.fired());
        const QString count = "SELECT COUNT(*) FROM `zet_result` WHERE `untestedworkID`=2";
        if (mode == "reply-away") {
            // stored, but the server cannot be asked: not a failure, an unknown outcome, the draft kept
            QCOMPARE(s.platform.texts("information"),
                     QStringList("При сохранении возникла ошибка\n\rСвязь с сервером базы данных прервана. Неизвестно, "
                                 "сохранены ли изменения: когда связь восстановится, откройте окно заново и проверьте."));
            QCOMPARE(Fixture::scalar(count).toInt(), 4);
            QVERIFY(form.drafts()->load(2, 1, 2).has_value());
            return;
        }
        if (stored) {
            QCOMPARE(s.platform.texts("information"), QStringList("Данные сохранены"));
            QCOMPARE(Fixture::scalar(count).toInt(), 4);
            return;
        }
        QCOMPARE(s.platform.texts("information"),
                 QStringList("При сохранении возникла ошибка\n\rСвязь с сервером базы данных была прервана и восстановлена. "
                             "Изменения не сохранены, повторите команду."));
        QCOMPARE(Fixture::scalar(count).toInt(), 0);
        form.BitBtn1->click();
        QCOMPARE(s.platform.texts("information").last(), QString("Данные сохранены"));
        QCOMPARE(Fixture::scalar(count).toInt(), 4);
    }

    // A title click's order lasts through every re-read; after a save the work that stood
    // below the saved one opens, found by its id.
    void orderLastsAndTheNextWorkFollowsIt()
    {
        Session s;
        TFormEstimateWork form;
        form.show();
        const auto order = [&] {
            QList<int> ids;
            for (int r = 0; r < form.DBGrid1->query()->recordCount(); ++r)
                ids << form.DBGrid1->query()->value(r, "id").toInt();
            return ids;
        };
        QCOMPARE(order(), QList<int>({1, 10, 2, 3, 4, 5}));   // the statement's: class by number, then work code
        clickTitle(form.DBGrid1, 2);                            // by work code
        QCOMPARE(order(), QList<int>({1, 10, 2, 4, 5, 3}));
        form.readData();
        QCOMPARE(order(), QList<int>({1, 10, 2, 4, 5, 3}));
        clickWork(form, 1);
        setScore(form, 1, "3", "Неполное решение");
        setScore(form, 2, "7");
        setScore(form, 3, "10");
        form.BitBtn1->click();
        QCOMPARE(s.platform.texts("information"), QStringList("Данные сохранены"));
        QCOMPARE(order(), QList<int>({10, 2, 4, 5, 3}));
        QCOMPARE(form.sheetWork(), 10);
    }

    void saveWritesEveryTaskAndMarksTheWork()
    {
        Session s;
        TFormEstimateWork form;
        form.show();
        clickWork(form, 1);
        const QString comment = Fixture::holdable("Ошибка в знаке; «ε» и 😀 — сохраняются");
        setScore(form, 1, "3", comment);
        setScore(form, 2, "7");
        setScore(form, 3, " 10 ");
        NamedQuery *list = form.DBGrid1->query();
        int row = 0;
        while (list->value(row, "id").toInt() != 1)
            ++row;
        form.BitBtn1->click();
        QCOMPARE(s.platform.texts("information"), QStringList("Данные сохранены"));
        QCOMPARE(results(), QStringList({"1|2|1|4|0||1", "1|2|1|3|10||1", "1|2|1|2|7||1", "1|2|1|1|3|" + comment + "|1"}));
        QCOMPARE(Fixture::scalar("SELECT `checkWork` FROM `zet_untestedwork` WHERE `id`=1").toInt(), 1);
        // the work leaves the list, the participant's other work stays; the next work's sheet
        // takes the saved one's place, fresh
        QCOMPARE(listedWorks(form), QList<int>({2, 3, 4, 5, 10}));
        QCOMPARE(form.sheetWork(), list->value(qMin(row, list->recordCount() - 1), "id").toInt());
        QVERIFY(form.BitBtn1->isEnabled());
        QVERIFY(form.ProgressBar1->isHidden());
        QCOMPARE(form.ProgressBar1->value(), 4);
        for (auto *box : form.sheetArea->widget()->findChildren<QComboBox *>())
            QCOMPARE(box->currentText(), QString("0"));
        // another expert's list is untouched by this expert's results
        QCOMPARE(Fixture::scalar("SELECT COUNT(*) FROM `zet_result` WHERE `expertID`<>1").toInt(), 0);
    }

    void failureMidSaveWritesNothing()
    {
        Fixture::exec("CREATE TRIGGER `fail_task2` BEFORE INSERT ON `zet_result` FOR EACH ROW "
                      "BEGIN IF NEW.`evalutionsystemID`=2 THEN SIGNAL SQLSTATE '45000' SET MESSAGE_TEXT='lost'; END IF; END");
        Session s;
        TFormEstimateWork form;
        form.show();
        clickWork(form, 1);
        setScore(form, 1, "4", "неточность");
        setScore(form, 2, "7");
        setScore(form, 3, "10");
        form.BitBtn1->click();
        QCOMPARE(s.platform.texts("information"), QStringList("При сохранении возникла ошибка"));
        QCOMPARE(Fixture::scalar("SELECT COUNT(*) FROM `zet_result`").toInt(), 0);
        QCOMPARE(Fixture::scalar("SELECT `checkWork` FROM `zet_untestedwork` WHERE `id`=1").toInt(), 0);
        QVERIFY(form.ProgressBar1->isHidden());
        QCOMPARE(form.sheetWork(), 1);
        QCOMPARE(sheetControl<TMemo>(form, "commentMemo_1")->toPlainText(), QString("неточность"));
        QVERIFY(listedWorks(form).contains(1));
        // once the server is well again the same sheet saves
        Fixture::exec("DROP TRIGGER `fail_task2`");
        form.BitBtn1->click();
        QCOMPARE(s.platform.texts("information").last(), QString("Данные сохранены"));
        QCOMPARE(Fixture::scalar("SELECT COUNT(*) FROM `zet_result`").toInt(), 4);
    }

    // Another workstation holds the work's row past the server's lock wait: the save gives way
    // and runs again, and the expert only sees it saved.
    void lockConflictIsRunAgain()
    {
        const QStringList root{"--no-defaults", "-uroot", "--socket=" + qEnvironmentVariable("VARDEX_TEST_DB_SOCKET"), "sorev", "-e"};
        const auto asRoot = [root](const QString &sql) {
            QProcess p;
            p.start("mariadb", root + QStringList{sql});
            p.waitForFinished();
        };
        asRoot("SET GLOBAL innodb_lock_wait_timeout=1");
        const auto restore = qScopeGuard([asRoot] { asRoot("SET GLOBAL innodb_lock_wait_timeout=50"); });
        Session s;   // its connection takes the short wait
        TFormEstimateWork form;
        form.show();
        clickWork(form, 1);
        setScore(form, 1, "5");
        setScore(form, 2, "7");
        setScore(form, 3, "10");
        QProcess holder;   // the other workstation: the work's row locked for 1.5 s
        holder.start("mariadb", root + QStringList{"START TRANSACTION; SELECT `id` FROM `zet_untestedwork` WHERE `id`=1 FOR UPDATE; "
                                                   "SELECT SLEEP(1.5); COMMIT;"});
        QVERIFY(holder.waitForStarted());
        QTest::qWait(300);
        const int before = lockConflictsRetried();
        form.BitBtn1->click();
        QCOMPARE(s.platform.texts("information"), QStringList("Данные сохранены"));
        QVERIFY(lockConflictsRetried() > before);
        QCOMPARE(Fixture::scalar("SELECT COUNT(*) FROM `zet_result` WHERE `untestedworkID`=1").toInt(), 4);
        holder.waitForFinished();
    }

    void secondSaveIsRefused()
    {
        Session s;
        TFormEstimateWork form;
        form.show();
        clickWork(form, 2);
        // meanwhile another workstation of the same expert scores the work
        Fixture::exec("INSERT INTO `zet_result` (`educationlListID`, `periodID`, `expertID`, `evalutionsystemID`, "
                      "`estimate`, `commentestimate`, `untestedworkID`) VALUES (1, 2, 1, 1, 5, '', 2)");
        setScore(form, 1, "5");
        setScore(form, 2, "7");
        setScore(form, 3, "10");
        form.BitBtn1->click();
        QCOMPARE(s.platform.texts("information"),
                 QStringList("Эта работа уже оценена. Повторное сохранение невозможно."));
        QCOMPARE(Fixture::scalar("SELECT COUNT(*) FROM `zet_result`").toInt(), 1);
        QVERIFY(!listedWorks(form).contains(2));
        QVERIFY(form.sheetWork() != 2);
    }

    void workWithoutTasks()
    {
        Fixture::exec("DELETE FROM `zet_evaluationsystem` WHERE `educationlListID`=1");
        Session s;
        TFormEstimateWork form;
        form.show();
        clickWork(form, 1);
        QVERIFY(form.sheetArea->widget()->findChildren<QWidget *>(QString(), Qt::FindDirectChildrenOnly).isEmpty());
        form.BitBtn1->click();
        QCOMPARE(s.platform.texts("information"), QStringList("Данные сохранены"));
        QCOMPARE(Fixture::scalar("SELECT COUNT(*) FROM `zet_result`").toInt(), 0);
        QCOMPARE(Fixture::scalar("SELECT `checkWork` FROM `zet_untestedwork` WHERE `id`=1").toInt(), 1);
        QVERIFY(listedWorks(form).contains(1));
    }
};

QTEST_MAIN(TestGrading)
#include "test_grading.moc"
#include "widgets/Memo.h"
