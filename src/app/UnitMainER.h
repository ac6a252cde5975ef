#pragma once
#include <QMainWindow>

class TDataER;
class QMdiArea;

// The main window: the MDI area that holds every child window.
class TFormMainER : public QMainWindow {
    Q_OBJECT
public:
    explicit TFormMainER(QWidget *parent = nullptr);
    ~TFormMainER() override;
    void attachDataModule(TDataER *dataModule);
    QMdiArea *mdiArea() const { return m_mdi; }

private:
    QMdiArea *m_mdi;
};

extern TFormMainER *FormMainER;
