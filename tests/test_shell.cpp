// The application shell with real widgets (offscreen) and the real database: start-up with the
// database up and down, the permission table, the network change, child windows, help and the
// update check.
#include <QAbstractButton>
#include <QAbstractSpinBox>
#include <QAccessible>
#include <QAction>
#include <QComboBox>
#include <QLineEdit>
#include <QScrollBar>
#include <QDialogButtonBox>
#include <QFile>
#include <QFileDialog>
#include <QHeaderView>
#include <QLabel>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QMenuBar>
#include <QSignalSpy>
#include <QPushButton>
#include <QStatusBar>
#include <QStatusTipEvent>
#include <QTabBar>
#include <QTextDocumentFragment>
#include <QMessageBox>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QDir>
#include <QSqlDatabase>
#include <QtTest>
#include <optional>
#include <QSettings>
#include <QScopeGuard>

#include "RecordingPlatform.h"
#include "Session.h"
#include "TestFixture.h"
#include "widgets/ChildWindow.h"
#include "widgets/Fields.h"
#include "widgets/Grid.h"
#include "widgets/Platform.h"
#include "app/AnnPrewiew.h"
#include "app/UnitMainER.h"
#include "appeals/AppealsWindow.h"
#include "evaluation/UnitEstimateWork.h"
#include "data/ADataER.h"
#include "security/UnitNetSelect.h"

namespace {

const QStringList kAlwaysOn = {"N1", "N2", "N146", "N10", "N157", "N3", "N22", "onLine1", "N137", "N139"};
const QStringList kAllItems = {"N1", "N2", "N146", "N101", "N102", "N11", "N104", "N10", "N27", "N112", "N143",
                               "N156", "N157", "N140", "N3", "N5", "N4", "N6", "N33", "N9", "N8", "N12", "N7",
                               "N21", "N132", "N133", "N134", "N135", "N136", "N22", "onLine1", "N137", "N138",
                               "N139", "M1"};

// A child window over one shared query, standing in for the program's windows.
class TFormProbe : public TChildForm {
    Q_OBJECT
public:
    TFormProbe() : TChildForm("Probe")
    {
        NamedQuery *q = DataER->query("GETarea");
        q->open();
        ownQueries({q});
    }
    static inline TFormProbe *instance = nullptr;
};

QStringList enabledItems(TFormMainER &w)
{
    QStringList out;
    for (const QString &name : kAllItems)
        if (w.item(name)->isEnabled())
            out << name;
    return out;
}

struct Shell : LoggedOut {
    explicit Shell(const Config &cfg = Config::get()) : LoggedOut(cfg) { window.show(); }
};

// What a screen reader calls a control: its own name, else the label it is labelled by, else
// the interface's name (not for combo boxes: on Unix Qt gives their value there).
QString accessibleName(QWidget *w)
{
    if (!w->accessibleName().isEmpty())
        return w->accessibleName();
    QAccessibleInterface *a = QAccessible::queryAccessibleInterface(w);
    if (!a)
        return {};
    const auto labels = a->relations(QAccessible::Labelled);
    if (!labels.isEmpty() && labels.first().first)
        return labels.first().first->text(QAccessible::Name).trimmed();
    return qobject_cast<QComboBox *>(w) ? QString() : a->text(QAccessible::Name).trimmed();
}

} // namespace

class TestShell : public QObject {
    Q_OBJECT
private slots:
    // Message boxes wear captions in the language of their buttons; the personal-data note has
    // its star right before the word.
    void boxCaptionsAndNote()
    {
        installRussianTranslations();
        QCOMPARE(DesktopPlatform::caption(QMessageBox::Information), QString("Информация"));
        QCOMPARE(DesktopPlatform::caption(QMessageBox::Warning), QString("Предупреждение"));
        QCOMPARE(DesktopPlatform::caption(QMessageBox::Critical), QString("Ошибка"));
        Session s;
        bool seen = false;
        s.platform.onDialog = [&](QDialog &d) {
            for (QLabel *l : d.findChildren<QLabel *>())
                if (l->text().contains("Обозначены"))
                    seen = QTextDocumentFragment::fromHtml(l->text()).toPlainText()
                        == "Примечание: Символом *Обозначены обязательные для ввода поля";
            return int(QDialog::Rejected);
        };
        s.window.item("N102")->trigger();
        QVERIFY(seen);
    }

    void init() { Fixture::loadDemo(); }

    void startWithDatabaseUp()
    {
        Shell s;
        QVERIFY(s.platform.boxes.isEmpty());
        QCOMPARE(s.window.lamp(), TFormMainER::Lamp::Green);
        QCOMPARE(s.window.userPanel(), QString("Не авторизованный пользователь"));
        QCOMPARE(s.window.hintPanel(), QString("Здесь будут размещаться краткие подсказки"));
        QVERIFY(s.window.bottomStripText().contains(QString::number(QDate::currentDate().year()) + ", v.3.0"));
        QCOMPARE(enabledItems(s.window), kAlwaysOn);
        QCOMPARE(s.window.windowTitle(),
                 QString("Образовательный центр \"Ветлан\".  Автоматизированное рабочее место эксперта регионального этапа"));
        QCOMPARE(s.window.item("N2")->shortcut(), QKeySequence("Alt+Z"));
        QCOMPARE(s.window.item("N3")->shortcut(), QKeySequence("Alt+X"));
        QCOMPARE(plainCaption(s.window.item("M1")->text()), QString("Обновление АРMа"));
        QCOMPARE(s.window.item("N7")->statusTip(), QString("Рассмотрение апелляционных заявлений "));
        // every hint goes to the hint panel
        QStatusTipEvent tip(s.window.item("N33")->statusTip());
        QCoreApplication::sendEvent(&s.window, &tip);
        QCOMPARE(s.window.hintPanel(), QString("Экспертное оценивание конкурсных работ"));
    }

    // Hovering a dialog's control, a tab of the additional data or the status bar puts its hint
    // into the hint panel.
    void hintsFromDialogsAndTabs()
    {
        Shell s;
        s.data.userID = 1;
        s.window.enableMenu(true);
        QVERIFY(QTest::qWaitForWindowExposed(&s.window));
        // the mouse coming over a widget (the offscreen platform has no pointer to move)
        auto hover = [](QWidget *w) {
            const QPointF at = w->rect().center();
            QEnterEvent enter(at, at, w->mapToGlobal(at));
            QApplication::sendEvent(w, &enter);
        };
        QStringList seen;
        s.platform.onDialog = [&](QDialog &d) {
            d.show();
            [&] { QVERIFY(QTest::qWaitForWindowExposed(&d)); }();
            const auto buttons = d.findChildren<QPushButton *>("BitBtn1");
            hover(buttons.value(0));
            seen << s.window.hintPanel();
            return int(QDialog::Rejected);
        };
        s.window.item("N2")->trigger();     // login
        s.window.item("N157")->trigger();   // network
        s.window.item("N104")->trigger();   // password change
        QCOMPARE(seen, QStringList({"Вход в кабинет", "Назначить сеть для работы",
                                    "Изменить пароль в АИС и выслать на Ваш электронный адрес пароль.  Если Ваш логин не "
                                    "является E-Mail, то отправка письма не состоится"}));
        QCOMPARE(s.window.hintPanel(), QString());   // the closed dialog's hint went with it

        hover(s.window.findChild<QStatusBar *>("StatusBar1"));
        QCOMPARE(s.window.hintPanel(), QString("Строка статуса"));

        s.window.item("N11")->trigger();
        auto *tabs = s.window.findChild<QTabWidget *>("PageControl1");
        QVERIFY(tabs);
        QTabBar *bar = tabs->tabBar();
        QTest::mouseMove(bar, bar->tabRect(2).center());
        QCOMPARE(s.window.hintPanel(), QString("Паспортные данные, ИНН, СНИЛС"));
    }

    void startWithDatabaseDown()
    {
        Config cfg = Config::get();
        cfg.dbPort = 1;
        Shell s(cfg);
        QVERIFY(s.data.creationError());
        QCOMPARE(s.window.lamp(), TFormMainER::Lamp::None);
        // the permission query fails on the closed connection; the always-on commands stay usable
        QCOMPARE(s.platform.texts("toplevel").size(), 1);
        QCOMPARE(enabledItems(s.window), kAlwaysOn);
        s.window.item("N139")->trigger();    // the about box still opens
        QCOMPARE(s.platform.boxes.size(), 1);
    }

    void permissions_data()
    {
        QTest::addColumn<QString>("rows");          // role:item:permission;...
        QTest::addColumn<bool>("loggedIn");
        QTest::addColumn<QStringList>("disabled");  // items expected disabled
        QStringList notAlwaysOn;
        for (const QString &n : kAllItems)
            if (!kAlwaysOn.contains(n))
                notAlwaysOn << n;
        QTest::newRow("empty table, before login") << "" << false << notAlwaysOn;
        QTest::newRow("empty table, after login") << "" << true << QStringList();
        QTest::newRow("N33 off") << "5:N33:0" << true << QStringList{"N33"};
        QTest::newRow("N5 off, with what is beneath") << "5:N5:0" << true
                                                      << QStringList{"N5", "N4", "N6", "N33", "N9", "N8", "N12", "N7"};
        QTest::newRow("N1 off, with what is beneath")
            << "5:N1:0" << true
            << QStringList{"N1", "N2", "N146", "N101", "N102", "N11", "N104", "N10", "N27", "N112", "N143", "N156", "N157", "N140", "N3"};
        QTest::newRow("N2 off before login") << "5:N2:0" << false << notAlwaysOn + QStringList{"N2"};
        QTest::newRow("permission 1 and 2") << "5:N33:1;5:N7:2" << true << QStringList();
        QTest::newRow("role 4") << "4:N33:0" << true << QStringList();
        QTest::newRow("unknown item skipped") << "5:N999:0;5:N8:0" << true << QStringList{"N8"};
        QTest::newRow("case differs") << "5:n33:0" << true << QStringList();
    }
    void permissions()
    {
        QFETCH(QString, rows);
        QFETCH(bool, loggedIn);
        QFETCH(QStringList, disabled);
        Fixture::exec("DELETE FROM `zet_permissionuser`");
        for (const QString &row : rows.split(';', Qt::SkipEmptyParts)) {
            const QStringList f = row.split(':');
            Fixture::exec(QString("INSERT INTO `zet_permissionuser`(`roleID`,`MenuItem`,`permission`) VALUES (%1,'%2',%3)")
                              .arg(f[0], f[1], f[2]));
        }
        Shell s;
        s.window.enableMenu(loggedIn);
        QStringList actual;
        for (const QString &n : kAllItems)
            if (!s.window.item(n)->isEnabled())
                actual << n;
        std::sort(actual.begin(), actual.end());
        std::sort(disabled.begin(), disabled.end());
        QCOMPARE(actual, disabled);
    }

    // The shortcut of an item under a disabled menu does nothing.
    void disabledMenuTakesItsShortcuts()
    {
        Fixture::exec("DELETE FROM `zet_permissionuser`");
        Fixture::exec("INSERT INTO `zet_permissionuser`(`roleID`,`MenuItem`,`permission`) VALUES (5,'N1',0)");
        Shell s;
        QVERIFY(activate(&s.window));
        s.window.enableMenu(true);
        int dialogs = 0;
        s.platform.onDialog = [&](QDialog &) { ++dialogs; return int(QDialog::Rejected); };
        QTest::keyClick(&s.window, Qt::Key_Z, Qt::AltModifier);
        QCOMPARE(dialogs, 0);
        Fixture::exec("DELETE FROM `zet_permissionuser`");
        s.window.enableMenu(true);
        QTest::keyClick(&s.window, Qt::Key_Z, Qt::AltModifier);
        QCOMPARE(dialogs, 1);   // the same key opens the login once the menu is allowed
    }

    // Every menu and every item has a letter of its own within its menu (Alt+letter on the bar,
    // the letter alone in an open menu), as a Russian desktop user expects.
    void menusByKeyboard()
    {
        Shell s;
        s.data.userID = 1;
        QVERIFY(activate(&s.window));
        s.window.enableMenu(true);
        const auto letterOf = [](QAction *a) { return QKeySequence::mnemonic(a->text())[0].key(); };
        QList<QList<QAction *>> menus{s.window.menuBar()->actions()};
        for (QAction *top : s.window.menuBar()->actions())
            menus << top->menu()->actions();
        for (const QList<QAction *> &menu : menus) {
            QSet<int> letters;
            for (QAction *a : menu) {
                if (a->isSeparator())
                    continue;
                QVERIFY2(!QKeySequence::mnemonic(a->text()).isEmpty(), qPrintable(a->text()));
                QVERIFY2(!letters.contains(letterOf(a)), qPrintable(a->text()));
                letters.insert(letterOf(a));
            }
        }
        // Alt+Э opens "Экспертная оценка"; О in it opens the scoring window
        QMenu *expert = s.window.item("N5")->menu();
        QTest::sendKeyEvent(QTest::Click, &s.window, Qt::Key(0x42D), QString("э"), Qt::AltModifier);
        QTRY_VERIFY(expert->isVisible());
        QTest::sendKeyEvent(QTest::Click, expert, Qt::Key(0x41E), QString("о"), Qt::NoModifier);
        QTRY_VERIFY(!expert->isVisible());
        QTRY_VERIFY(s.window.mdiArea()->findChild<TFormEstimateWork *>());
    }

    void networkChange()
    {
        Shell s;
        s.data.userID = 7;
        s.window.enableMenu(true);
        openChildWindow<TFormProbe>(s.window.mdiArea(), TFormProbe::instance, [] { return new TFormProbe; });
        QVERIFY(DataER->query("GETarea")->active());

        // cancel: nothing changes
        QSignalSpy down(&s.data, &TDataER::afterDisconnect), up(&s.data, &TDataER::afterConnect);
        s.window.item("N157")->trigger();
        QCOMPARE(s.window.mdiArea()->subWindowList().size(), 1);
        QCOMPARE(down.count() + up.count(), 0);

        // OK on the intranet: the dialog opened on "Интернет"; windows close, the lamp goes red then green
        int shownIndex = -1;
        s.platform.onDialog = [&](QDialog &d) {
            auto &net = static_cast<TFormNetSelect &>(d);
            shownIndex = net.itemIndex();
            net.setItemIndex(1);
            return int(QDialog::Accepted);
        };
        s.window.item("N157")->trigger();
        QCoreApplication::processEvents();
        QCOMPARE(shownIndex, 0);
        QVERIFY(s.window.mdiArea()->subWindowList().isEmpty());
        QVERIFY(TFormProbe::instance == nullptr);
        QVERIFY(!DataER->query("GETarea")->active());
        QCOMPARE(down.count(), 1);
        QCOMPARE(up.count(), 1);
        QCOMPARE(s.window.lamp(), TFormMainER::Lamp::Green);
        QVERIFY(s.data.connectionParams().contains("Port=" + QString::number(Config::get().dbIntranetPort)));
        QCOMPARE(s.data.userID, 7);
        QCOMPARE(enabledItems(s.window), kAllItems);
        QVERIFY(s.platform.boxes.isEmpty());
    }

    // A server that takes no more connections says so in Russian with its own words, and the
    // other network is offered at once (Enter takes it), as "Выбор сети" would.
    void serverTakingNoWorkOffersTheOtherNetwork()
    {
        Shell s;
        s.data.userID = 1;
        s.window.enableMenu(true);
        const int before = Fixture::rootScalar("SELECT @@GLOBAL.max_connections").toInt();
        QStringList holders;
        const auto restore = qScopeGuard([&] {
            for (const QString &name : holders)
                QSqlDatabase::removeDatabase(name);
            Fixture::rootSql(QString("SET GLOBAL max_connections = %1").arg(before));
        });
        // the workstation's connection cut, and every connection of the server taken by others
        const QString fixtures = Fixture::scalar("SELECT CONNECTION_ID()").toString();
        Fixture::rootSql("SET GLOBAL max_connections = 10");   // the server's least
        const QString ours = Fixture::rootScalar("SELECT GROUP_CONCAT(`ID`) FROM information_schema.PROCESSLIST "
                                                 "WHERE `USER`='sorev' AND `ID`<>" + fixtures);
        for (const QString &id : ours.split(',', Qt::SkipEmptyParts))
            Fixture::rootSql("KILL CONNECTION " + id);
        for (bool open = true; open && holders.size() < 20;) {
            holders << QString("holder%1").arg(holders.size());
            QSqlDatabase held = QSqlDatabase::cloneDatabase(Fixture::db(), holders.last());
            open = held.open();
        }
        QVERIFY(holders.size() < 20);
        int offered = -1;
        s.platform.onDialog = [&](QDialog &d) {
            if (auto *net = qobject_cast<TFormNetSelect *>(&d))
                offered = net->itemIndex();
            return int(QDialog::Rejected);
        };
        s.window.item("N27")->trigger();
        const QStringList shown = s.platform.texts("toplevel");
        QCOMPARE(shown.size(), 1);
        QVERIFY2(shown.first().startsWith("Сервер базы данных сейчас не может принять работу: заняты все соединения сервера. "
                                          "Ничего не сохранено.") && shown.first().contains("Too many connections"),
                 qPrintable(shown.first()));
        QTRY_COMPARE(offered, 1 - s.data.net());
    }

    void childWindowOncePerClass()
    {
        Shell s;
        s.window.enableMenu(true);
        auto *first = openChildWindow<TFormProbe>(s.window.mdiArea(), TFormProbe::instance, [] { return new TFormProbe; });
        auto *second = openChildWindow<TFormProbe>(s.window.mdiArea(), TFormProbe::instance, [] { return new TFormProbe; });
        QCOMPARE(first, second);
        QCOMPARE(s.window.mdiArea()->subWindowList().size(), 1);
        s.window.item("N136")->trigger();   // "Закрыть все"
        QCoreApplication::processEvents();
        QVERIFY(TFormProbe::instance == nullptr);
        QVERIFY(!DataER->query("GETarea")->active());
        s.window.item("N136")->trigger();   // nothing open: nothing happens
        QVERIFY(s.platform.boxes.isEmpty());
    }

    void helpAddresses()
    {
        Shell s;
        s.window.item("onLine1")->trigger();
        s.window.item("N137")->trigger();
        s.window.item("N146")->trigger();
        QCOMPARE(s.platform.urls, QStringList({Config::get().filesUrl + "help5v3/index.htm",
                                               Config::get().filesUrl + "help5v3/help5v3.pdf", Config::get().siteUrl}));
    }

    void updateCheck_data()
    {
        QTest::addColumn<QString>("stored");      // "-" for no row
        QTest::addColumn<bool>("updaterOnPath");
        QTest::addColumn<bool>("starts");
        QTest::newRow("same version") << "v3.0.0 build 2" << true << false;
        QTest::newRow("letter case differs") << "V3.0.0 build 2" << true << true;
        QTest::newRow("extra blank") << "v3.0.0 build 2 " << true << true;
        QTest::newRow("no row") << "-" << true << true;
        QTest::newRow("updater missing") << "v2.0.0 build 1" << false << false;
    }
    void updateCheck()
    {
        QFETCH(QString, stored);
        QFETCH(bool, updaterOnPath);
        QFETCH(bool, starts);
        Fixture::exec("DELETE FROM `zet_updatearm`");
        if (stored != "-")
            Fixture::exec(QString("INSERT INTO `zet_updatearm`(`roleID`,`Version`) VALUES (5,'%1')").arg(stored));
        QTemporaryDir bin;
        const QByteArray oldPath = qgetenv("PATH");
        if (updaterOnPath) {
            QFile f(bin.path() + "/Tovrel.exe");
            f.open(QIODevice::WriteOnly);
            f.write("#!/bin/sh\n");
            f.close();
            f.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
            qputenv("PATH", bin.path().toUtf8() + ":" + oldPath);
        }
        Shell s;
        s.window.enableMenu(true);
        s.window.item("M1")->trigger();
        qputenv("PATH", oldPath);
        if (starts) {
            QCOMPARE(s.platform.started.size(), 1);
            QCOMPARE(s.platform.started[0].first, bin.path() + "/Tovrel.exe");
            QCOMPARE(s.platform.started[0].second,
                     QStringList({QCoreApplication::applicationFilePath(), QString::number(qulonglong(s.window.winId()))}));
            QVERIFY(s.platform.boxes.isEmpty());
        } else {
            QVERIFY(s.platform.started.isEmpty());
            if (stored == "v3.0.0 build 2")
                QCOMPARE(s.platform.texts("information"),
                         QStringList("У Вас установлена последняя версии программы.\n\rОбновление не требуется"));
            else
                QVERIFY(s.platform.boxes.isEmpty());
        }
    }

    // On every screen an expert may have, light or dark, every window opens whole inside the area;
    // one opened while another is maximised opens maximised. Each is saved as a picture to look
    // at (screens/ beside the test program). The 4K screen at scale 2 is the run with
    // QT_SCALE_FACTOR=2 (test_shell_scale2).
    void childWindowsOpenWhole_data()
    {
        QTest::addColumn<QSize>("screen");   // in device pixels
        QTest::addColumn<bool>("dark");
        const bool scaled = qApp->devicePixelRatio() > 1.5;
        for (const QSize screen : {QSize(1024, 600), QSize(1366, 768), QSize(1920, 1080), QSize(3840, 2160)})
            for (const bool dark : {false, true})
                if (!scaled || screen.width() == 3840)
                    QTest::newRow(qPrintable(QString("%1x%2%3").arg(screen.width()).arg(screen.height()).arg(dark ? "-dark" : "")))
                        << screen << dark;
    }
    void childWindowsOpenWhole()
    {
        QFETCH(QSize, screen);
        QFETCH(bool, dark);
        std::optional<DarkPalette> palette;
        if (dark)
            palette.emplace();
        const QString shots = QCoreApplication::applicationDirPath() + "/screens/";
        QDir().mkpath(shots);
        const QString tag = QString::fromLatin1(QTest::currentDataTag()) + (qApp->devicePixelRatio() > 1.5 ? "-scale2" : "");
        Shell s;
        s.window.showNormal();
        const QSize logical = screen / qApp->devicePixelRatio();
        s.window.setGeometry(0, 0, logical.width(), logical.height());
        s.data.userID = 1;
        s.window.enableMenu(true);
        QMdiArea *area = s.window.mdiArea();
        const QRect room = area->viewport()->rect();
        QVERIFY(s.window.grab().save(shots + tag + "-main.png"));
        // the personal data dialog, as it opens over the main window
        bool fits = false;
        s.platform.onDialog = [&](QDialog &d) {
            d.show();
            fits = d.frameGeometry().width() <= logical.width() && d.frameGeometry().height() <= logical.height();
            d.grab().save(shots + tag + "-" + d.metaObject()->className() + ".png");
            return int(QDialog::Rejected);
        };
        s.window.item("N102")->trigger();
        QVERIFY(fits);
        QVERIFY(QFile::exists(shots + tag + "-TFormGeneralData.png"));
        for (const char *item : {"N11", "N27", "N143", "N4", "N6", "N33", "N8", "N7"}) {
            s.window.item(item)->trigger();
            const QRect placed = area->activeSubWindow()->geometry();
            QVERIFY2(room.contains(placed), qPrintable(QString("%1 at %2,%3 %4×%5").arg(item).arg(placed.x()).arg(placed.y())
                                                            .arg(placed.width()).arg(placed.height())));
            // no caption cut: grid titles and one-line labels get the room their text needs
            QWidget *form = area->activeSubWindow()->widget();
            for (TDBGrid *grid : form->findChildren<TDBGrid *>()) {
                QHeaderView *header = grid->horizontalHeader();
                for (int c = 0; c < header->count(); ++c)
                    if (!grid->isColumnHidden(c))
                        QVERIFY2(header->sectionSize(c) >= header->sectionSizeHint(c),
                                 qPrintable(QString("%1: %2").arg(item, grid->model()->headerData(c, Qt::Horizontal).toString())));
            }
            for (QLabel *label : form->findChildren<QLabel *>())
                if (label->isVisible() && !label->wordWrap() && !label->text().isEmpty() && label->pixmap().isNull())
                    QVERIFY2(label->width() >= label->minimumSizeHint().width(), qPrintable(QString("%1: %2").arg(item, label->text())));
            QVERIFY(s.window.grab().save(shots + tag + "-" + form->metaObject()->className() + ".png"));
        }
        s.window.item("N136")->trigger();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        s.window.item("N6")->trigger();
        area->activeSubWindow()->showMaximized();
        s.window.item("N33")->trigger();
        QCOMPARE(area->activeSubWindow()->windowTitle(), QString("Оценивание работ участников общеобразовательных мероприятий"));
        QVERIFY(area->activeSubWindow()->isMaximized());
        // whole inside the maximised frame: never its design size in a larger frame
        QCOMPARE(area->activeSubWindow()->widget()->size(), area->activeSubWindow()->contentsRect().size());
        s.window.item("N8")->trigger();
        QVERIFY(area->activeSubWindow()->isMaximized());
        QCOMPARE(area->activeSubWindow()->widget()->size(), area->activeSubWindow()->contentsRect().size());
    }

    // On a large screen a work window fills the area (its design size would show the scan at half
    // its size); the size the expert gives it is kept for the next time.
    void workWindowsTakeLargeScreens()
    {
        QSettings().remove("windows");
        const auto clean = qScopeGuard([] { QSettings().remove("windows"); });
        Shell s;
        s.window.showNormal();
        s.window.setGeometry(0, 0, 1920, 1080);
        s.data.userID = 1;
        s.window.enableMenu(true);
        QMdiArea *area = s.window.mdiArea();
        s.window.item("N33")->trigger();
        QMdiSubWindow *sub = area->activeSubWindow();
        QCOMPARE(sub->size(), area->viewport()->size());
        sub->resize(1300, 800);
        s.window.item("N136")->trigger();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        s.window.item("N33")->trigger();
        QCOMPARE(area->activeSubWindow()->size(), QSize(1300, 800));
        // a window that is not a work window keeps its design size
        s.window.item("N8")->trigger();
        QVERIFY(area->activeSubWindow()->width() < area->viewport()->width() * 2 / 3);
    }

    // Qt's own texts come in Russian: standard buttons, the file dialog, the calendar.
    void qtTextsInRussian()
    {
        installRussianTranslations();
        QDialogButtonBox buttons(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
        QCOMPARE(buttons.button(QDialogButtonBox::Cancel)->text(), QString("Отмена"));
        QFileDialog dialog;
        dialog.setOption(QFileDialog::DontUseNativeDialog);
        auto *lookIn = dialog.findChild<QLabel *>("lookInLabel");
        QVERIFY(lookIn);
        QVERIFY2(!lookIn->text().contains("Look in"), qPrintable(lookIn->text()));
        QCOMPARE(QLocale().standaloneMonthName(6), QString("июнь"));
    }

    // A designed column width narrower than its title (another font, a larger screen font)
    // gives way to the title.
    void gridTitlesNeverCut()
    {
        Shell s;
        NamedQuery *q = s.data.query("GETmethod");
        q->open();
        TDBGrid grid;
        grid.bind(q, {{"name", "Уч. год", Qt::AlignCenter, 10}, {"nameEdu", "Образовательное мероприятие", Qt::AlignLeft, 20}});
        grid.show();
        QHeaderView *header = grid.horizontalHeader();
        for (int c = 0; c < header->count(); ++c)
            if (!grid.isColumnHidden(c))
                QVERIFY(header->sectionSize(c) >= header->sectionSizeHint(c));
        q->close();
    }

    // A screen reader's view: every focusable input of every window and dialog has a name of its
    // own (its caption, or a name where there is none), and every window wears the centre's icon.
    void everyControlNamed()
    {
        Fixture::exec("UPDATE `zet_advertisement1` SET `isActive`=0");
        Shell s;
        s.data.userID = 1;
        s.window.enableMenu(true);
        QVERIFY(!QApplication::windowIcon().isNull());
        QStringList problems;
        auto check = [&](QWidget *window, const QString &which) {
            QHash<QString, QString> names;   // name -> object
            for (QWidget *w : window->findChildren<QWidget *>()) {
                if (w->focusPolicy() == Qt::NoFocus || !w->isVisibleTo(window))
                    continue;
                const bool input = qobject_cast<QLineEdit *>(w) || qobject_cast<QComboBox *>(w)
                    || qobject_cast<QAbstractSpinBox *>(w) || qobject_cast<QAbstractScrollArea *>(w)
                    || qobject_cast<QAbstractButton *>(w);
                bool part = false;   // the line edit of a combo box, the views of its popup, a scroll bar
                for (QWidget *p = w->parentWidget(); p && p != window && !part; p = p->parentWidget())
                    part = qobject_cast<QComboBox *>(p) || qobject_cast<QAbstractSpinBox *>(p);
                if (!input || part || qobject_cast<QScrollBar *>(w))
                    continue;
                const QString name = accessibleName(w);
                const QString id = w->metaObject()->className() + QString(" ") + w->objectName();
                if (name.isEmpty())
                    problems << which + ": " + id + " has no name";
                else if (names.contains(name))
                    problems << which + ": " + id + " and " + names[name] + " share \"" + name + "\"";
                names.insert(name, id);
            }
            if (window->windowIcon().cacheKey() != QApplication::windowIcon().cacheKey())
                problems << which + ": not the program's icon";
        };
        for (const char *item : {"N11", "N27", "N143", "N4", "N6", "N33", "N8", "N7"}) {
            s.window.item(item)->trigger();
            QWidget *form = s.window.mdiArea()->activeSubWindow()->widget();
            if (auto *scoring = qobject_cast<TFormEstimateWork *>(form))   // a sheet on screen
                scoring->readEstimate(1);
            if (auto *appeals = qobject_cast<AppealsWindow *>(form)) {   // typed-in claims on screen
                appeals->disciplineList->selectIndex(1);
                appeals->readApplicants();
                appeals->buildAnswers();
            }
            for (auto *tabs : form->findChildren<QTabWidget *>())   // every page of the additional data
                for (int i = 0; i < tabs->count(); ++i) {
                    tabs->setCurrentIndex(i);
                    check(form, QString(item) + "/" + tabs->tabText(i));
                }
            check(form, item);
        }
        s.platform.onDialog = [&](QDialog &d) {
            d.show();
            check(&d, d.windowTitle());
            return int(QDialog::Rejected);
        };
        for (const char *item : {"N2", "N157", "N104", "N10", "N102", "N139"})
            s.window.item(item)->trigger();
        TFormAnnPrewiew announcement(&s.window);
        announcement.show();
        check(&announcement, announcement.windowTitle());
        QVERIFY2(problems.isEmpty(), qPrintable(problems.join("\n")));
    }

    // Every window command opens its window once, with its title; "Закрыть все" closes them all.
    void childWindowCommands()
    {
        Shell s;
        s.data.userID = 1;
        s.window.enableMenu(true);
        const QList<QPair<QString, QString>> commands{
            {"N11", "Дополнительные личные данные эксперта"},
            {"N27", "Выбор предметной области, в которой Вы являетесь экспертом"},
            {"N143", "Просмотр и скачивание методических, контрольно-измерительных материалов"},
            {"N4", "Доступные контрольно-измерительные материалы"},
            {"N6", "Сохранение на локальном компьютере работ участников"},
            {"N33", "Оценивание работ участников общеобразовательных мероприятий"},
            {"N8", "Загрузка в БД проверенных и отсканированных работ"},
            {"N7", "Формирование ответа на апелляцию заявителю в электронном виде"}};
        for (const auto &[item, title] : commands) {
            s.window.item(item)->trigger();
            s.window.item(item)->trigger();
            QCOMPARE(s.window.mdiArea()->activeSubWindow()->windowTitle(), title);
        }
        QCOMPARE(s.window.mdiArea()->subWindowList().size(), commands.size());
        QVERIFY(s.platform.boxes.isEmpty());
        s.window.item("N136")->trigger();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QVERIFY(s.window.mdiArea()->subWindowList().isEmpty());
    }
};

QTEST_MAIN(TestShell)
#include "test_shell.moc"
