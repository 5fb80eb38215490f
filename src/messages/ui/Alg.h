#pragma once

#include "messages/MessageLog.h"
#include "platform/Layout.h"

#include <QVariant>
#include <QWidget>

class QMdiSubWindow;
class QMenu;
class QPrinter;
class QTextEdit;

namespace messages::ui {

// The message window "Meldingen": a view on the MessageLog, shown as a child
// of the main window's MDI area. It mirrors the log into the pane AlgText and
// docks itself along the bottom of the MDI area.
class Alg : public QWidget
{
    Q_OBJECT
public:
    explicit Alg(MessageLog& log, QWidget* parent = nullptr);

    // Docks the window along the bottom of the MDI area, RequestedHeight
    // high (a text such as "25%", or twips); Position is remembered but the
    // window always ends at the bottom edge. Without an MDI area it only
    // remembers its arguments.
    void Reposition(const QVariant& RequestedHeight, const QString& Position, bool ParmSetFocus);
    // Lays the pane out inside the window with the margin ExtMarge.
    void SizeAlgText();
    // Prints the pane (the selection, if any) through the print dialog, on
    // a printer or into a PDF file; the default printer comes first, a PDF
    // file when there is none. Cancelling prints nothing.
    void AfdrukkenMeldingen();
    // The print preview of the same pages, printable from there.
    void Afdrukvoorbeeld();
    // Prints the pane (the selection, if any) on `printer` as it is set up.
    void printTo(QPrinter& printer);
    // The height in pixels the pane needs to show `lines` lines of the log.
    int paneHeightFor(int lines) const;
    // The pane's context menu: the usual text commands, then printing.
    QMenu* contextMenu();
    void ClearAlg() { m_log.ClearAlg(); }

    // The MDI child this window lives in; null outside an MDI area.
    QMdiSubWindow* subWindow() const;
    platform::WindowState state() const;

    // Kept for callers of the window's interface; the program itself calls
    // neither.
    // Pane colour, window colour (0x00BBGGRR) and pane margin in twips
    // (0: chosen from the width at the next layout).
    void SetBackColor(quint32 BackColorText, quint32 BackColorMain, qint16 ExtMarge = 0);
    // Does nothing: printing is AfdrukkenMeldingen.
    void PrintAlg() {}

protected:
    void resizeEvent(QResizeEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    void Form_Resize();
    void preparePrinter(QPrinter& printer);
    void showContextMenu(const QPoint& at);
    void mirrorRemoval(const QString& removed);
    void mirrorInsertion(bool atStart, const QString& text, quint32 colour);
    void watchWindowState();

    MessageLog& m_log;
    // The log's pane, object name "AlgText". Focus given to the window goes
    // to it.
    QTextEdit* AlgText;
    QVariant m_RequestedHeight; // invalid until the first Reposition
    QString m_Position;
    QVariant m_LastWindowState; // invalid until the first resize
    qint16 m_ExtMarge = 0;
    QMdiSubWindow* m_watched = nullptr;
    // The pane shows the newest line until the user scrolls away from it.
    bool m_followNewest = true;
};

// 0x00BBGGRR as the platform numbers colours.
QColor colourOf(quint32 value);

} // namespace messages::ui
