#include "platform/ui/WidgetPrompts.h"

#include "platform/Version.h"

#include <QFileDialog>
#include <QInputDialog>
#include <QMessageBox>
#include <QPushButton>

namespace platform {

namespace {
QMessageBox::StandardButton buttonFor(int answer)
{
    switch (answer) {
    case box::OK:
        return QMessageBox::Ok;
    case box::Cancel:
        return QMessageBox::Cancel;
    case box::Abort:
        return QMessageBox::Abort;
    case box::Retry:
        return QMessageBox::Retry;
    case box::Ignore:
        return QMessageBox::Ignore;
    case box::Yes:
        return QMessageBox::Yes;
    default:
        return QMessageBox::No;
    }
}

QMessageBox::Icon iconFor(int style)
{
    switch (style & 0x70) {
    case box::Critical:
        return QMessageBox::Critical;
    case box::Question:
        return QMessageBox::Question;
    case box::Exclamation:
        return QMessageBox::Warning;
    case box::Information:
        return QMessageBox::Information;
    default:
        return QMessageBox::NoIcon;
    }
}
} // namespace

int WidgetPrompts::MsgBox(const QString& Prompt, int Buttons, const QString& Title)
{
    QMessageBox mb(iconFor(Buttons),
                   Title.isEmpty() ? QString::fromLatin1(version::ProgramTitle) : Title, Prompt,
                   QMessageBox::NoButton, m_parent);
    const QList<int> answers = box::answersOf(Buttons);
    for (int a : answers)
        mb.addButton(buttonFor(a));
    mb.setDefaultButton(buttonFor(box::defaultAnswer(Buttons)));
    const int clicked = mb.exec();
    for (int a : answers)
        if (clicked == buttonFor(a))
            return a;
    // Closed with Escape or the title bar: the cancel-like answer, else the last.
    return answers.contains(box::Cancel) ? int(box::Cancel) : answers.last();
}

namespace {
// "Tekst|*.txt;*.csv|Alle bestanden (*.*)|*.*" in the dialog's own form,
// "Tekst (*.txt *.csv);;Alle bestanden (*)". "*.*" means every file here,
// also those without a dot.
QStringList nameFilters(const QString& filter)
{
    const QStringList items = filter.split(QLatin1Char('|'));
    QStringList filters;
    for (qsizetype i = 0; i + 1 < items.size(); i += 2) {
        QStringList patterns = items[i + 1].split(QLatin1Char(';'), Qt::SkipEmptyParts);
        for (QString& p : patterns)
            if (p.trimmed() == QLatin1String("*.*"))
                p = QStringLiteral("*");
        QString description = items[i];
        const qsizetype open = description.lastIndexOf(QLatin1Char('('));
        if (open > 0 && description.endsWith(QLatin1Char(')')))
            description = description.left(open).trimmed();
        filters << description + QStringLiteral(" (") + patterns.join(QLatin1Char(' ')) +
                       QLatin1Char(')');
    }
    return filters;
}
} // namespace

std::optional<QString> WidgetPrompts::FileDialog(const FileDialogRequest& request)
{
    QFileDialog dialog(m_parent, request.title, request.directory);
    dialog.setNameFilters(nameFilters(request.filter));
    if (request.kind == FileDialogRequest::Save) {
        dialog.setAcceptMode(QFileDialog::AcceptSave);
        dialog.setFileMode(QFileDialog::AnyFile);
    } else {
        dialog.setAcceptMode(QFileDialog::AcceptOpen);
        dialog.setFileMode(QFileDialog::ExistingFile);
    }
    if (!request.fileName.isEmpty())
        dialog.selectFile(request.fileName);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return std::nullopt;
    return dialog.selectedFiles().first();
}

std::optional<QString> WidgetPrompts::InputBox(const QString& Prompt, const QString& Title,
                                               const QString& Default)
{
    bool ok = false;
    const QString text = QInputDialog::getText(
        m_parent, Title.isEmpty() ? QString::fromLatin1(version::ProgramTitle) : Title, Prompt,
        QLineEdit::Normal, Default, &ok);
    if (!ok)
        return std::nullopt;
    return text;
}

} // namespace platform
