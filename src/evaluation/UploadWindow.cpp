#include "evaluation/UploadWindow.h"

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

UploadWindow *uploadWindow = nullptr;

UploadWindow::UploadWindow(QWidget *parent)
    : TChildForm(QStringLiteral("Загрузка в БД проверенных и отсканированных работ"), parent)
{
    resize(942, 612);
    build();
    bind();
    load();
}

void UploadWindow::build()
{
    auto *layout = new QVBoxLayout(this);
    disciplineList = addLookup(this, layout, QStringLiteral("Образовательное мероприятие:"), "DBLookupComboBoxEDU",
                                    QStringLiteral("Выбор общеобразовательного мероприятия (олимпиады)"));
    areaList = addLookup(this, layout, QStringLiteral("Муниципальное образование:"), "DBLookupComboBoxArea",
                                     QStringLiteral("Выбор муниципального образования"));
    totalLabel = new QLabel(this);
    totalLabel->setObjectName(QStringLiteral("Label3"));
    totalLabel->setAlignment(Qt::AlignCenter);
    totalLabel->setStyleSheet(QStringLiteral("color: palette(link);"));
    layout->addWidget(totalLabel);
    batchBar = new QProgressBar(this);
    batchBar->setObjectName(QStringLiteral("ProgressBar2"));
    batchBar->reset();   // blank until a batch starts
    bytesBar = byteProgressBar(this);
    layout->addWidget(batchBar);
    layout->addWidget(bytesBar);
    uploadsGrid = new TDBGrid(this);
    uploadsGrid->setObjectName(QStringLiteral("DBGrid1"));
    uploadsGrid->setAccessibleName(QStringLiteral("Загруженные проверенные работы"));
    layout->addWidget(uploadsGrid, 1);

    auto *bottom = new QHBoxLayout;
    auto *close = hintedButton(this, QStringLiteral("&Закрыть"), "BitBtn1", QStringLiteral("Закрыть окно загрузки работ"));
    connect(close, &QPushButton::clicked, this, &TChildForm::closeWindow);
    participantEdit = new QLineEdit(this);
    participantLabel = captionFor(participantEdit, QStringLiteral("Номер участника:"), this);
    participantEdit->setObjectName(QStringLiteral("Edit1"));
    QFont bold = participantEdit->font();
    bold.setBold(true);
    participantEdit->setFont(bold);
    participantEdit->setFixedWidth(120);
    uploadButton = hintedButton(this, QStringLiteral("Загрузить"), "BitBtn2",
                           QStringLiteral("Выбрать на локальном компьютере проверенную работу и загрузить в БД"));
    batchCheck = new QCheckBox(QStringLiteral("Пакетная загрузка"), this);
    batchCheck->setObjectName(QStringLiteral("CheckBox1"));
    setHint(batchCheck, QStringLiteral("Загружать в БД файлы группами. Формат имен файлов: code.PDF, где code - код работы "
                                      "(на каждой странице)"));
    deleteButton = hintedButton(this, QStringLiteral("Удалить"), "BitBtn3", QStringLiteral("Удалить из БД выбранный файл проверенной работы"));
    bottom->addWidget(close);
    bottom->addStretch();
    bottom->addWidget(participantLabel);
    bottom->addWidget(participantEdit);
    bottom->addWidget(uploadButton);
    bottom->addWidget(batchCheck);
    bottom->addStretch();
    bottom->addWidget(deleteButton);
    layout->addLayout(bottom);
}

void UploadWindow::bind()
{
    for (TLookupCombo *combo : {disciplineList, areaList})
        connect(combo, &TLookupCombo::chosen, this, [this] { runCommand([this] { readList(); }); });
    disciplineList->bind(UploadData::disciplines(), QStringLiteral("nameEdu"), QStringLiteral("id"));
    bindTitleClickSort(uploadsGrid, [this] { return uploadsGrid->query(); });
    connect(uploadButton, &QPushButton::clicked, this, [this] { runCommand([this] { upload(); }); });
    connect(deleteButton, &QPushButton::clicked, this, [this] { runCommand([this] { removeSelected(); }); });
    connect(batchCheck, &QCheckBox::clicked, this, [this] { batchToggled(); });
    ownQueries(UploadData::queries());
}

void UploadWindow::load()
{
    CheckedCopies::get().sendPending(DataER->net());   // copies made on screen that still wait
    UploadData::readDisciplines(DataER->userID);
    areaList->addItem(QStringLiteral("Показать ВСЕ муниципальные образования"), 0);
    for (const auto &[id, name] : UploadData::areas())
        areaList->addItem(name, id);
    areaList->selectIndex(0);
    readList();
}

void UploadWindow::readList()
{
    NamedQuery *q = UploadData::readUploads(disciplineList->keyValue(), areaList->keyValue());
    uploadsGrid->bind(q, {{QStringLiteral("name"), QStringLiteral("MO"), Qt::AlignLeft | Qt::AlignVCenter, 200},
                      {QStringLiteral("user_id"), QStringLiteral("№"), Qt::AlignLeft | Qt::AlignVCenter, 70},
                      {QStringLiteral("fio"), QStringLiteral("ФИО участника"), Qt::AlignLeft | Qt::AlignVCenter, 300},
                      {QStringLiteral("bodyFile"), QStringLiteral("Файл"), Qt::AlignLeft | Qt::AlignVCenter, 400}});
    totalLabel->setText(QStringLiteral("Итого загружено работ - ") + uploadedCount());
    deleteButton->setEnabled(q->recordCount() > 0);
}

QString UploadWindow::uploadedCount() const
{
    return QString::number(uploadsGrid->query() ? uploadsGrid->query()->recordCount() : 0);
}

// A participant number is a positive whole number that fits the column.
bool UploadWindow::fitsUploadLimit(const QString &path)
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

int UploadWindow::areaOf(int participant)
{
    return workArea(disciplineList->keyValue(), participant).value_or(kDefaultArea);
}

QString UploadWindow::storedNameFor(int participant)
{
    return createStoredName(disciplineList->keyValue(), participant);
}

bool UploadWindow::prepare(int participant, int &area)
{
    // the name given out here is only looked at: the upload reserves its own under a lock
    const QString storedName = storedNameFor(participant);
    if (storedName.isEmpty() || storedName.startsWith(QLatin1Char('_'))) {
        Platform::get().error(QStringLiteral("Для мероприятия не задан префикс имени файла"));
        return false;
    }
    const std::optional<int> found = workArea(disciplineList->keyValue(), participant);
    if (!found && !Platform::get().warningQuestion(QStringLiteral("Участник ") + QString::number(participant)
                                                   + QStringLiteral(" не найден среди работ выбранного мероприятия. Загрузить работу?")))
        return false;
    area = found.value_or(kDefaultArea);
    return true;
}

QString UploadWindow::uploadFile(int area, int participant, const QString &path)
{
    const auto reset = qScopeGuard([this] { bytesBar->reset(); });
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
    return UploadData::send(area, participant, disciplineList->keyValue(), path,
                            [this](qint64 done, qint64 total) { showBytes(bytesBar, done, total); }, {}, waiting);
}

// A failed upload's box gives the server's answer or the database's as its details.
void UploadWindow::upload()
{
    if (!batchCheck->isChecked()) {
        const QString typed = TDataER::Trim(participantEdit->text());
        if (!UploadData::isParticipantNumber(typed)) {
            Platform::get().error(QStringLiteral("Введенный номер участника не является целым числом."));
            participantEdit->setFocus();
            return;
        }
        const int participant = typed.toInt();
        const QStringList files = Platform::get().openFiles(
            QStringLiteral("Выберите файл для загрузки проверенной работы ") + typed, QStringLiteral("PDF файлы (*.pdf)"), false);
        if (files.isEmpty() || !fitsUploadLimit(files.first()))
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
            Platform::get().error(QStringLiteral("Возникла ошибка при загрузке файла на сервер"), QString::fromUtf8(e.what()));
            offerOtherNetworkAfter(e);
            return;
        }
        const int row = uploadsGrid->currentRow();
        readList();
        // the new row is the current one (when the list shows it), else the row that was
        int current = row;
        for (int r = 0; r < uploadsGrid->query()->recordCount(); ++r)
            if (uploadsGrid->query()->value(r, QStringLiteral("bodyFile")).toString() == stored)
                current = r;
        if (current >= 0 && current < uploadsGrid->query()->recordCount())
            uploadsGrid->setCurrentIndex(uploadsGrid->model()->index(current, 0));
        Platform::get().information(QStringLiteral("Файл отправлен на сервер."));
        return;
    }
    const QStringList files = Platform::get().openFiles(QStringLiteral("Выберите файлы для загрузки проверенных работ"),
                                                        QStringLiteral("PDF файлы (*.pdf)"), true);
    if (files.isEmpty())
        return;
    batchBar->setRange(0, int(files.size()));
    PacedProgress paced(batchBar);
    int failures = 0;
    bool cancelled = false;
    for (int i = 0; i < files.size() && !cancelled; ++i) {
        const QString &path = files.at(i);
        paced.set(i);
        // one file's trouble is reported and the others still go
        try {
            if (!fitsUploadLimit(path)) {
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
                Platform::get().error(QStringLiteral("Возникла ошибка при загрузке файла ") + path, QString::fromUtf8(e.what()));
                ++failures;
                offerOtherNetworkAfter(e);
            }
        } catch (const std::exception &e) {
            Platform::get().error(QString::fromUtf8(e.what()));
            ++failures;
        }
    }
    paced.stop();   // a value still pending would show over the reset while the box is open
    batchBar->reset();
    readList();
    Platform::get().information((cancelled ? QStringLiteral("Загрузка файлов отменена.") : QStringLiteral("Загрузка файлов завершена."))
                                + (failures ? QStringLiteral("\n\rНе удалось загрузить файлов: ") + QString::number(failures)
                                            : QString()));
}

void UploadWindow::removeSelected()
{
    const int row = uploadsGrid->currentRow();
    if (row < 0)
        return;
    NamedQuery *list = uploadsGrid->query();
    const int id = list->value(row, QStringLiteral("id")).toInt();
    const QString storedName = list->value(row, QStringLiteral("bodyFile")).toString();
    if (!Platform::get().warningQuestion(QStringLiteral("Файл %1 будет удален без возможности восстановления.\n\rПродолжить?")
                                             .arg(storedName)))
        return;
    UploadData::remove(id, storedName);
    readList();
    if (row < uploadsGrid->query()->recordCount())
        uploadsGrid->setCurrentIndex(uploadsGrid->model()->index(row, 0));
}

void UploadWindow::batchToggled()
{
    const bool batch = batchCheck->isChecked();
    participantEdit->setEnabled(!batch);
    participantLabel->setEnabled(!batch);
}
