#include "messages/ui/Alg.h"

#include "messages/AlgLayout.h"
#include "platform/ui/TwipsGeometry.h"

#include <QCheckBox>
#include <QEvent>
#include <QGroupBox>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QPrinter>
#include <QPrinterInfo>
#include <QPushButton>
#include <QTextCursor>
#include <QTextEdit>
#include <QVBoxLayout>

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
    AlgText->setLineWrapMode(QTextEdit::NoWrap);
    // The log is bounded; an undo history of every insertion would not be.
    AlgText->document()->setUndoRedoEnabled(false);
    AlgText->setPlainText(withoutCr(m_log.text()));

    FrameCheckVragen =
        new QGroupBox(QStringLiteral("Geef aan welke opties van toepassing zijn"), this);
    FrameCheckVragen->setObjectName(QStringLiteral("FrameCheckVragen"));
    auto* questions = new QVBoxLayout(FrameCheckVragen);
    auto* dummy = new QCheckBox(QStringLiteral("Dummy"), FrameCheckVragen);
    dummy->setObjectName(QStringLiteral("CheckVraag"));
    CheckVraag.append(dummy);
    questions->addWidget(dummy);
    VragenKlaar = new QPushButton(QStringLiteral("Ok"), FrameCheckVragen);
    VragenKlaar->setObjectName(QStringLiteral("VragenKlaar"));
    questions->addWidget(VragenKlaar);
    FrameCheckVragen->hide();
    connect(VragenKlaar, &QPushButton::clicked, this, [this] { CheckOk = true; });

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
    // The caret follows the newest message, at the top or the bottom.
    if (atStart)
        c.movePosition(QTextCursor::Start);
    AlgText->setTextCursor(c);
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

void Alg::printPane(QPrinter& printer)
{
    printer.setPrintRange(AlgText->textCursor().hasSelection() ? QPrinter::Selection
                                                               : QPrinter::AllPages);
    AlgText->print(&printer);
}

void Alg::AfdrukkenMeldingen()
{
    const QPrinterInfo info = QPrinterInfo::defaultPrinter();
    if (info.isNull()) {
        m_log.AddMelding(QStringLiteral("Afdrukken niet mogelijk: er is geen standaardprinter."));
        return;
    }
    QPrinter printer(info);
    if (!printer.isValid()) {
        m_log.AddMelding(QStringLiteral("Afdrukken niet mogelijk: printer ") + info.printerName() +
                         QStringLiteral(" is niet bruikbaar."));
        return;
    }
    printPane(printer);
}

} // namespace messages::ui
