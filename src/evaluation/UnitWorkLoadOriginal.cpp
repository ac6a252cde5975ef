#include "evaluation/UnitWorkLoadOriginal.h"

#include <QCoreApplication>
#include <QHBoxLayout>
#include <QItemSelectionModel>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QSet>
#include <QUrl>
#include <QVBoxLayout>

#include "widgets/Platform.h"
#include "data/ADataER.h"
#include "data/MaterialsData.h"
#include "data/FileNames.h"
#include "data/SavedWorks.h"
#include "data/DownloadEngine.h"
#include "widgets/Fields.h"
#include "widgets/Progress.h"

TFormWorkLoadOriginal *FormWorkLoadOriginal = nullptr;

TFormWorkLoadOriginal::TFormWorkLoadOriginal(QWidget *parent)
    : TChildForm(QStringLiteral("Сохранение на локальном компьютере работ участников"), parent)
{
    resize(852, 456);
    auto *layout = new QVBoxLayout(this);
    DBLookupComboBox1 = addLookup(this, layout, QStringLiteral("Общеобразовательное мероприятие (олимпиада):"),
                                  "DBLookupComboBox1", QStringLiteral("Выбор общеобразовательного мероприятия"));
    NamedQuery *disciplines = DownloadData::disciplines();
    DBLookupComboBox1->bind(disciplines, QStringLiteral("nameEdu"), QStringLiteral("id"));
    connect(DBLookupComboBox1, &TLookupCombo::chosen, this, [this] { runCommand([this] { readData(); }); });

    DBGrid1 = new TDBGrid(this);
    DBGrid1->setAccessibleName(QStringLiteral("Работы участников"));
    DBGrid1->setObjectName(QStringLiteral("DBGrid1"));
    DBGrid1->setSelectionMode(QAbstractItemView::ExtendedSelection);
    NamedQuery *works = DownloadData::works();
    DBGrid1->bind(works, {{QStringLiteral("name"), QStringLiteral("МО"), Qt::AlignLeft | Qt::AlignVCenter, 200},
                          {QStringLiteral("fio"), QStringLiteral("ФИО участника"), Qt::AlignLeft | Qt::AlignVCenter, 300},
                          {QStringLiteral("bodyFile"), QStringLiteral("Файл"), Qt::AlignLeft | Qt::AlignVCenter, 300}});
    bindTitleClickSort(DBGrid1, [works] { return works; });
    layout->addWidget(DBGrid1, 1);

    auto *bottom = new QHBoxLayout;
    auto *close = hintedButton(this, QStringLiteral("&Закрыть"), "BitBtn1",
                               QStringLiteral("Закрыть окно загрузки непроверенных оригинальных работ"));
    connect(close, &QPushButton::clicked, this, &TChildForm::closeWindow);
    BitBtn2 = hintedButton(this, QStringLiteral("Сохранить выбранные"), "BitBtn2",
                           QStringLiteral("Скачать и сохранить на локальном компьютере выбранные файлы"));
    BitBtn3 = hintedButton(this, QStringLiteral("Сохранить ВСЕ"), "BitBtn3",
                           QStringLiteral("Скачать и сохранить на локальном компьютере ВСЕ файлы общеобразовательного мероприятия"));
    connect(BitBtn2, &QPushButton::clicked, this, [this] { runCommand([this] { BitBtn2Click(); }); });
    connect(BitBtn3, &QPushButton::clicked, this, [this] { runCommand([this] { BitBtn3Click(); }); });
    bottom->addWidget(close);
    bottom->addWidget(BitBtn2);
    bottom->addWidget(BitBtn3);
    auto *bars = new QVBoxLayout;
    ProgressBar2 = new QProgressBar(this);
    ProgressBar2->setObjectName(QStringLiteral("ProgressBar2"));
    ProgressBar2->setFormat(QStringLiteral("%v / %m"));
    ProgressBar2->reset();   // blank until a download starts
    ProgressBar1 = byteProgressBar(this);
    bars->addWidget(ProgressBar2);
    bars->addWidget(ProgressBar1);
    bottom->addLayout(bars, 1);
    layout->addLayout(bottom);

    ownQueries({works, disciplines});
    DownloadData::readDisciplines(DataER->userID);
    readData();
}

void TFormWorkLoadOriginal::readData()
{
    NamedQuery *q = DownloadData::readWorks(DBLookupComboBox1->keyValue());
    BitBtn2->setEnabled(q->recordCount() > 0);
}

void TFormWorkLoadOriginal::BitBtn2Click()
{
    NamedQuery *q = DBGrid1->query();
    if (q->recordCount() == 0) {
        Platform::get().information(QStringLiteral("Нет файлов для скачивания"));
        return;
    }
    DataER->DirectoryCreate(safeFileName(DBLookupComboBox1->currentText()));
    QList<int> rows;
    for (const QModelIndex &i : DBGrid1->selectionModel()->selectedRows())
        rows << i.row();
    if (rows.isEmpty()) {
        Platform::get().information(QStringLiteral("Нет выбранных файлов для скачивания"));
        return;
    }
    std::sort(rows.begin(), rows.end());
    download(rows);
}

void TFormWorkLoadOriginal::BitBtn3Click()
{
    NamedQuery *q = DBGrid1->query();
    if (q->recordCount() == 0) {
        Platform::get().information(QStringLiteral("Нет файлов для скачивания"));
        return;
    }
    QList<int> rows;
    for (int r = 0; r < q->recordCount(); ++r)
        rows << r;
    download(rows);
}

// One command: the rows' files into the discipline's folder, at most a few at a time, off the
// window's thread. Names are made safe and kept apart; the message follows the last file.
void TFormWorkLoadOriginal::download(const QList<int> &rows)
{
    const QString folderName = safeFileName(DBLookupComboBox1->currentText());
    DataER->DirectoryCreate(folderName);
    const QString folder = TDataER::downloadFolder(folderName);
    NamedQuery *q = DBGrid1->query();
    QList<TDownLoader> jobs;
    QStringList names, stored;
    QSet<QString> used;
    for (int row : rows) {
        const QString base = safeFileName(q->value(row, QStringLiteral("fio")).toString());
        QString name = base + QStringLiteral(".pdf");
        for (int n = 2; used.contains(name.toLower()); ++n)
            name = base + QStringLiteral(" (%1).pdf").arg(n);
        used.insert(name.toLower());
        names << name;
        stored << q->value(row, QStringLiteral("bodyFile")).toString();
        jobs.append({documentAddress(QStringLiteral("untestedwork"), stored.last()), folder + QLatin1Char('/') + name});
    }
    ProgressBar2->setRange(0, int(jobs.size()));
    ProgressBar2->setValue(0);
    ProgressBar1->setRange(0, 1);
    ProgressBar1->setValue(0);
    auto *engine = new DownloadEngine(jobs);
    auto *files = new PacedProgress(ProgressBar2, this);
    connect(engine, &DownloadEngine::fileFinished, files, [files, folder, names, stored, done = 0](int index, bool ok) mutable {
        files->set(++done);
        if (ok)   // the scoring window shows this copy instead of fetching the scan again
            SavedWorks::record(folder, names.at(index), stored.at(index));
    });
    connect(engine, &DownloadEngine::progress, this, [this](qint64 done, qint64 expected) {
        showBytes(ProgressBar1, done, expected);
    });
    connect(engine, &DownloadEngine::finished, this, [this, folder, names, files](const QList<int> &failed) {
        delete files;
        if (closed())
            return;   // the files arrived; a window already closed says nothing
        ProgressBar2->reset();
        ProgressBar1->reset();
        QString text = QStringLiteral("Скачивание файлов завершено.\n\rФайлы сохранены в папке:\n\r") + folder;
        if (!failed.isEmpty()) {
            text += QStringLiteral("\n\rНе удалось скачать файлов: ") + QString::number(failed.size());
            for (int i = 0; i < failed.size() && i < 5; ++i)
                text += QStringLiteral("\n\r") + names.value(failed[i]);
            if (failed.size() > 5)
                text += QStringLiteral("\n\r…");
        }
        Platform::get().information(text);
        Platform::get().openUrl(QUrl::fromLocalFile(folder).toString());   // the file manager
    });
    engine->start();
}
