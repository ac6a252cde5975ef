#include "evaluation/UnitUploadCheckWork.h"

#include <QCheckBox>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QEventLoop>
#include <QProgressBar>
#include <QProgressDialog>
#include <QTimer>
#include <memory>
#include <QPushButton>
#include <QScopeGuard>
#include <QVBoxLayout>

#include "widgets/Platform.h"
#include "data/ADataER.h"
#include "data/UploadData.h"
#include "data/CheckedCopies.h"
#include "data/DataOperations.h"
#include "data/VardexError.h"
#include "widgets/Fields.h"
#include "widgets/Progress.h"

TFormUploadCheckWork *FormUploadCheckWork = nullptr;

TFormUploadCheckWork::TFormUploadCheckWork(QWidget *parent)
    : TChildForm(QStringLiteral("Загрузка в БД проверенных и отсканированных работ"), parent)
{
    resize(942, 612);
    build();
    bind();
    load();
}

void TFormUploadCheckWork::build()
{
    auto *layout = new QVBoxLayout(this);
    DBLookupComboBoxEDU = addLookup(this, layout, QStringLiteral("Образовательное мероприятие:"), "DBLookupComboBoxEDU",
                                    QStringLiteral("Выбор общеобразовательного мероприятия (олимпиады)"));
    DBLookupComboBoxArea = addLookup(this, layout, QStringLiteral("Муниципальное образование:"), "DBLookupComboBoxArea",
                                     QStringLiteral("Выбор муниципального образования"));
    Label3 = new QLabel(this);
    Label3->setObjectName(QStringLiteral("Label3"));
    Label3->setAlignment(Qt::AlignCenter);
    Label3->setStyleSheet(QStringLiteral("color: palette(link);"));
    layout->addWidget(Label3);
    ProgressBar2 = new QProgressBar(this);
    ProgressBar2->setObjectName(QStringLiteral("ProgressBar2"));
    ProgressBar2->reset();   // blank until a batch starts
    ProgressBar1 = byteProgressBar(this);
    layout->addWidget(ProgressBar2);
    layout->addWidget(ProgressBar1);
    DBGrid1 = new TDBGrid(this);
    DBGrid1->setObjectName(QStringLiteral("DBGrid1"));
    DBGrid1->setAccessibleName(QStringLiteral("Загруженные проверенные работы"));
    layout->addWidget(DBGrid1, 1);

    auto *bottom = new QHBoxLayout;
    auto *close = hintedButton(this, QStringLiteral("&Закрыть"), "BitBtn1", QStringLiteral("Закрыть окно загрузки работ"));
    connect(close, &QPushButton::clicked, this, &TChildForm::closeWindow);
    Edit1 = new QLineEdit(this);
    Label4 = captionFor(Edit1, QStringLiteral("Номер участника:"), this);
    Edit1->setObjectName(QStringLiteral("Edit1"));
    QFont bold = Edit1->font();
    bold.setBold(true);
    Edit1->setFont(bold);
    Edit1->setFixedWidth(120);
    BitBtn2 = hintedButton(this, QStringLiteral("Загрузить"), "BitBtn2",
                           QStringLiteral("Выбрать на локальном компьютере проверенную работу и загрузить в БД"));
    CheckBox1 = new QCheckBox(QStringLiteral("Пакетная загрузка"), this);
    CheckBox1->setObjectName(QStringLiteral("CheckBox1"));
    setHint(CheckBox1, QStringLiteral("Загружать в БД файлы группами. Формат имен файлов: code.PDF, где code - код работы "
                                      "(на каждой странице)"));
    BitBtn3 = hintedButton(this, QStringLiteral("Удалить"), "BitBtn3", QStringLiteral("Удалить из БД выбранный файл проверенной работы"));
    bottom->addWidget(close);
    bottom->addStretch();
    bottom->addWidget(Label4);
    bottom->addWidget(Edit1);
    bottom->addWidget(BitBtn2);
    bottom->addWidget(CheckBox1);
    bottom->addStretch();
    bottom->addWidget(BitBtn3);
    layout->addLayout(bottom);
}

void TFormUploadCheckWork::bind()
{
    for (TLookupCombo *combo : {DBLookupComboBoxEDU, DBLookupComboBoxArea})
        connect(combo, &TLookupCombo::chosen, this, [this] { runCommand([this] { readData(); }); });
    DBLookupComboBoxEDU->bind(UploadData::disciplines(), QStringLiteral("nameEdu"), QStringLiteral("id"));
    bindTitleClickSort(DBGrid1, [this] { return DBGrid1->query(); });
    connect(BitBtn2, &QPushButton::clicked, this, [this] { runCommand([this] { BitBtn2Click(); }); });
    connect(BitBtn3, &QPushButton::clicked, this, [this] { runCommand([this] { BitBtn3Click(); }); });
    connect(CheckBox1, &QCheckBox::clicked, this, [this] { CheckBox1Click(); });
    ownQueries(UploadData::queries());
}

void TFormUploadCheckWork::load()
{
    CheckedCopies::get().sendPending(DataER->net());   // copies made on screen that still wait
    UploadData::readDisciplines(DataER->userID);
    DBLookupComboBoxArea->addItem(QStringLiteral("Показать ВСЕ муниципальные образования"), 0);
    for (const auto &[id, name] : UploadData::areas())
        DBLookupComboBoxArea->addItem(name, id);
    DBLookupComboBoxArea->selectIndex(0);
    readData();
}

void TFormUploadCheckWork::readData()
{
    NamedQuery *q = UploadData::readUploads(DBLookupComboBoxEDU->keyValue(), DBLookupComboBoxArea->keyValue());
    DBGrid1->bind(q, {{QStringLiteral("name"), QStringLiteral("MO"), Qt::AlignLeft | Qt::AlignVCenter, 200},
                      {QStringLiteral("user_id"), QStringLiteral("№"), Qt::AlignLeft | Qt::AlignVCenter, 70},
                      {QStringLiteral("fio"), QStringLiteral("ФИО участника"), Qt::AlignLeft | Qt::AlignVCenter, 300},
                      {QStringLiteral("bodyFile"), QStringLiteral("Файл"), Qt::AlignLeft | Qt::AlignVCenter, 400}});
    Label3->setText(QStringLiteral("Итого загружено работ - ") + calcSumm());
    BitBtn3->setEnabled(q->recordCount() > 0);
}

QString TFormUploadCheckWork::calcSumm() const
{
    return QString::number(DBGrid1->query() ? DBGrid1->query()->recordCount() : 0);
}

// A participant number is a positive whole number that fits the column.
bool TFormUploadCheckWork::checkSizeFile(const QString &path)
{
    const QFileInfo info(path);
    if (!info.exists())
        throw VardexError(QStringLiteral("Не удалось прочитать размер файла ") + path);
    if (info.size() > kMaxUpload) {
        Platform::get().error(QStringLiteral("Размер файла \n\r") + path + QStringLiteral("\n\r")
                              + QStringLiteral(" превышает 50 мегабайт и не может быть загружен на сервер."));
        return false;
    }
    return true;
}

int TFormUploadCheckWork::getMO(int participant)
{
    return workArea(DBLookupComboBoxEDU->keyValue(), participant).value_or(kDefaultArea);
}

QString TFormUploadCheckWork::CreateNewNameFile(int participant)
{
    return createStoredName(DBLookupComboBoxEDU->keyValue(), participant);
}

bool TFormUploadCheckWork::prepare(int participant, int &area)
{
    // the name given out here is only looked at: the upload reserves its own under a lock
    const QString storedName = CreateNewNameFile(participant);
    if (storedName.isEmpty() || storedName.startsWith(QLatin1Char('_'))) {
        Platform::get().error(QStringLiteral("Для мероприятия не задан префикс имени файла"));
        return false;
    }
    const std::optional<int> found = workArea(DBLookupComboBoxEDU->keyValue(), participant);
    if (!found && !Platform::get().warningQuestion(QStringLiteral("Участник ") + QString::number(participant)
                                                   + QStringLiteral(" не найден среди работ выбранного мероприятия. Загрузить работу?")))
        return false;
    area = found.value_or(kDefaultArea);
    return true;
}

QString TFormUploadCheckWork::uploadFile(int area, int participant, const QString &path)
{
    const auto reset = qScopeGuard([this] { ProgressBar1->reset(); });
    // Another workstation uploading the participant's work: a modal line with a Cancel while the
    // window keeps painting (nothing else can be started meanwhile).
    std::unique_ptr<QProgressDialog> waitBox;
    const auto waiting = [&](int waitedMs) {
        if (!waitBox) {
            waitBox = std::make_unique<QProgressDialog>(this);
            waitBox->setObjectName(QStringLiteral("namesWaitDialog"));
            waitBox->setWindowTitle(QStringLiteral("Ожидание"));
            waitBox->setLabelText(QStringLiteral("Другая рабочая станция загружает работу участника %1.\n"
                                                 "Загрузка начнётся, когда она закончит (ожидание до %2 с).")
                                      .arg(participant)
                                      .arg(storedNamesWaitSeconds));
            waitBox->setCancelButtonText(QStringLiteral("Отмена"));
            waitBox->setWindowModality(Qt::ApplicationModal);
            waitBox->setAutoClose(false);
            waitBox->setAutoReset(false);
            waitBox->setRange(0, storedNamesWaitSeconds * 1000);
            waitBox->setMinimumDuration(0);
            waitBox->show();
        }
        waitBox->setValue(qMin(waitedMs, waitBox->maximum()));
        QEventLoop pause;
        QTimer::singleShot(250, &pause, &QEventLoop::quit);
        connect(waitBox.get(), &QProgressDialog::canceled, &pause, &QEventLoop::quit);
        pause.exec();
        return !waitBox->wasCanceled();
    };
    return UploadData::send(area, participant, DBLookupComboBoxEDU->keyValue(), path,
                            [this](qint64 done, qint64 total) { showBytes(ProgressBar1, done, total); }, {}, waiting);
}

// The reason of a failed upload as the error box's details: the server's answer or the database's.
static QString reasonOf(const std::exception &e)
{
    return withReason(QString::fromUtf8(e.what()), e);
}

void TFormUploadCheckWork::BitBtn2Click()
{
    if (!CheckBox1->isChecked()) {
        const QString typed = TDataER::Trim(Edit1->text());
        if (!UploadData::isParticipantNumber(typed)) {
            Platform::get().error(QStringLiteral("Введенный номер участника не является целым числом."));
            Edit1->setFocus();
            return;
        }
        const int participant = typed.toInt();
        const QStringList files = Platform::get().openFiles(
            QStringLiteral("Выберите файл для загрузки проверенной работы ") + typed, QStringLiteral("PDF файлы (*.pdf)"), false);
        if (files.isEmpty() || !checkSizeFile(files.first()))
            return;
        int area = kDefaultArea;
        if (!prepare(participant, area))
            return;
        QString stored;
        try {
            stored = uploadFile(area, participant, files.first());
        } catch (const UploadCancelled &) {
            Platform::get().information(QStringLiteral("Загрузка отменена: файл не отправлен."));
            return;
        } catch (const std::exception &e) {
            Platform::get().error(QStringLiteral("Возникла ошибка при загрузке файла на сервер"), reasonOf(e));
            offerOtherNetworkAfter(e);
            return;
        }
        const int row = DBGrid1->currentRow();
        readData();
        // the new row is the current one (when the list shows it), else the row that was
        int current = row;
        for (int r = 0; r < DBGrid1->query()->recordCount(); ++r)
            if (DBGrid1->query()->value(r, QStringLiteral("bodyFile")).toString() == stored)
                current = r;
        if (current >= 0 && current < DBGrid1->query()->recordCount())
            DBGrid1->setCurrentIndex(DBGrid1->model()->index(current, 0));
        Platform::get().information(QStringLiteral("Файл отправлен на сервер."));
        return;
    }
    const QStringList files = Platform::get().openFiles(QStringLiteral("Выберите файлы для загрузки проверенных работ"),
                                                        QStringLiteral("PDF файлы (*.pdf)"), true);
    if (files.isEmpty())
        return;
    ProgressBar2->setRange(0, int(files.size()));
    PacedProgress paced(ProgressBar2);
    int failures = 0;
    bool cancelled = false;
    for (int i = 0; i < files.size() && !cancelled; ++i) {
        const QString &path = files.at(i);
        paced.set(i);
        // one file's trouble is reported and the others still go
        try {
            if (!checkSizeFile(path)) {
                ++failures;
                continue;
            }
            const QString name = QFileInfo(path).completeBaseName();
            if (!UploadData::isParticipantNumber(name)) {
                Platform::get().error(QStringLiteral("Имя файла ") + name + QStringLiteral(" не является целым числом."));
                ++failures;
                continue;
            }
            int area = kDefaultArea;
            if (!prepare(name.toInt(), area))
                continue;
            try {
                uploadFile(area, name.toInt(), path);
            } catch (const UploadCancelled &) {
                cancelled = true;   // the expert stopped the batch: the rest stay unsent
                failures += int(files.size()) - i;
            } catch (const std::exception &e) {
                Platform::get().error(QStringLiteral("Возникла ошибка при загрузке файла ") + path, reasonOf(e));
                ++failures;
                offerOtherNetworkAfter(e);
            }
        } catch (const std::exception &e) {
            Platform::get().error(QString::fromUtf8(e.what()));
            ++failures;
        }
    }
    paced.stop();   // a value still pending would show over the reset while the box is open
    ProgressBar2->reset();
    readData();
    Platform::get().information((cancelled ? QStringLiteral("Загрузка файлов отменена.") : QStringLiteral("Загрузка файлов завершена."))
                                + (failures ? QStringLiteral("\n\rНе удалось загрузить файлов: ") + QString::number(failures)
                                            : QString()));
}

void TFormUploadCheckWork::BitBtn3Click()
{
    const int row = DBGrid1->currentRow();
    if (row < 0)
        return;
    NamedQuery *list = DBGrid1->query();
    const int id = list->value(row, QStringLiteral("id")).toInt();
    const QString storedName = list->value(row, QStringLiteral("bodyFile")).toString();
    if (!Platform::get().warningQuestion(QStringLiteral("Файл %1 будет удален без возможности восстановления.\n\rПродолжить?")
                                             .arg(storedName)))
        return;
    UploadData::remove(id, storedName);
    readData();
    if (row < DBGrid1->query()->recordCount())
        DBGrid1->setCurrentIndex(DBGrid1->model()->index(row, 0));
}

void TFormUploadCheckWork::CheckBox1Click()
{
    const bool batch = CheckBox1->isChecked();
    Edit1->setEnabled(!batch);
    Label4->setEnabled(!batch);
}
