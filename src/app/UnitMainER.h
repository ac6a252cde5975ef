#pragma once
#include <QList>
#include <QPair>
#include <optional>
#include <QMainWindow>

#include "security/UnitCheckauthorization.h"

class TDataER;
class QAction;
class QLabel;
class QMdiArea;
class QMenuBar;

// The main window: the menu, the MDI area with the logo behind the child windows, the status
// bar (user panel, hint panel, empty panel), the bottom strip and the connection lamp.
class TFormMainER : public QMainWindow {
    Q_OBJECT
public:
    explicit TFormMainER(QWidget *parent = nullptr);
    ~TFormMainER() override;

    void attachDataModule(TDataER *dataModule);
    QMdiArea *mdiArea() const { return m_mdi; }
    QMenuBar *MainMenu1() const { return menuBar(); }

    void enableMenu(bool EnableItem);
    void Permission();
    void prefetchSessionStart();
    static QAction *FindMnuItem(QMenuBar *Menu, const QString &MenuName);
    QAction *item(const QString &name) const { return FindMnuItem(menuBar(), name); }

    void setUserPanel(const QString &text);
    QString userPanel() const;
    QString hintPanel() const;
    QString bottomStripText() const;
    enum class Lamp { None, Red, Green };
    Lamp lamp() const { return m_lamp; }

    void closeAllChildren();        // N136Click
    // Whether the announcement is switched on; its text and colour come with the same read.
    bool isViewAnn(QString *body = nullptr, int *canvas = nullptr);
    void afterLogin(LoginOutcome outcome);

protected:
    bool event(QEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;
    void showEvent(QShowEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;

private:
    void FormCreate();
    void buildMenu();
    void LogoAlign();
    void setLamp(Lamp lamp);
    void tile(Qt::Orientation orientation);
    void M1Click();

    struct SessionStart {
        QList<QPair<QString, int>> permissions;   // menu item, permission
        bool announce = false;
        QString body;
        int canvas = 0;
    };
    std::optional<SessionStart> m_prefetched;   // during one login only
    int m_windowsExpert = -1;                   // whose the open child windows are
    bool m_hintFromDialog = false;              // the hint panel shows a dialog's hint

    QMdiArea *m_mdi;
    QLabel *m_logo;
    QLabel *m_userPanel;
    QLabel *m_hintPanel;
    QLabel *m_emptyPanel;
    QLabel *m_bottomText;
    QLabel *m_lampImage;
    Lamp m_lamp = Lamp::None;
    bool m_shownOnce = false;
};

extern TFormMainER *FormMainER;

// The update check's version text of an executable: the compiled-in version for this program.
QString FileVersion(const QString &FileName);
