// The expert's profile with real widgets (offscreen) and the real database: personal data and
// additional personal data.
#include <QCheckBox>
#include <QDateEdit>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QTabWidget>
#include <QtTest>
#include <QApplication>
#include <QScopeGuard>

#include "Session.h"
#include "TestFixture.h"
#include "data/DataOperations.h"
#include "app/UnitMainER.h"
#include "data/ADataER.h"
#include "profile/UnitGeneralData.h"
#include "profile/UnitGeneralDataAppend.h"
#include "data/ProfileData.h"

namespace {

QString user1(const QString &columns)
{
    return Fixture::rows("SELECT " + columns + " FROM `zet_users` WHERE `id`=1").value(0);
}

QString add(const QString &columns, int user = 1)
{
    return Fixture::rows(QString("SELECT %1 FROM `zet_users5add` WHERE `users_id`=%2").arg(columns).arg(user)).value(0);
}

} // namespace

class TestProfile : public QObject {
    Q_OBJECT

private slots:
    void init() { Fixture::loadDemo(); }

    // The additional data's headings and fields on a dark palette: light on dark, no fixed colour.
    void headingsReadOnADarkPalette()
    {
        const DarkPalette dark;
        Session s;
        TFormGeneralDataAppend form;
        QVERIFY(activate(&form));
        int headings = 0;
        for (QLabel *label : form.findChildren<QLabel *>()) {
            label->ensurePolished();
            QVERIFY2(label->palette().color(label->foregroundRole()).toHsl().lightness() > 120, qPrintable(label->text()));
            headings += label->font().bold();
        }
        QVERIFY(headings >= 3);
    }

    // Per row: what is typed into surname, name and patronymic; the message; the field with the
    // focus afterwards; and what is stored (empty: nothing written).
    void personalData_data()
    {
        QTest::addColumn<QStringList>("typed");
        QTest::addColumn<QString>("message");
        QTest::addColumn<QString>("focus");
        QTest::addColumn<QString>("stored");
        const QString unchanged = "Соколова|Мария|Ивановна|(+7)9001234567";
        QTest::newRow("empty surname and name: only the first message")
            << QStringList({"", "", "Ивановна"}) << "Не введена фамилия" << "Editsurname" << unchanged;
        QTest::newRow("blanks only count as empty") << QStringList({"Соколова", "   ", "Ивановна"}) << "Не введено имя"
                                                    << "Editname" << unchanged;
        QTest::newRow("Latin letter in the surname") << QStringList({"Сокоlова", "Мария", "Ивановна"})
                                                     << "В фамилии используются недопустимые символы" << "Editsurname" << unchanged;
        QTest::newRow("Latin letter in the patronymic") << QStringList({"Соколова", "Мария", "Ivanovna"})
                                                        << "В отчестве используются недопустимые символы" << "Editpatronymic" << unchanged;
        QTest::newRow("empty patronymic") << QStringList({"Соколова", "Мария", ""}) << "Не введено отчество"
                                          << "Editpatronymic" << unchanged;
        QTest::newRow("Latin letters in the name")
            << QStringList({"Соколова", "MARIA2", "Ивановна"}) << "В имени используются недопустимые символы" << "Editname" << unchanged;
        QTest::newRow("names normalised, digits pass")
            << QStringList({"  иванова-петрова ", "мария2", "ИВАНОВНА"}) << "Данные обновлены." << ""
            << "Иванова-Петрова|Мария2|ИВАНОВНА|(+7)9001234567";
    }
    void personalData()
    {
        QFETCH(QStringList, typed);
        QFETCH(QString, message);
        QFETCH(QString, focus);
        QFETCH(QString, stored);
        Session s;
        QString shownEmail, shownPhone, focused;
        s.platform.onDialog = [&](QDialog &d) -> int {
            auto &dlg = static_cast<TFormGeneralData &>(d);
            shownEmail = dlg.LabelEmail->text();
            shownPhone = dlg.EditPhone->text();
            dlg.Editsurname->setText(typed[0]);
            dlg.Editname->setText(typed[1]);
            dlg.Editpatronymic->setText(typed[2]);
            dlg.accept();   // "Сохранить" (Enter), whatever state the live check left the button in
            if (dlg.result() != QDialog::Accepted)
                focused = dlg.focusWidget() ? dlg.focusWidget()->objectName() : QString();
            return dlg.result();
        };
        s.window.item("N102")->trigger();
        QCOMPARE(shownEmail, QString("expert@vetlan.test"));
        QCOMPARE(shownPhone, QString("(+7)9001234567"));
        QCOMPARE(s.platform.texts(message == "Данные обновлены." ? "information" : "error"), QStringList(message));
        QCOMPARE(user1("`surname`, `name`, `patronymic`, `phone`"), stored);
        QCOMPARE(focused, focus);
    }

    void liveCheckPhoneAndCancel()
    {
        Session s;
        s.platform.onDialog = [&](QDialog &d) -> int {
            auto &dlg = static_cast<TFormGeneralData &>(d);
            dlg.Editname->setText("Maria");
            [&] {
                QVERIFY(!dlg.BitBtn1->isEnabled());
                QVERIFY(dlg.Editname->styleSheet().contains("red"));
            }();
            dlg.Editname->setText("Мария");
            [&] { QVERIFY(dlg.BitBtn1->isEnabled()); }();
            dlg.Editname->setText("");
            [&] { QVERIFY(!dlg.BitBtn1->isEnabled()); }();
            dlg.EditPhone->setText("9123456789");   // typed into the ten positions
            return int(QDialog::Rejected);          // "Отмена": nothing written
        };
        s.window.item("N102")->trigger();
        QVERIFY(s.platform.boxes.isEmpty());
        QCOMPARE(user1("`name`, `phone`"), QString("Мария|(+7)9001234567"));

        s.platform.onDialog = [&](QDialog &d) -> int {
            auto &dlg = static_cast<TFormGeneralData &>(d);
            dlg.EditPhone->clear();
            QTest::keyClicks(dlg.EditPhone, "9123456789");
            dlg.BitBtn1->click();
            return dlg.result();
        };
        s.window.item("N102")->trigger();
        QCOMPARE(user1("`phone`"), QString("(+7)9123456789"));
    }

    // "123", Tab, OK, Tab: the incomplete number stays refused; Esc brings the stored one back
    // and the dialog stays open.
    void incompletePhoneStaysRefused()
    {
        Session s;
        bool stillOpen = false;
        QString afterEsc;
        s.platform.onDialog = [&](QDialog &d) -> int {
            auto &dlg = static_cast<TFormGeneralData &>(d);
            dlg.show();
            QApplication::setActiveWindow(&dlg);
            [&] { QVERIFY(QTest::qWaitForWindowActive(&dlg)); }();
            dlg.EditPhone->setFocus();
            dlg.EditPhone->selectAll();
            QTest::keyClick(dlg.EditPhone, Qt::Key_Backspace);
            QTest::keyClicks(dlg.EditPhone, "123");
            QTest::keyClick(dlg.EditPhone, Qt::Key_Tab);
            QTest::qWait(20);
            dlg.BitBtn1->click();
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
            QTest::qWait(20);
            dlg.BitBtn1->click();
            const bool refused = dlg.result() != QDialog::Accepted && dlg.isVisible();
            dlg.EditPhone->setFocus();
            QTest::keyClick(dlg.EditPhone, Qt::Key_Escape);
            stillOpen = refused && dlg.isVisible();
            afterEsc = dlg.EditPhone->text();
            dlg.BitBtn1->click();
            return dlg.result();
        };
        s.window.item("N102")->trigger();
        QVERIFY(stillOpen);
        QCOMPARE(afterEsc, QString("(+7)9001234567"));
        QVERIFY(s.platform.texts("error").size() >= 3);
        for (const QString &text : s.platform.texts("error"))
            QCOMPARE(text, QString("Invalid input value.  Use escape key to abandon changes"));
        QCOMPARE(user1("`phone`"), QString("(+7)9001234567"));
        QCOMPARE(s.platform.texts("information"), QStringList("Данные обновлены."));
    }

    // Stored texts longer than an edit's limit are shown, copied and saved whole; the area is
    // copied as chosen in the popup; the wheel over an unfocused list scrolls the page instead.
    void storedTextsAndListsOnThePages()
    {
        const QString longStreet = "улица " + QString("Академика Длинного ").repeated(5).trimmed();
        QVERIFY(longStreet.size() > 64 && longStreet.size() <= 128);
        Fixture::exec("UPDATE `zet_users5add` SET `street`='" + longStreet + "' WHERE `users_id`=1");
        Session s;
        TFormGeneralDataAppend form;
        form.resize(700, 300);   // the page scrolls
        QVERIFY(activate(&form));
        QCOMPARE(form.Editstreet->text(), longStreet);
        form.CheckBox1->click();
        QCOMPARE(form.EditStreetReg->text(), longStreet);
        choose(form.DBComboArea, "Приморский район");
        QCOMPARE(form.EditareasReg->text(), QString("Приморский район"));

        form.Editcyti->setFocus();
        auto *scroll = qobject_cast<QScrollArea *>(form.PageControl1->currentWidget());
        QVERIFY(scroll);
        QVERIFY(scroll->verticalScrollBar()->maximum() > 0);
        const int before = scroll->verticalScrollBar()->value();
        wheel(form.DBComboArea);
        QCOMPARE(form.DBComboArea->currentText(), QString("Приморский район"));
        QVERIFY(scroll->verticalScrollBar()->value() > before);

        form.BitBtn2->click();
        QCOMPARE(add("`street`, `streetReg`, `areasReg`"), longStreet + "|" + longStreet + "|Приморский район");
    }

    void additionalDataCreatedOnce()
    {
        Session s(2);   // no additional-data row yet
        s.window.item("N11")->trigger();
        TFormGeneralDataAppend *form = FormGeneralDataAppend;
        QVERIFY(form);
        QCOMPARE(Fixture::scalar("SELECT COUNT(*) FROM `zet_users5add` WHERE `users_id`=2").toInt(), 1);
        QCOMPARE(add("DATE(`dateOfIssueDoc`)", 2), QDate::currentDate().toString(Qt::ISODate));
        QCOMPARE(form->DBComboArea->currentIndex(), -1);
        QVERIFY(!form->CheckBox1->isChecked());
        QCOMPARE(form->DateTimePicker1->date(), QDate::currentDate());
        QCOMPARE(form->PageControl1->count(), 4);
        QCOMPARE(form->PageControl1->tabText(3), QString("Место работы"));
        form->closeWindow();
        s.window.item("N11")->trigger();
        QCOMPARE(Fixture::scalar("SELECT COUNT(*) FROM `zet_users5add` WHERE `users_id`=2").toInt(), 1);
        // a racing second insert is ignored by the unique key
        ProfileData::insertAdditional(2);
        QCOMPARE(Fixture::scalar("SELECT COUNT(*) FROM `zet_users5add` WHERE `users_id`=2").toInt(), 1);
    }

    void additionalDataPages()
    {
        Session s;
        TFormGeneralDataAppend form;
        // the demo row
        QCOMPARE(form.DBComboArea->currentText(), QString("Центральный район"));
        QCOMPARE(form.Editcyti->text(), QString("Вишнёвск"));
        QCOMPARE(form.DateTimePicker1->date(), QDate(2015, 6, 1));
        QCOMPARE(form.ComboBoxacademicDegree->currentText(), QString("Кандидат наук"));

        // ticking copies, typing follows, unticking empties
        form.CheckBox1->click();
        QVERIFY(form.CheckBox1->isChecked());
        QCOMPARE(form.EditareasReg->text(), QString("Центральный район"));
        QCOMPARE(form.EditcityReg->text(), QString("Вишнёвск"));
        form.Editstreet->clear();
        for (QChar c : QString("пр. Мира"))   // letter by letter, as typed
            form.Editstreet->insert(c);
        QCOMPARE(form.EditStreetReg->text(), QString("пр. Мира"));
        form.BitBtn2->click();
        QCOMPARE(s.platform.texts("information"), QStringList("Изменения сохранены"));
        QCOMPARE(add("`areasID`, `street`, `areasReg`, `cityReg`, `streetReg`, `homeReg`"),
                 QString("1|пр. Мира|Центральный район|Вишнёвск|пр. Мира|12"));
        form.CheckBox1->click();
        QCOMPARE(form.EditcityReg->text() + form.EditareasReg->text() + form.EditStreetReg->text() + form.EdithomeReg->text()
                     + form.EditofficeReg->text(),
                 QString());

        // each page writes only its own columns
        form.Editsnils->setText("999-999-999 99");
        form.EditBIK->setText("044525999");
        form.BitBtn3->click();
        QCOMPARE(add("`BIK`, `snils`"), QString("044525999|123-456-789 00"));
        form.ComboBoxacademicDegree->setCurrentIndex(form.ComboBoxacademicDegree->findText("Доктор наук"));
        form.EditplaceOfWork->setText("Гимназия № 2");
        form.BitBtn5->click();
        QCOMPARE(add("`placeOfWork`, `academicDegreeID`, `snils`"), QString("Гимназия № 2|3|123-456-789 00"));
        form.DateTimePicker1->setDate(QDate(2020, 2, 29));
        form.BitBtn4->click();
        QCOMPARE(add("`snils`, DATE(`dateOfIssueDoc`)"), QString("999-999-999 99|2020-02-29"));

        // a failing save keeps the window and names the page
        Fixture::exec("CREATE TRIGGER `fail_post` BEFORE UPDATE ON `zet_users5add` FOR EACH ROW "
                      "SIGNAL SQLSTATE '45000' SET MESSAGE_TEXT='locked'");
        form.BitBtn5->click();
        QCOMPARE(s.platform.texts("error"), QStringList("При сохранении места работы возникла ошибка"));
    }

    // A text the centre's table cannot hold is refused before anything is written, naming the
    // characters, with the focus in its box.
    void textTheColumnCannotHold()
    {
        Session s;
        TFormGeneralDataAppend form;
        form.show();
        const QString street = "ул. Ленина ≠ 😀 ё";
        form.Editstreet->setText(street);
        form.Editcyti->setFocus();
        form.BitBtn2->click();
        const QString refused = Fixture::unholdable(street);
        if (refused.isEmpty()) {
            QCOMPARE(s.platform.texts("information"), QStringList("Изменения сохранены"));
            QCOMPARE(add("`street`"), street);
            return;
        }
        QCOMPARE(s.platform.texts("error"), QStringList(unstorableMessage(refused)));
        QCOMPARE(form.focusWidget(), form.Editstreet);
        QVERIFY(add("`street`") != street);
    }
};

QTEST_MAIN(TestProfile)
#include "test_profile.moc"
