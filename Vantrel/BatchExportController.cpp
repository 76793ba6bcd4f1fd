#include "BatchExportController.h"

#include "Alert.h"
#include "KVFile.h"
#include "NotificationCenter.h"
#include "PreferenceKeys.h"
#include "RegularFile.h"
#include "UserDefaults.h"
#include "VantrelAppController.h"
#include "ui_BatchExport.h"

#include <QCheckBox>
#include <QDialog>
#include <QDir>
#include <QEvent>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QIntValidator>
#include <QLineEdit>
#include <QScreen>

namespace {
constexpr qint64 secondsPerDay = 86400;

UserDefaults &defaults()
{
    return UserDefaults::standardUserDefaults();
}

QString exportDirectory()
{
    return VantrelAppController::expandTilde(defaults().stringForKey(PreferenceKeys::ExportDirectory));
}
} // namespace

BatchExportController::BatchExportController(QObject *parent)
    : QObject(parent)
{
    defaults().registerDefaults({ { PreferenceKeys::BatchExportDays, QStringLiteral("7") },
                                  { PreferenceKeys::AutoDelete, false } });
}

BatchExportController::~BatchExportController()
{
    delete m_window.data();
}

QDialog *BatchExportController::window()
{
    if (!m_window) {
        m_ui = std::make_unique<Ui::BatchExport>();
        m_window = new QDialog;
        m_ui->setupUi(m_window);
        windowDidLoad();
    }
    return m_window;
}

void BatchExportController::showWindow()
{
    QDialog *batch = window();
    windowDidBecomeKey();
    batch->show();
    batch->raise();
    batch->activateWindow();
}

QLineEdit *BatchExportController::howManyDaysField()
{
    window();
    return m_ui->howManyDaysField;
}

QCheckBox *BatchExportController::eraseOldFilesCheckBox()
{
    window();
    return m_ui->eraseOldFilesCheckBox;
}

void BatchExportController::windowDidLoad()
{
    m_ui->howManyDaysField->setValidator(new QIntValidator(m_ui->howManyDaysField));
    m_ui->howManyDaysField->setText(
            QString::number(defaults().integerForKey(PreferenceKeys::BatchExportDays)));
    m_ui->eraseOldFilesCheckBox->setChecked(defaults().boolForKey(PreferenceKeys::AutoDelete));
    if (QScreen *screen = QGuiApplication::primaryScreen()) {
        QRect frame = m_window->frameGeometry();
        frame.moveCenter(screen->availableGeometry().center());
        m_window->move(frame.topLeft());
    }
    connect(m_ui->buttonBox, &QDialogButtonBox::accepted, this, &BatchExportController::doOK);
    // Escape and the window's close button cancel too.
    connect(m_ui->buttonBox, &QDialogButtonBox::rejected, m_window, &QDialog::reject);
    connect(m_window, &QDialog::rejected, this, &BatchExportController::doCancel);
    m_window->installEventFilter(this);
}

void BatchExportController::windowDidBecomeKey()
{
    // Charts that go to the viewer or a PACS leave the export folder alone.
    m_ui->eraseOldFilesCheckBox->setEnabled(!defaults().boolForKey(PreferenceKeys::ExportToOsiriX)
                                            && !defaults().boolForKey(PreferenceKeys::ExportToPACS));
}

bool BatchExportController::eventFilter(QObject *watched, QEvent *event)
{
    // The type first: while the dialog is being destroyed it still sends
    // events here, and is no longer a QDialog that m_window may be read as.
    if (event->type() == QEvent::WindowActivate && watched == m_window)
        windowDidBecomeKey();
    return QObject::eventFilter(watched, event);
}

void BatchExportController::doOK()
{
    doCancel();
    defaults().setInteger(m_ui->howManyDaysField->text().toLongLong(), PreferenceKeys::BatchExportDays);
    defaults().setBool(m_ui->eraseOldFilesCheckBox->isChecked(), PreferenceKeys::AutoDelete);
    doBatchExport();
}

void BatchExportController::doCancel()
{
    if (m_window)
        m_window->hide();
}

void BatchExportController::doBatchExport()
{
    window();
    if (m_ui->eraseOldFilesCheckBox->isEnabled()) {
        if (!QFileInfo::exists(exportDirectory())) {
            Alert::alertWithMessageText(
                    tr("The export folder is not available"), tr("OK"), QString(), QString(),
                    tr("You can select a new export folder by choosing the Preferences menu item."))
                    .runModal();
            return;
        }
        if (m_ui->eraseOldFilesCheckBox->isChecked())
            doErasePreviouslyExportedFiles();
    }
    const QStringList selected = recentlyChangedFiles(
            VantrelAppController::databaseFolder(),
            defaults().stringForKey(PreferenceKeys::DataFileExtension),
            m_ui->howManyDaysField->text().toLongLong());
    for (const QString &path : selected)
        NotificationCenter::defaultCenter().post(QStringLiteral("BatchOpen"), path);
    // With nothing selected no batch runs to report the erasing's problems.
    if (VantrelAppController *controller = VantrelAppController::sharedController())
        controller->reportBatchIfIdle();
}

QStringList BatchExportController::recentlyChangedFiles(const QString &folder,
                                                        const QString &extension, qint64 days,
                                                        const QDateTime &now)
{
    QStringList selected;
    const qint64 oldest = -days * secondsPerDay;
    for (const QString &entry : KVFile::kvFile().enumeratorAtPath(folder)) {
        if (QFileInfo(entry).suffix() != extension)
            continue;
        const QString path = QDir::cleanPath(folder + u'/' + entry);
        if (!RegularFile::isRegularFile(path))
            continue;
        const QFileInfo info(path);
        const QDateTime modified = info.lastModified();
        if (!modified.isValid())
            continue;
        // Milliseconds, so that "less than N days" stays strict.
        if (now.msecsTo(modified) > oldest * 1000)
            selected.append(path);
    }
    return selected;
}

void BatchExportController::doErasePreviouslyExportedFiles()
{
    const QDir folder(exportDirectory());
    if (!QFileInfo(folder.path()).isDir())
        return;
    const QFileInfoList entries =
            folder.entryInfoList(QDir::Files | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
    for (const QFileInfo &entry : entries) {
        if (entry.suffix().toUpper() != QStringLiteral("JPG"))
            continue;
        QFile file(entry.filePath());
        // An old chart left in place would pass for one of this batch.
        if (!file.remove()) {
            if (VantrelAppController *controller = VantrelAppController::sharedController())
                controller->noteBatchProblem(
                        tr("Old chart not removed: %1: %2").arg(entry.filePath(), file.errorString()));
        }
    }
}
