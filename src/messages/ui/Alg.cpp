#include "messages/ui/Alg.h"

#include "messages/AlgLayout.h"
#include "platform/ui/TwipsGeometry.h"

#include <QDir>
#include <QEvent>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QPrintDialog>
#include <QPrintPreviewDialog>
#include <QPrinter>
#include <QPrinterInfo>
#include <QScrollBar>
#include <QStandardPaths>
#include <QTextCursor>
#include <QTextEdit>

namespace messages::ui {

QColor colourOf(quint32 value)
{
    return QColor(int(value & 0xFF), int((value >> 8) & 0xFF), int((value >> 16) & 0xFF));
}

namespace {
QString withoutCr(QString text)
{
    return text.remove(QLatin1Char('\r'));
}

} // namespace

Alg::Alg(MessageLog& log, QWidget* parent) : QWidget(parent), m_log(log)
{
    setWindowTitle(QStringLiteral("Meldingen"));
    setObjectName(QStringLiteral("Alg"));

    AlgText = new QTextEdit(this);
    AlgText->setObjectName(QStringLiteral("AlgText"));
    AlgText->setReadOnly(true);
    // Read-only, yet the keyboard moves through it (Ctrl+Home, Ctrl+End)
    // and selects for copying.
    AlgText->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    // Long lines (addresses) wrap: a horizontal scrollbar would take the
    // few lines a small window has.
    AlgText->setLineWrapMode(QTextEdit::WidgetWidth);
    AlgText->setWordWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    AlgText->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(AlgText, &QWidget::customContextMenuRequested, this, &Alg::showContextMenu);
    QScrollBar* bar = AlgText->verticalScrollBar();
    // Within a line of the end counts as at the end: showing the caret's
    // line leaves the document's bottom margin out of view.
    connect(bar, &QScrollBar::valueChanged, this, [this, bar](int value) {
        m_followNewest = value >= bar->maximum() - AlgText->fontMetrics().lineSpacing();
    });
    // A resize or new text changes the range: keep the newest line in view
    // unless the user scrolled up to read.
    connect(bar, &QScrollBar::rangeChanged, this, [this, bar](int, int maximum) {
        if (m_followNewest)
            bar->setValue(maximum);
    });
    // The log is bounded; an undo history of every insertion would not be.
    AlgText->document()->setUndoRedoEnabled(false);
    AlgText->setPlainText(withoutCr(m_log.text()));
    setFocusProxy(AlgText);

    connect(&m_log, &MessageLog::prefixRemoved, this, &Alg::mirrorRemoval);
    connect(&m_log, &MessageLog::textInserted, this, &Alg::mirrorInsertion);
    connect(&m_log, &MessageLog::cleared, AlgText, &QTextEdit::clear);

    // Load.
    SizeAlgText();
}

void Alg::mirrorRemoval(const QString& removed)
{
    QTextCursor c(AlgText->document());
    c.setPosition(0);
    c.setPosition(paneLength(removed), QTextCursor::KeepAnchor);
    c.removeSelectedText();
}

void Alg::mirrorInsertion(bool atStart, const QString& text, quint32 colour)
{
    QTextCursor c(AlgText->document());
    c.movePosition(atStart ? QTextCursor::Start : QTextCursor::End);
    QTextCharFormat format;
    format.setForeground(colourOf(colour));
    c.insertText(withoutCr(text), format);
    // The caret follows the newest message, at the top or the bottom, unless
    // the user is reading further up.
    if (atStart) {
        c.movePosition(QTextCursor::Start);
        AlgText->setTextCursor(c);
    } else if (m_followNewest) {
        AlgText->setTextCursor(c);
        QScrollBar* bar = AlgText->verticalScrollBar();
        bar->setValue(bar->maximum());
    }
}

QMdiSubWindow* Alg::subWindow() const
{
    return qobject_cast<QMdiSubWindow*>(parentWidget());
}

platform::WindowState Alg::state() const
{
    return platform::windowState(subWindow() ? *static_cast<const QWidget*>(subWindow()) : *this);
}

void Alg::Reposition(const QVariant& RequestedHeight, const QString& Position, bool ParmSetFocus)
{
    m_RequestedHeight = RequestedHeight;
    m_Position = Position;
    QMdiSubWindow* sub = subWindow();
    if (!sub || !sub->mdiArea())
        return;
    const QWidget* client = sub->mdiArea()->viewport();
    const platform::TwipsRect area = platform::innerTwips(*client);
    const platform::TwipsRect r =
        platform::dockRect(RequestedHeight, true, area.height, area.width);
    if (state() != platform::Normal)
        sub->showNormal();
    const QRect pixels = platform::toPixels(*client, r);
    // A client too narrow for the width keeps the old width.
    sub->setGeometry(0, pixels.top(), r.width >= 0 ? pixels.width() : sub->width(),
                     pixels.height());
    if (ParmSetFocus)
        sub->mdiArea()->setActiveSubWindow(sub);
}

void Alg::SetBackColor(quint32 BackColorText, quint32 BackColorMain, qint16 ExtMarge)
{
    m_ExtMarge = ExtMarge;
    QPalette main = palette();
    main.setColor(QPalette::Window, colourOf(BackColorMain));
    setPalette(main);
    setAutoFillBackground(true);
    QPalette pane = AlgText->palette();
    pane.setColor(QPalette::Base, colourOf(BackColorText));
    AlgText->setPalette(pane);
}

void Alg::SizeAlgText()
{
    const platform::TwipsRect inner = platform::innerTwips(*this);
    m_ExtMarge = platform::paneMargin(m_ExtMarge, inner.width);
    if (state() == platform::Minimized)
        return;
    const platform::TwipsRect r = paneRect(inner.width, inner.height, m_ExtMarge);
    const QRect pixels = platform::toPixels(*this, r);
    // Each side on its own: a window smaller than its margins keeps the
    // pane's old width or height.
    AlgText->move(pixels.topLeft());
    if (r.width >= 0)
        AlgText->resize(pixels.width(), AlgText->height());
    if (r.height >= 0)
        AlgText->resize(AlgText->width(), pixels.height());
}

void Alg::Form_Resize()
{
    const platform::WindowState W = state();
    if (W == platform::Normal && m_RequestedHeight.isValid() && m_LastWindowState.isValid() &&
        m_LastWindowState.toInt() == platform::Minimized)
        Reposition(m_RequestedHeight, m_Position, false);
    SizeAlgText();
    m_LastWindowState = int(W);
}

void Alg::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    Form_Resize();
}

void Alg::changeEvent(QEvent* event)
{
    QWidget::changeEvent(event);
    if (event->type() == QEvent::ParentChange)
        watchWindowState();
}

void Alg::watchWindowState()
{
    // A minimised child hides this widget, so its state changes reach us
    // only through the child window.
    if (m_watched)
        disconnect(m_watched, nullptr, this, nullptr);
    m_watched = subWindow();
    if (m_watched)
        connect(m_watched, &QMdiSubWindow::windowStateChanged, this, [this] { Form_Resize(); });
}

void Alg::printTo(QPrinter& printer)
{
    printer.setPrintRange(AlgText->textCursor().hasSelection() ? QPrinter::Selection
                                                               : QPrinter::AllPages);
    printer.setDocName(windowTitle());
    AlgText->print(&printer);
}

void Alg::preparePrinter(QPrinter& printer)
{
    const QPrinterInfo info = QPrinterInfo::defaultPrinter();
    if (!info.isNull()) {
        printer.setPrinterName(info.printerName());
        if (printer.isValid())
            return;
    }
    // No printer to print on: a PDF file, named after the window.
    printer.setOutputFormat(QPrinter::PdfFormat);
    QString folder = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    if (!QDir(folder).exists())
        folder = QDir::homePath();
    printer.setOutputFileName(QDir(folder).filePath(QStringLiteral("Meldingen.pdf")));
}

void Alg::AfdrukkenMeldingen()
{
    QPrinter printer(QPrinter::HighResolution);
    preparePrinter(printer);
    QPrintDialog dialog(&printer, this);
    dialog.setWindowTitle(QStringLiteral("Meldingen afdrukken"));
    if (AlgText->textCursor().hasSelection())
        dialog.setOption(QAbstractPrintDialog::PrintSelection);
    if (dialog.exec() != QDialog::Accepted)
        return;
    printTo(printer);
}

void Alg::Afdrukvoorbeeld()
{
    QPrinter printer(QPrinter::HighResolution);
    preparePrinter(printer);
    QPrintPreviewDialog preview(&printer, this);
    preview.setWindowTitle(QStringLiteral("Afdrukvoorbeeld Meldingen"));
    connect(&preview, &QPrintPreviewDialog::paintRequested, this,
            [this](QPrinter* p) { printTo(*p); });
    preview.exec();
}

QMenu* Alg::contextMenu()
{
    QMenu* menu = AlgText->createStandardContextMenu();
    menu->addSeparator();
    QAction* print = menu->addAction(QStringLiteral("&Afdrukken…"), this, &Alg::AfdrukkenMeldingen);
    print->setObjectName(QStringLiteral("mnuAfdrukken"));
    menu->addAction(QStringLiteral("Afdruk&voorbeeld…"), this, &Alg::Afdrukvoorbeeld);
    return menu;
}

void Alg::showContextMenu(const QPoint& at)
{
    QMenu* menu = contextMenu();
    menu->setAttribute(Qt::WA_DeleteOnClose);
    menu->popup(AlgText->viewport()->mapToGlobal(at));
}

int Alg::paneHeightFor(int lines) const
{
    const QTextDocument* doc = AlgText->document();
    const int frame = AlgText->frameWidth() * 2;
    return int(lines * AlgText->fontMetrics().lineSpacing() + 2 * doc->documentMargin()) + frame;
}

} // namespace messages::ui
