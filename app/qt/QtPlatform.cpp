#include "app/qt/QtPlatform.h"

#include <QApplication>
#include <QCursor>
#include <QMenu>

#include "app/SettingsPath.h"

#include <algorithm>

#include <QAbstractButton>
#include <QCoreApplication>
#include <QDialog>
#include <QDialogButtonBox>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QFontDatabase>
#include <QGuiApplication>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
#include <QVBoxLayout>
#include <QWidget>

namespace tarvex::qt {

namespace {

QString Text(const std::string& text) {
    // The models end lines with CR LF; Qt wants LF alone.
    return QString::fromStdString(text).replace(QLatin1String("\r\n"), QLatin1String("\n"));
}

std::optional<std::string> Chosen(const QFileDialog& dialog) {
    const QStringList files = dialog.selectedFiles();
    if (files.isEmpty()) return std::nullopt;
    return QDir::toNativeSeparators(files.front()).toStdString();
}

void Prepare(QFileDialog& dialog, const TFileDialog& options) {
    if (!options.Title.empty()) dialog.setWindowTitle(QString::fromStdString(options.Title));
    const QStringList filters = DialogFilters(options.Filter);
    if (!filters.isEmpty()) dialog.setNameFilters(filters);
    if (!options.FileName.empty()) {
        const QFileInfo proposed(QString::fromStdString(options.FileName));
        if (!proposed.path().isEmpty() && proposed.path() != QLatin1String("."))
            dialog.setDirectory(proposed.absolutePath());
        dialog.selectFile(proposed.fileName());
    }
}

} // namespace

QStringList DialogFilters(const std::string& filter) {
    const QStringList parts = QString::fromStdString(filter).split(QLatin1Char('|'));
    QStringList filters;
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
        QString text = parts[i].trimmed();
        QStringList patterns;
        for (const QString& pattern : parts[i + 1].split(QLatin1Char(';'), Qt::SkipEmptyParts))
            patterns << (pattern.trimmed() == QLatin1String("*.*") ? QStringLiteral("*")
                                                                   : pattern.trimmed());
        if (patterns.isEmpty()) continue;
        // "Scripts (*.avs)" shows its own pattern list; the real one replaces it.
        if (text.endsWith(QLatin1Char(')'))) {
            const qsizetype open = text.lastIndexOf(QLatin1Char('('));
            if (open >= 0) text = text.left(open).trimmed();
        }
        filters << text + QLatin1String(" (") + patterns.join(QLatin1Char(' ')) + QLatin1Char(')');
    }
    return filters;
}

std::string WithDefaultExt(const std::string& fileName, const std::string& defaultExt) {
    if (defaultExt.empty() || defaultExt.find_first_of("*?;. ") != std::string::npos)
        return fileName;
    const QFileInfo info(QString::fromStdString(fileName));
    if (!info.suffix().isEmpty() || info.fileName().isEmpty()) return fileName;
    return fileName + "." + defaultExt;
}

void TQtPlatform::ShowMessage(const std::string& title, const std::string& text) {
    QMessageBox box(QMessageBox::Critical, QString::fromStdString(title), Text(text),
                    QMessageBox::Ok, FWindow);
    box.exec();
}

std::optional<std::string> TQtPlatform::OpenDialog(const TFileDialog& options) {
    QFileDialog dialog(FWindow);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setFileMode(options.MustExist ? QFileDialog::ExistingFile : QFileDialog::AnyFile);
    Prepare(dialog, options);
    if (dialog.exec() != QDialog::Accepted) return std::nullopt;
    return Chosen(dialog);
}

std::optional<std::string> TQtPlatform::SaveDialog(const TFileDialog& options) {
    QFileDialog dialog(FWindow);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    Prepare(dialog, options);
    if (dialog.exec() != QDialog::Accepted) return std::nullopt;
    // A name typed without an extension gets the default one.
    auto file = Chosen(dialog);
    if (file) *file = WithDefaultExt(*file, options.DefaultExt);
    return file;
}

std::optional<std::string> TQtPlatform::FolderDialog(const TFileDialog& options) {
    QFileDialog dialog(FWindow, QString::fromStdString(options.Title),
                       QString::fromStdString(options.FileName));
    dialog.setFileMode(QFileDialog::Directory);
    dialog.setOption(QFileDialog::ShowDirsOnly);
    if (dialog.exec() != QDialog::Accepted) return std::nullopt;
    return Chosen(dialog);
}

bool TQtPlatform::Confirm(const std::string& title, const std::string& text) {
    return QMessageBox::question(FWindow, QString::fromStdString(title), Text(text)) ==
           QMessageBox::Yes;
}

int TQtPlatform::Choose(const std::string& title, const std::string& text,
                        const std::vector<std::string>& answers) {
    QMessageBox box(QMessageBox::Question, QString::fromStdString(title), Text(text),
                    QMessageBox::NoButton, FWindow);
    std::vector<QAbstractButton*> buttons;
    for (std::size_t i = 0; i < answers.size(); ++i)
        buttons.push_back(box.addButton(QString::fromStdString(answers[i]),
                                        i + 1 == answers.size() ? QMessageBox::RejectRole
                                                                : QMessageBox::AcceptRole));
    box.exec();
    const auto chosen = std::find(buttons.begin(), buttons.end(), box.clickedButton());
    return chosen == buttons.end() ? -1 : static_cast<int>(chosen - buttons.begin());
}

void TQtPlatform::ShowReport(const std::string& title, const std::vector<std::string>& lines) {
    auto* dialog = new QDialog(FWindow);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    dialog->setObjectName(QStringLiteral("ReportDialog"));
    dialog->setWindowTitle(QString::fromStdString(title));
    auto* text = new QPlainTextEdit(dialog);
    text->setReadOnly(true);
    text->setLineWrapMode(QPlainTextEdit::NoWrap);
    text->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    for (const std::string& line : lines) text->appendPlainText(QString::fromStdString(line));
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close, dialog);
    QObject::connect(buttons, &QDialogButtonBox::rejected, dialog, &QDialog::close);
    auto* layout = new QVBoxLayout(dialog);
    layout->addWidget(text);
    layout->addWidget(buttons);
    dialog->resize(640, 360);
    dialog->show();
}

std::optional<int> TQtPlatform::ChooseItem(const std::string& title,
                                           const std::vector<std::string>& items) {
    QMenu menu(FWindow);
    menu.setTitle(QString::fromStdString(title));
    for (std::size_t i = 0; i < items.size(); ++i)
        menu.addAction(QString::fromStdString(items[i]))->setData(static_cast<int>(i));
    const QWidget* focus = QApplication::focusWidget();
    const QPoint at =
        focus != nullptr ? focus->mapToGlobal(QPoint(0, focus->height())) : QCursor::pos();
    const QAction* chosen = menu.exec(at);
    if (chosen == nullptr) return std::nullopt;
    return chosen->data().toInt();
}

std::string TQtPlatform::FileVersionText() {
    return TARVEX_VERSION;
}

std::string TQtPlatform::SettingsFileName(const std::string& appName) {
    FChosenSettingsFile =
        !FSettingsFile.empty()
            ? FSettingsFile
            : SettingsFilePath(QCoreApplication::applicationDirPath().toStdString(), appName,
                               SystemSettingsProbe());
    return FChosenSettingsFile;
}

bool TQtPlatform::MayWriteSettings() {
    // A folder that cannot be made shows up as the write's own failure.
    if (!FChosenSettingsFile.empty()) (void)MakeSettingsFolder(FChosenSettingsFile);
    return true;
}

TScreenInfo TQtPlatform::Screen() {
    const QScreen* screen = FWindow != nullptr ? FWindow->screen() : nullptr;
    if (screen == nullptr) screen = QGuiApplication::primaryScreen();
    TScreenInfo info;
    if (screen == nullptr) return info;
    const QRect all = screen->geometry();
    const QRect work = screen->availableGeometry();
    info.Width = all.width();
    info.Height = all.height();
    info.WorkArea =
        TRect{work.left(), work.top(), work.left() + work.width(), work.top() + work.height()};
    // The desktops here tell nothing about a hiding panel: the work area stands as it is.
    info.Taskbar = TTaskbarState{};
    return info;
}

TPoint TQtPlatform::WindowPosition() {
    if (FWindow == nullptr) return {};
    return TPoint{FWindow->x(), FWindow->y()};
}

TSize TQtPlatform::WindowSize() {
    if (FWindow == nullptr) return TPlatform::WindowSize();
    const QRect frame = FWindow->frameGeometry();
    return TSize{frame.width(), frame.height()};
}

void TQtPlatform::MoveWindow(TPoint position) {
    if (FWindow == nullptr) return;
    FWindow->move(position.X, position.Y);
}

void TQtPlatform::Post(std::function<void()> work) {
    QObject* context = FWindow ? static_cast<QObject*>(FWindow) : QCoreApplication::instance();
    QMetaObject::invokeMethod(
        context,
        [this, work = std::move(work)] {
            work();
            if (AfterPosted) AfterPosted();
        },
        Qt::QueuedConnection);
}

} // namespace tarvex::qt
