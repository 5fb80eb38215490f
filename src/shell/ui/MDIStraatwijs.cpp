#include "shell/ui/MDIStraatwijs.h"

#include "lookup/PostcodeLookup.h"
#include "lookup/ui/frmPostcode.h"
#include "messages/ui/Alg.h"
#include "platform/Layout.h"
#include "platform/RunError.h"
#include "platform/Stop.h"
#include "platform/ui/TwipsGeometry.h"
#include "platform/ui/WidgetPrompts.h"

#include <QApplication>
#include <QCloseEvent>
#include <QDirIterator>
#include <QElapsedTimer>
#include <QIcon>
#include <QKeySequence>
#include <QLabel>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenuBar>
#include <QPainter>
#include <QProgressBar>
#include <QScreen>
#include <QShortcut>
#include <QStatusBar>
#include <QStyle>
#include <QTextEdit>
#include <QTextStream>
#include <algorithm>

namespace shell::ui {

using platform::pixelsToTwips;
using platform::skipOnError;
using platform::twipsToPixels;

namespace {
// The MDI area; while the lookup form is not there it says how to begin.
class HintArea : public QMdiArea
{
public:
    using QMdiArea::QMdiArea;
    void setHint(const QString& hint)
    {
        m_hint = hint;
        viewport()->update();
    }

protected:
    void paintEvent(QPaintEvent* event) override
    {
        QMdiArea::paintEvent(event);
        // Only the message window is open: before the first command, or
        // after the lookup form was closed.
        const QList<QMdiSubWindow*> windows = subWindowList();
        if (m_hint.isEmpty() ||
            std::count_if(windows.begin(), windows.end(),
                          [](const QMdiSubWindow* w) { return w->isVisible(); }) > 1)
            return;
        // A card in the upper part, where the lookup form will be.
        QPainter painter(viewport());
        painter.setRenderHint(QPainter::Antialiasing);
        const int margin = fontMetrics().averageCharWidth() * 2;
        const QRect upper = QRect(0, 0, viewport()->width(), viewport()->height() * 3 / 4)
                                .adjusted(margin, margin, -margin, -margin);
        const int width = qMin(upper.width(), fontMetrics().averageCharWidth() * 60);
        const int flags = Qt::AlignLeft | Qt::TextWordWrap;
        QRect text = fontMetrics().boundingRect(QRect(0, 0, width, upper.height()), flags, m_hint);
        text.moveCenter(upper.center());
        painter.setPen(Qt::NoPen);
        painter.setBrush(palette().color(QPalette::Base));
        painter.drawRoundedRect(text.adjusted(-margin, -margin, margin, margin), margin / 2,
                                margin / 2);
        painter.setPen(palette().color(QPalette::Text));
        painter.drawText(text, flags, m_hint);
    }

private:
    QString m_hint;
};

// Keeps the message window open for the whole run: the log has nowhere
// else to show.
class IgnoreClose : public QObject
{
public:
    using QObject::QObject;
    bool eventFilter(QObject*, QEvent* event) override
    {
        if (event->type() != QEvent::Close)
            return false;
        event->ignore();
        return true;
    }
};

// Keeps the lookup form open while a batch works in it.
class KeepWhileRunning : public QObject
{
public:
    KeepWhileRunning(QObject* parent, const Harvest& harvest) : QObject(parent), m_harvest(harvest)
    {
    }
    bool eventFilter(QObject*, QEvent* event) override
    {
        if (event->type() != QEvent::Close || !m_harvest.running())
            return false;
        event->ignore();
        return true;
    }

private:
    const Harvest& m_harvest;
};

// The program's icon in every size the build rendered into the resources.
QIcon programIcon()
{
    QIcon icon;
    QDirIterator files(QStringLiteral(":/straatwijs/icons"), {QStringLiteral("*.png")}, QDir::Files,
                       QDirIterator::Subdirectories);
    while (files.hasNext())
        icon.addFile(files.next());
    return icon;
}
} // namespace

MDIStraatwijs::MDIStraatwijs(Shell& shell, CommandBoundary& boundary, QWidget* parent)
    : QMainWindow(parent), m_shell(shell), m_boundary(boundary), m_harvest(shell.harvest())
{
    setObjectName(QStringLiteral("MDIStraatwijs"));
    // The children (the MDI windows, the prompts' dialogs) take it from here.
    setWindowIcon(programIcon());
    auto* area = new HintArea(this);
    area->setHint(startHint());
    m_mdiArea = area;
    setCentralWidget(m_mdiArea);

    m_alg = new messages::ui::Alg(m_shell.log());
    m_algWindow = new QMdiSubWindow;
    m_algWindow->setWidget(m_alg);
    m_algWindow->setWindowTitle(m_alg->windowTitle());
    m_algWindow->installEventFilter(new IgnoreClose(m_algWindow));
    m_mdiArea->addSubWindow(m_algWindow);
    m_algWindow->setWindowFlags(Qt::SubWindow | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                                Qt::WindowMinMaxButtonsHint);
    m_algWindow->show();

    createMenus();
    createStatusBar();
    connect(&m_harvest, &Harvest::runningChanged, this, &MDIStraatwijs::batchRunning);
    connect(&m_harvest, &Harvest::requestStarted, this, [this](int i, int n) {
        m_batch.requestStarted(i, n);
        showProgress();
    });
    connect(&m_harvest, &Harvest::pauseStarted, this,
            [this](qint32 milliseconds) { pauseStarted(milliseconds, true); });
    connect(&m_harvest, &Harvest::repositionLookup, this,
            [this](const QVariant& height, const QString& position, bool focus) {
                if (!m_lookupForm || !m_lookupReposition)
                    return;
                // Above the message window, however tall that had to grow.
                const bool upper = height == QVariant(QStringLiteral("75%"));
                m_lookupReposition(upper ? percent(100 - logShare()) : height, position, focus);
            });
    lookup::PostcodeLookup& engine = m_shell.engine();
    connect(&engine, &lookup::PostcodeLookup::requestStarted, this, [this](const QString& query) {
        m_batch.queryStarted(query);
        showProgress();
    });
    connect(&engine, &lookup::PostcodeLookup::pageRead, this, [this](qint64 page, qint64 pages) {
        m_batch.pageRead(page, pages);
        showProgress();
    });
    connect(&engine, &lookup::PostcodeLookup::pauseStarted, this,
            [this](qint32 milliseconds) { pauseStarted(milliseconds, false); });
    connect(&m_shell, &Shell::lookupLoaded, this, &MDIStraatwijs::showLookupForm);

    m_placementSettles.setSingleShot(true);
    m_placementSettles.setInterval(300);
    connect(&m_placementSettles, &QTimer::timeout, this, &MDIStraatwijs::placementSettled);

    Timer1.setParent(this);
    Timer1.setObjectName(QStringLiteral("Timer1"));
    Timer1.setInterval(1000);
    Timer1.setSingleShot(true);
    connect(&Timer1, &QTimer::timeout, this, &MDIStraatwijs::Timer1_Timer);

    MDIForm_Load();
}

void MDIStraatwijs::createMenus()
{
    // The captions are the program's own; '&' only marks the Alt key letter.
    const auto item = [this](QMenu* menu, const char* name, const QString& text,
                             const QList<QKeySequence>& keys, void (MDIStraatwijs::*slot)()) {
        QAction* a = menu->addAction(text);
        a->setObjectName(QString::fromLatin1(name));
        a->setShortcuts(keys);
        connect(a, &QAction::triggered, this, slot);
        return a;
    };
    nmuBestand = menuBar()->addMenu(QStringLiteral("&Bestand"));
    nmuBestand->setObjectName(QStringLiteral("nmuBestand"));
    mnuAfdrukken = nmuBestand->addAction(QStringLiteral("&Afdrukken…"));
    mnuAfdrukken->setObjectName(QStringLiteral("mnuAfdrukken"));
    mnuAfdrukken->setShortcut(QKeySequence::Print);
    connect(mnuAfdrukken, &QAction::triggered, m_alg, &messages::ui::Alg::AfdrukkenMeldingen);
    mnuAfdrukvoorbeeld = nmuBestand->addAction(QStringLiteral("Afdruk&voorbeeld…"));
    mnuAfdrukvoorbeeld->setObjectName(QStringLiteral("mnuAfdrukvoorbeeld"));
    connect(mnuAfdrukvoorbeeld, &QAction::triggered, m_alg, &messages::ui::Alg::Afdrukvoorbeeld);
    nmuBestand->addSeparator();
    mnuAutosmall32 = item(nmuBestand, "mnuAutosmall32", QStringLiteral("DoA&utosmall32"), {},
                          &MDIStraatwijs::mnuAutosmall32_Click);
    mnuAutosmall32->setCheckable(true);
    mnuStreep1 = nmuBestand->addSeparator();
    mnuStreep1->setObjectName(QStringLiteral("mnuStreep1"));
    mnuEinde = item(nmuBestand, "mnuEinde", QStringLiteral("&Einde"),
                    {QKeySequence(Qt::CTRL | Qt::Key_Q)}, &MDIStraatwijs::mnuEinde_Click);

    mnuHandmatig = menuBar()->addMenu(QStringLiteral("&Handmatig"));
    mnuHandmatig->setObjectName(QStringLiteral("mnuHandmatig"));
    mnuDoBig = item(mnuHandmatig, "mnuDoBig", QStringLiteral("Do&Big"),
                    {QKeySequence(Qt::CTRL | Qt::Key_B)}, &MDIStraatwijs::mnuDoBig_Click);
    mnuDoSmall = item(mnuHandmatig, "mnuDoSmall", QStringLiteral("Do&Small"),
                      {QKeySequence(Qt::CTRL | Qt::Key_S)}, &MDIStraatwijs::mnuDoSmall_Click);
    mnuDoMinimal = item(mnuHandmatig, "mnuDoMinimal", QStringLiteral("Do&Minimal"),
                        {QKeySequence(Qt::CTRL | Qt::Key_M)}, &MDIStraatwijs::mnuDoMinimal_Click);
    mnuHandmatig->addSeparator();
    mnuStoppen = item(mnuHandmatig, "mnuStoppen", QStringLiteral("S&toppen"),
                      {QKeySequence(Qt::Key_Escape), QKeySequence(Qt::CTRL | Qt::Key_Period)},
                      &MDIStraatwijs::mnuStoppen_Click);
    mnuStoppen->setEnabled(false);

    // F10 opens the menu bar, as on most desktops.
    auto* menuKey = new QShortcut(QKeySequence(Qt::Key_F10), this);
    connect(menuKey, &QShortcut::activated, this,
            [this] { menuBar()->setActiveAction(nmuBestand->menuAction()); });
}

QString MDIStraatwijs::startHint()
{
    return QStringLiteral(
        "Nog geen zoekopdracht.\n\nStart een batch met Handmatig › DoSmall (Ctrl+S) of "
        "DoMinimal (Ctrl+M), of één groot verzoek met DoBig (Ctrl+B). Stoppen met Esc.\n"
        "De Meldingen hieronder tonen wat het programma doet.");
}

void MDIStraatwijs::createStatusBar()
{
    m_progress = new QProgressBar;
    m_progress->setMaximumWidth(200);
    m_progress->setVisible(false);
    m_step = new QLabel;
    statusBar()->addWidget(m_progress);
    statusBar()->addWidget(m_step, 1);
    m_countdown.setInterval(250);
    connect(&m_countdown, &QTimer::timeout, this, &MDIStraatwijs::showProgress);
}

void MDIStraatwijs::batchRunning(bool running)
{
    for (QAction* a : {mnuDoBig, mnuDoSmall, mnuDoMinimal})
        a->setEnabled(!running);
    mnuStoppen->setEnabled(running);
    m_progress->setVisible(running);
    if (running) {
        m_progress->setValue(0);
        m_countdown.start();
    } else {
        m_countdown.stop();
        m_batch.reset();
        // A batch that ran to its end shows it full until the next one.
        switch (m_harvest.outcome()) {
        case Harvest::Outcome::Done:
        case Harvest::Outcome::NoRequest: // neither ends a command
        case Harvest::Outcome::LeaseLost:
            m_progress->setValue(m_progress->maximum());
            m_progress->setVisible(true);
            m_step->setText(QStringLiteral("Klaar."));
            break;
        case Harvest::Outcome::Blocked:
            m_step->setText(QStringLiteral("Gestopt: de site blokkeert het zoeken."));
            break;
        case Harvest::Outcome::Unreachable:
            m_step->setText(QStringLiteral("Gestopt: de site is niet bereikbaar."));
            break;
        case Harvest::Outcome::Interrupted:
            m_step->setText(QStringLiteral("Gestopt."));
            break;
        }
    }
}

void MDIStraatwijs::pauseStarted(qint32 milliseconds, bool requestDone)
{
    m_batch.pauseStarted(m_shell.env().tick->GetTickCount(), milliseconds, requestDone);
    showProgress();
}

void MDIStraatwijs::showProgress()
{
    if (!m_harvest.running())
        return;
    m_progress->setRange(0, m_batch.total());
    m_progress->setValue(m_batch.done());
    m_step->setText(m_batch.text(m_shell.env().tick->GetTickCount()));
}

// The engine has loaded (on a harvest command's first use): show the form
// on it, docked in the upper three quarters.
void MDIStraatwijs::showLookupForm()
{
    if (m_lookupForm)
        return;
    auto* form = new lookup::ui::frmPostcode(m_shell.engine());
    form->setWindowTitle(QStringLiteral("Postcode"));
    auto* sub = m_mdiArea->addSubWindow(form);
    sub->setAttribute(Qt::WA_DeleteOnClose);
    sub->installEventFilter(new KeepWhileRunning(sub, m_harvest));
    sub->show();
    form->Form_Load();
    setLookupForm(sub, [form](const QVariant& height, const QString& position, bool focus) {
        form->Reposition(height, position, focus);
    });
}

QMdiSubWindow* MDIStraatwijs::lookupForm() const
{
    return m_lookupForm;
}

void MDIStraatwijs::runCommand(const std::function<Harvest::Ending()>& command)
{
    Harvest::Ending ending;
    m_boundary.run([&] { ending = command(); });
    if (m_harvest.running())
        return; // a command given inside a running batch; that batch goes on
    if (ending)
        m_boundary.end(*ending);
    else if (m_closeRequested) {
        skipOnError([&] { m_placement->closing(placement(), platform::windowState(*this)); });
        QCoreApplication::exit(0);
    }
}

void MDIStraatwijs::mnuDoBig_Click()
{
    runCommand([this] { return m_harvest.runBig(); });
}

void MDIStraatwijs::mnuDoSmall_Click()
{
    runCommand([this] { return m_harvest.runSmall(); });
}

void MDIStraatwijs::mnuDoMinimal_Click()
{
    runCommand([this] { return m_harvest.runMinimal(); });
}

void MDIStraatwijs::mnuStoppen_Click()
{
    if (m_harvest.running())
        m_shell.env().stop->request(platform::StopRequest::ByUser);
}

void MDIStraatwijs::MDIForm_Load()
{
    setWindowTitle(caption());
    const QRect screenPixels = screen()->geometry();
    const Placement byDefault =
        defaultPlacement(pixelsToTwips(screenPixels.width(), screen()->logicalDotsPerInchX()),
                         pixelsToTwips(screenPixels.height(), screen()->logicalDotsPerInchY()));
    m_placement.emplace(*m_shell.env().settings, std::nullopt);
    fitOntoScreen(storedPlacement(*m_shell.env().settings, byDefault));
    m_alg->Reposition(percent(logShare()), QStringLiteral("Bottom"), false);
    m_shell.load();
    mnuAutosmall32->setChecked(m_shell.autostart());
    m_alg->setFocus();
    Timer1.start();
}

Placement MDIStraatwijs::placement() const
{
    const double dx = screen()->logicalDotsPerInchX();
    const double dy = screen()->logicalDotsPerInchY();
    // The frame's position with the inner size: what move() and resize()
    // take back, so a stored placement reopens exactly.
    return Placement{pixelsToTwips(y(), dy), pixelsToTwips(x(), dx), pixelsToTwips(width(), dx),
                     pixelsToTwips(height(), dy)};
}

void MDIStraatwijs::applyPlacement(const Placement& p)
{
    const double dx = screen()->logicalDotsPerInchX();
    const double dy = screen()->logicalDotsPerInchY();
    move(twipsToPixels(p.left, dx), twipsToPixels(p.top, dy));
    resize(twipsToPixels(p.width, dx), twipsToPixels(p.height, dy));
}

void MDIStraatwijs::fitOntoScreen(const Placement& stored)
{
    const Placement p = boundedPlacement(stored);
    const double dx = screen()->logicalDotsPerInchX();
    const double dy = screen()->logicalDotsPerInchY();
    const QPoint centre(twipsToPixels(p.left + p.width / 2, dx),
                        twipsToPixels(p.top + p.height / 2, dy));
    QScreen* target = QGuiApplication::screenAt(centre);
    if (!target)
        target = screen();
    const QRect a = target->availableGeometry();
    const platform::TwipsRect available{pixelsToTwips(a.x(), dx), pixelsToTwips(a.y(), dy),
                                        pixelsToTwips(a.width(), dx),
                                        pixelsToTwips(a.height(), dy)};
    // The frame is known once the window manager has framed the window.
    FrameExtents frame;
    const QRect outer = frameGeometry();
    const QRect inner = geometry();
    if (isVisible() && outer != inner)
        frame = FrameExtents{pixelsToTwips(inner.left() - outer.left(), dx),
                             pixelsToTwips(inner.top() - outer.top(), dy),
                             pixelsToTwips(outer.right() - inner.right(), dx),
                             pixelsToTwips(outer.bottom() - inner.bottom(), dy)};
    const Placement smallest{0, 0, pixelsToTwips(320, dx), pixelsToTwips(240, dy)};
    applyPlacement(fitPlacement(p, available, frame, smallest));
}

QString MDIStraatwijs::percent(double share)
{
    return QString::number(share, 'f', 2) + QLatin1Char('%');
}

double MDIStraatwijs::logShare() const
{
    // The child's title bar and frame, and room for the margins around the
    // pane. Taken from the style: the child's own size is not settled while
    // the window docks it.
    const QStyle* style = m_algWindow->style();
    const int chrome =
        style->pixelMetric(QStyle::PM_TitleBarHeight, nullptr, m_algWindow) +
        2 * style->pixelMetric(QStyle::PM_MdiSubWindowFrameWidth, nullptr, m_algWindow);
    const int needed = m_alg->paneHeightFor(5) + chrome + 8;
    return platform::dockShare(25, needed, m_mdiArea->viewport()->height(), 60);
}

void MDIStraatwijs::geometryChanged()
{
    if (!m_placement)
        return;
    m_placement->changed(placement(), platform::windowState(*this));
    m_placementSettles.start();
}

void MDIStraatwijs::placementSettled()
{
    const platform::WindowState state = platform::windowState(*this);
    // Once framed, a window whose frame sticks out of the screen (a guess
    // without the frame at load) is brought onto it.
    if (!m_fittedWithFrame && isVisible() && state == platform::Normal &&
        frameGeometry() != geometry()) {
        m_fittedWithFrame = true;
        if (!screen()->availableGeometry().contains(frameGeometry()))
            fitOntoScreen(placement());
    }
    skipOnError([&] { m_placement->settle(state); });
}

void MDIStraatwijs::setLookupForm(QMdiSubWindow* form, LookupReposition reposition)
{
    m_lookupForm = form;
    m_lookupReposition = std::move(reposition);
}

void MDIStraatwijs::MDIForm_Resize()
{
    // Each step on its own: a failing one is skipped and the next runs.
    if (isVisible() && m_alg->state() == platform::Normal) {
        // A quarter for the log, or enough for five of its lines.
        const double share = logShare();
        if (m_lookupForm && m_lookupReposition)
            skipOnError(
                [&] { m_lookupReposition(percent(100 - share), QStringLiteral("Top"), false); });
        skipOnError([&] { m_alg->Reposition(percent(share), QStringLiteral("Bottom"), false); });
    }
    skipOnError([&] { show(); });
    // Stored once the window has settled, and only in the normal state.
    geometryChanged();
}

void MDIStraatwijs::resizeEvent(QResizeEvent* event)
{
    QMainWindow::resizeEvent(event);
    MDIForm_Resize();
}

void MDIStraatwijs::moveEvent(QMoveEvent* event)
{
    QMainWindow::moveEvent(event);
    geometryChanged();
}

void MDIStraatwijs::changeEvent(QEvent* event)
{
    QMainWindow::changeEvent(event);
    if (event->type() == QEvent::WindowStateChange) {
        if (m_placement)
            m_placement->stateChanged(platform::windowState(*this));
        MDIForm_Resize();
    }
}

void MDIStraatwijs::showEvent(QShowEvent* event)
{
    QMainWindow::showEvent(event);
    // The resize that comes with showing arrives before the window counts
    // as visible; dock the children once it does.
    MDIForm_Resize();
}

void MDIStraatwijs::closeEvent(QCloseEvent* event)
{
    // Ends the program at once: no other window gets to close first. A
    // running batch is stopped first, so its request goes back to the queue;
    // the program ends when the batch has unwound.
    if (m_harvest.running()) {
        event->ignore();
        m_closeRequested = true;
        m_shell.env().stop->request(platform::StopRequest::ByUser);
        return;
    }
    skipOnError([&] { m_placement->closing(placement(), platform::windowState(*this)); });
    event->accept();
    QCoreApplication::exit(0);
}

void MDIStraatwijs::mnuAutosmall32_Click()
{
    m_boundary.run([this] { m_shell.toggleAutostart(); });
    mnuAutosmall32->setChecked(m_shell.autostart());
}

void MDIStraatwijs::mnuEinde_Click()
{
    close();
}

void MDIStraatwijs::Timer1_Timer()
{
    Timer1.stop();
    runCommand([this] { return m_harvest.autostartTick(mnuAutosmall32->isChecked()); });
}

namespace {
// STRAATWIJS_EXIT_AFTER_PAINT: reports the time to the first paint of the
// main window on stdout and ends the program, for start-up measurements.
class FirstPaint : public QObject
{
public:
    FirstPaint(QWidget* window, const QElapsedTimer& started) : m_window(window), m_started(started)
    {
    }
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (m_seen || event->type() != QEvent::Paint)
            return false;
        auto* widget = qobject_cast<QWidget*>(watched);
        if (!widget || widget->window() != m_window)
            return false;
        m_seen = true;
        QTextStream(stdout) << "first paint after " << m_started.elapsed() << " ms" << Qt::endl;
        QMetaObject::invokeMethod(
            qApp, [] { QCoreApplication::exit(0); }, Qt::QueuedConnection);
        return false;
    }

private:
    QWidget* m_window;
    const QElapsedTimer& m_started;
    bool m_seen = false;
};
} // namespace

int runWindow(Shell& shell, CommandBoundary& boundary, platform::WidgetPrompts* prompts,
              const QElapsedTimer& started, const std::function<void(Shell&)>& configure)
{
    MDIStraatwijs window(shell, boundary);
    if (configure)
        configure(shell);
    if (prompts)
        prompts->setParent(&window);
    // A signal during a batch stops it; the batch then ends the program.
    platform::stopOnSignals(*shell.env().stop, [&shell, &boundary](int signal) {
        if (!shell.harvest().running())
            boundary.end(platform::signalStatus(signal));
    });
    FirstPaint firstPaint(&window, started);
    if (qEnvironmentVariableIntValue("STRAATWIJS_EXIT_AFTER_PAINT") == 1)
        qApp->installEventFilter(&firstPaint);
    window.show();
    return QCoreApplication::exec();
}

} // namespace shell::ui
