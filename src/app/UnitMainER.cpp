#include "app/UnitMainER.h"

#include <QAction>
#include <QApplication>
#include <QCoreApplication>
#include <QDate>
#include <QDialog>
#include <QEvent>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QIcon>
#include <QScopeGuard>
#include <QLabel>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QMenuBar>
#include <QStandardPaths>
#include <QStatusBar>
#include <QStatusTipEvent>
#include <QVBoxLayout>

#include "app/About.h"
#include "app/AnnPrewiew.h"
#include "widgets/Pictures.h"
#include "widgets/Platform.h"
#include "app/Version.h"
#include "appeals/AppealsWindow.h"
#include "data/ADataER.h"
#include "data/CheckedCopies.h"
#include "data/SessionData.h"
#include "data/Config.h"
#include "security/UnitNetSelect.h"
#include "evaluation/UnitEstimateWork.h"
#include "evaluation/UploadWindow.h"
#include "evaluation/UnitWorkLoadOriginal.h"
#include "materials/UnitMaterials.h"
#include "profile/UnitGeneralData.h"
#include "profile/UnitGeneralDataAppend.h"
#include "profile/UnitSubjectExp.h"
#include "security/UnitCheckauthorization.h"
#include "security/UnitPasswords.h"
#include "widgets/ChildWindow.h"
#include "widgets/Fields.h"

TFormMainER *FormMainER = nullptr;

namespace {

struct MenuEntry {
    const char *name;
    const char *caption;   // "-" for a separator; "&" before the letter Alt opens it by (unique in its menu)
    const char *hint;
    const char *shortcut;
    bool topLevel;
};

// The whole menu, in screen order.
const MenuEntry kMenu[] = {
    {"N1", "&Пользователь", "", "", true},
    {"N2", "&Авторизация", "Начать сеанс работы администратора. Нужны логин и пароль", "Alt+Z", false},
    {"N146", "&Сайт \"Ветлан\"", "Открыть сайт организации в браузере по умолчанию", "", false},
    {"N101", "-", "", "", false},
    {"N102", "&Личные данные", "Просмотр, редактирование личных данных", "", false},
    {"N11", "&Дополнительные личные данные", "Просмотр, редактирование дополнительных личных данных", "", false},
    {"N104", "&Изменить пароль", "Изменить в БД пароль для входа в АИС", "", false},
    {"N10", "&Забыли пароль?", "Восстановить пароль", "", false},
    {"N27", "&Предметная область", "Выбор предметной области, в которой Вы являетесь экспертом", "", false},
    {"N112", "-", "", "", false},
    {"N143", "&Методические материалы", "Загрузка, просмотр, сохранение методических материалов", "", false},
    {"N156", "-", "", "", false},
    {"N157", "&Выбор сети", "В зависимости от места работы выбор сети (Интернет или ИнтраСеть \"Ветлан\")", "", false},
    {"N140", "-", "", "", false},
    {"N3", "Завершение &работы", "Завершение сеанса работы администратора. Закрытие приложения", "Alt+X", false},
    {"N5", "&Экспертная оценка", "Экспертная оценка конкурсных работ", "", true},
    {"N4", "&КИМы", "Контрольно-измерительные материалы. Просмотр, сохранение.", "", false},
    {"N6", "&Непроверенные работы", "Просмотр, скачивание непроверенных работ", "", false},
    {"N33", "&Оценить", "Экспертное оценивание конкурсных работ", "", false},
    {"N9", "-", "", "", false},
    {"N8", "&Загрузить проверенные работы", "Загрузить на сервер проверенные работы участников", "", false},
    {"N12", "-", "", "", false},
    {"N7", "&Апелляция", "Рассмотрение апелляционных заявлений ", "", false},
    {"N21", "&Окна", "Инструменты для упорядочивания размещения окон", "", true},
    {"N132", "&Каскадом", "Разместить все окна каскадом", "", false},
    {"N133", "&Горизонтально", "Разместить все окна горизонтально", "", false},
    {"N134", "&Вертикально", "Разместить все окна вертикально", "", false},
    {"N135", "&Минимизировать все", "Минимизировать все окна, но не закрывать", "", false},
    {"N136", "&Закрыть все", "Закрыть все окна", "", false},
    {"N22", "По&мощь", "Получить справку по АИС", "", true},
    {"onLine1", "on-Line &помощь", "Получение электронной справки АИС", "", false},
    {"N137", "&Инструкция пользователю", "Инструкция пользователю в формате PDF", "", false},
    {"N138", "-", "", "", false},
    {"N139", "&О программе", "Основные сведения о программе", "", false},
    {"M1", "О&бновление АРMа", "Проверить наличие обновлений", "", false},   // the M is Latin
};

const char *const kAlwaysOn[] = {"N1", "N2", "N146", "N10", "N157", "N3", "N22", "onLine1", "N137", "N139"};

const QString kSiteHint = QStringLiteral("Открыть сайт \"Ветлан\" в браузере по умолчанию");

QAction *findIn(const QList<QAction *> &actions, const QString &name)
{
    for (QAction *a : actions) {
        if (a->objectName() == name)
            return a;
        if (a->menu())
            if (QAction *found = findIn(a->menu()->actions(), name))
                return found;
    }
    return nullptr;
}

void setAllEnabled(const QList<QAction *> &actions, bool enabled)
{
    for (QAction *a : actions) {
        a->setEnabled(enabled);
        if (a->menu())
            setAllEnabled(a->menu()->actions(), enabled);
    }
}

} // namespace

TFormMainER::TFormMainER(QWidget *parent) : QMainWindow(parent), m_mdi(new QMdiArea)
{
    FormMainER = this;
    qApp->installEventFilter(this);   // the dialogs' hints, see eventFilter
    // the centre's emblem is the icon of this window, the child windows and the dialogs
    QApplication::setWindowIcon(QIcon(Pictures::emblem()));
    setWindowTitle(QStringLiteral("Образовательный центр \"Ветлан\".  Автоматизированное рабочее место эксперта регионального этапа"));
    resize(788, 530);

    auto *central = new QWidget(this);
    auto *column = new QVBoxLayout(central);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(0);
    m_mdi->setBackground(palette().color(QPalette::Dark));   // the button-shadow grey
    column->addWidget(m_mdi, 1);

    m_logo = new QLabel(m_mdi->viewport());
    m_logo->setObjectName(QStringLiteral("Image2"));
    m_logo->setPixmap(Pictures::logo());
    m_logo->resize(560, 464);
    m_logo->lower();

    // Status bar: user panel 350, hint panel 1100, empty panel 50 pixels.
    auto *status = new QStatusBar(central);
    status->setObjectName(QStringLiteral("StatusBar1"));
    setHint(status, QStringLiteral("Строка статуса"));
    status->setSizeGripEnabled(false);
    m_userPanel = new QLabel(status);
    m_hintPanel = new QLabel(status);
    m_emptyPanel = new QLabel(status);
    const int widths[] = {350, 1100, 50};
    QLabel *panels[] = {m_userPanel, m_hintPanel, m_emptyPanel};
    for (int i = 0; i < 3; ++i) {
        // At most their design widths; on a narrower screen they share what there is.
        panels[i]->setMaximumWidth(widths[i]);
        panels[i]->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
        panels[i]->setFrameStyle(QFrame::Panel | QFrame::Sunken);
        panels[i]->setTextFormat(Qt::PlainText);   // names and task titles from the database
        status->addWidget(panels[i], widths[i]);
    }
    column->addWidget(status);

    // Bottom strip: the credit line, and the connection lamp at its right end.
    auto *strip = new QWidget(central);
    strip->setObjectName(QStringLiteral("Panel1"));
    strip->setFixedHeight(23);
    strip->setCursor(Qt::PointingHandCursor);
    setHint(strip, kSiteHint);
    auto *row = new QHBoxLayout(strip);
    row->setContentsMargins(6, 0, 4, 0);
    m_bottomText = new QLabel(strip);
    m_lampImage = new QLabel(strip);
    m_lampImage->setObjectName(QStringLiteral("Image1"));
    m_lampImage->setFixedSize(16, 16);
    row->addWidget(m_bottomText, 1);
    row->addWidget(m_lampImage);
    column->addWidget(strip);

    setCentralWidget(central);
    buildMenu();
    FormCreate();
}

TFormMainER::~TFormMainER()
{
    if (FormMainER == this) {
        FormMainER = nullptr;
        setNetworkOffer({});
    }
}

void TFormMainER::FormCreate()
{
    m_bottomText->setText(QStringLiteral("© Образовательный центр \"Ветлан\", ") + QString::number(QDate::currentDate().year())
                          + QStringLiteral(", v.3.0"));
    m_userPanel->setText(QStringLiteral("Не авторизованный пользователь"));
    m_hintPanel->setText(QStringLiteral("Здесь будут размещаться краткие подсказки"));
}

void TFormMainER::buildMenu()
{
    QMenuBar *bar = menuBar();
    bar->setObjectName(QStringLiteral("MainMenu1"));
    QMenu *current = nullptr;
    for (const MenuEntry &e : kMenu) {
        const QString name = QString::fromUtf8(e.name), hint = QString::fromUtf8(e.hint);
        if (e.topLevel) {
            current = bar->addMenu(QString::fromUtf8(e.caption));
            current->setObjectName(name);
            current->menuAction()->setObjectName(name);
            current->menuAction()->setStatusTip(hint);
            current->setToolTipsVisible(true);
            continue;
        }
        QAction *a = QString::fromUtf8(e.caption) == QLatin1String("-") ? current->addSeparator()
                                                                         : current->addAction(QString::fromUtf8(e.caption));
        a->setObjectName(name);
        a->setStatusTip(hint);
        a->setToolTip(hint.isEmpty() ? plainCaption(a->text()) : hint);
        if (*e.shortcut)
            a->setShortcut(QKeySequence(QString::fromLatin1(e.shortcut)));
    }
    auto on = [this](const char *name, std::function<void()> handler) {
        QAction *action = item(QString::fromLatin1(name));
        connect(action, &QAction::triggered, this, [this, action, handler] {
            runCommand(plainCaption(action->text()), handler);
            // a closed dialog's hint does not stay behind it ("Поле для ввода пароля" after a login)
            if (m_hintFromDialog) {
                m_hintFromDialog = false;
                m_hintPanel->clear();
            }
        });
    };
    on("N3", [this] { close(); });
    on("N2", [this] {
        // what was read during this login serves this login only, however it ends
        const auto forget = qScopeGuard([this] { m_prefetched.reset(); });
        afterLogin(N2Click(this, [this] { prefetchSessionStart(); }, [this](const QString &text) { setUserPanel(text); }));
    });
    on("N104", [this] { N104Click(this); });
    on("N10", [this] { N10Click(this); });
    on("N157", [this] { chooseNetwork(this, [this] { closeAllChildren(); }); });   // N157Click
    // a server that cannot take work now: the same dialog, the other network chosen in it
    setNetworkOffer([this] {
        if (DataER)
            chooseNetwork(this, [this] { closeAllChildren(); }, 1 - DataER->net());
    });
    on("N132", [this] { m_mdi->cascadeSubWindows(); });
    on("N133", [this] { tile(Qt::Vertical); });
    on("N134", [this] { tile(Qt::Horizontal); });
    on("N135", [this] {
        const auto windows = m_mdi->subWindowList();
        for (auto it = windows.rbegin(); it != windows.rend(); ++it)
            (*it)->showMinimized();
    });
    on("N136", [this] { closeAllChildren(); });
    on("onLine1", [] { Platform::get().openUrl(Config::get().filesUrl + QStringLiteral("help5v3/index.htm")); });
    on("N137", [] { Platform::get().openUrl(Config::get().filesUrl + QStringLiteral("help5v3/help5v3.pdf")); });
    on("N146", [] { Platform::get().openUrl(Config::get().siteUrl); });
    on("N139", [this] {
        TAboutBox box(this);
        Platform::get().execDialog(box);
    });
    on("M1", [this] { M1Click(); });
    on("N102", [this] { N102Click(this); });
    // The commands that open a child window: one window per class, brought to the front again.
    auto child = [&](const char *name, auto *&instance) {
        using Form = std::remove_pointer_t<std::remove_reference_t<decltype(instance)>>;
        on(name, [this, &instance] { openChildWindow<Form>(m_mdi, instance, [] { return new Form; }); });
    };
    child("N11", FormGeneralDataAppend);
    child("N27", FormSubjectExp);
    child("N143", FormMethod);
    child("N4", FormMeasuring);
    child("N6", FormWorkLoadOriginal);
    child("N33", FormEstimateWork);
    child("N8", uploadWindow);
    child("N7", appealsWindow);
}

void TFormMainER::attachDataModule(TDataER *dataModule)
{
    // checked copies left waiting go at start and whenever the database is reached again
    connect(dataModule, &TDataER::afterConnect, this, [this, dataModule] {
        setLamp(Lamp::Green);
        CheckedCopies::get().sendPending(dataModule->net());
    });
    connect(dataModule, &TDataER::afterDisconnect, this, [this] { setLamp(Lamp::Red); });
    if (dataModule->connected()) {
        setLamp(Lamp::Green);
        CheckedCopies::get().sendPending(dataModule->net());
    }
}

void TFormMainER::setLamp(Lamp lamp)
{
    m_lamp = lamp;
    if (lamp == Lamp::None)
        m_lampImage->clear();
    else
        m_lampImage->setPixmap(Pictures::lamp(lamp == Lamp::Green));
    m_lampImage->repaint();
}

void TFormMainER::enableMenu(bool EnableItem)
{
    if (EnableItem && DataER)
        m_windowsExpert = DataER->userID;   // the windows opened from here on are this expert's
    setAllEnabled(menuBar()->actions(), EnableItem);
    for (const char *name : kAlwaysOn)
        item(QString::fromLatin1(name))->setEnabled(true);
    Permission();
}

void TFormMainER::Permission()
{
    const QList<QPair<QString, int>> rows = m_prefetched ? m_prefetched->permissions : SessionData::permissions();
    for (const auto &[name, permission] : rows) {
        if (permission != 0)
            continue;
        // A row naming no item of this menu is skipped. A menu goes with everything beneath it,
        // or the items' shortcuts would still run them.
        if (QAction *a = FindMnuItem(menuBar(), name)) {
            a->setEnabled(false);
            if (a->menu())
                setAllEnabled(a->menu()->actions(), false);
        }
    }
}

// What every expert's session starts with (the role's permissions and the announcement), read
// while the password is being checked. A failure here only means reading it again afterwards.
void TFormMainER::prefetchSessionStart()
{
    try {
        SessionStart start;
        start.permissions = SessionData::permissions();
        start.announce = isViewAnn(&start.body, &start.canvas);
        m_prefetched = start;
    } catch (const std::exception &) {
        m_prefetched.reset();
    }
}

QAction *TFormMainER::FindMnuItem(QMenuBar *Menu, const QString &MenuName)
{
    return findIn(Menu->actions(), MenuName);
}

void TFormMainER::setUserPanel(const QString &text) { m_userPanel->setText(text); }
QString TFormMainER::userPanel() const { return m_userPanel->text(); }
QString TFormMainER::hintPanel() const { return m_hintPanel->text(); }
QString TFormMainER::bottomStripText() const { return m_bottomText->text(); }

// The hints of the dialogs' controls: a status tip stops at its own window, so the dialogs'
// ones are caught on their way and shown here too.
bool TFormMainER::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::StatusTip && watched->isWidgetType()) {
        QWidget *window = static_cast<QWidget *>(watched)->window();
        if (window != this && qobject_cast<QDialog *>(window)) {
            m_hintPanel->setText(static_cast<QStatusTipEvent *>(event)->tip());
            m_hintFromDialog = true;
        }
    }
    return QMainWindow::eventFilter(watched, event);
}

bool TFormMainER::event(QEvent *event)
{
    // ApplicationEvents1Hint: every hint, of a menu item or a control, goes to the hint panel.
    if (event->type() == QEvent::StatusTip) {
        m_hintPanel->setText(static_cast<QStatusTipEvent *>(event)->tip());
        return true;
    }
    return QMainWindow::event(event);
}

void TFormMainER::showEvent(QShowEvent *event)
{
    QMainWindow::showEvent(event);
    if (m_shownOnce)
        return;
    m_shownOnce = true;
    runCommand([this] { enableMenu(false); });   // FormShow
}

void TFormMainER::resizeEvent(QResizeEvent *event)
{
    QMainWindow::resizeEvent(event);
    LogoAlign();
}

void TFormMainER::LogoAlign()
{
    // The outer size of the window, frame and menu included, as the centre's layout always had it.
    const QSize outer = frameGeometry().size();
    m_logo->move((outer.width() - m_logo->width()) / 2, (outer.height() - m_logo->height()) / 2);
}

void TFormMainER::closeAllChildren()
{
    const auto windows = m_mdi->subWindowList();
    for (auto it = windows.rbegin(); it != windows.rend(); ++it)
        (*it)->close();
}

// Horizontal: each window as wide as the area, one above the other; vertical: side by side.
void TFormMainER::tile(Qt::Orientation orientation)
{
    QList<QMdiSubWindow *> windows;
    for (QMdiSubWindow *w : m_mdi->subWindowList())
        if (!w->isMinimized())
            windows << w;
    if (windows.isEmpty())
        return;
    const QRect area = m_mdi->viewport()->rect();
    const int n = int(windows.size());
    for (int i = 0; i < n; ++i) {
        QMdiSubWindow *w = windows[i];
        if (w->isMaximized())
            w->showNormal();
        if (orientation == Qt::Vertical)
            w->setGeometry(0, area.height() * i / n, area.width(), area.height() * (i + 1) / n - area.height() * i / n);
        else
            w->setGeometry(area.width() * i / n, 0, area.width() * (i + 1) / n - area.width() * i / n, area.height());
    }
}

// The shell follows the login: its panels and menu, then the centre's announcement.
void TFormMainER::afterLogin(LoginOutcome outcome)
{
    if (outcome == LoginOutcome::Cancelled)
        return;
    if (outcome == LoginOutcome::Refused) {
        setUserPanel(QStringLiteral("Не авторизованный пользователь"));
        enableMenu(false);
        return;
    }
    // another expert: nothing of the one before stays on screen (sheets, comment lists, claims,
    // download lists); their windows close as they would on "Закрыть все", drafts kept
    if (DataER->userID != m_windowsExpert)
        closeAllChildren();
    setUserPanel(QStringLiteral("РЭ: ") + DataER->FIO);
    enableMenu(true);
    // The session stands from here on: a failure while reading the announcement loses only it.
    // One read decides and fills the viewer (already done during the login, if it went well).
    SessionStart start = m_prefetched.value_or(SessionStart{});
    if (!m_prefetched)
        start.announce = isViewAnn(&start.body, &start.canvas);
    if (start.announce) {
        TFormAnnPrewiew viewer(this);
        viewer.fill(start.body, start.canvas);
        Platform::get().execDialog(viewer);
    }
}

bool TFormMainER::isViewAnn(QString *body, int *canvas)
{
    const SessionData::Announcement a = SessionData::announcement();
    if (body)
        *body = a.body;
    if (canvas)
        *canvas = a.canvas;
    return a.shown;
}

void TFormMainER::M1Click()
{
    const QString stored = SessionData::storedVersion();
    const QString exe = QCoreApplication::applicationFilePath();
    if (stored == FileVersion(exe)) {
        Platform::get().information(QStringLiteral("У Вас установлена последняя версии программы.\n\rОбновление не требуется"));
        return;
    }
    // The updater is found through the PATH; when it is missing nothing is reported.
    const QString updater = QStandardPaths::findExecutable(QStringLiteral("Tovrel.exe"));
    if (updater.isEmpty())
        return;
    Platform::get().startDetached(updater, {exe, QString::number(qulonglong(window()->winId()))});
}

QString FileVersion(const QString &FileName)
{
    if (QFileInfo(FileName).canonicalFilePath() == QFileInfo(QCoreApplication::applicationFilePath()).canonicalFilePath())
        return fileVersionText();
    const int code = QFileInfo::exists(FileName) ? 1813 : 2;   // no version resource / no such file
    const QString text = code == 2 ? QStringLiteral("The system cannot find the file specified.")
                                   : QStringLiteral("The specified resource type cannot be found in the image file.");
    return QStringLiteral("GetFileVersionInfo failed: (%1) %2").arg(code).arg(text);
}
