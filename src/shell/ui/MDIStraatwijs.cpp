#include "shell/ui/MDIStraatwijs.h"

#include "lookup/PostcodeLookup.h"
#include "lookup/ui/frmPostcode.h"
#include "messages/ui/Alg.h"
#include "platform/Layout.h"
#include "platform/RunError.h"
#include "platform/Stop.h"
#include "platform/ui/WidgetPrompts.h"

#include <QApplication>
#include <QCloseEvent>
#include <QDirIterator>
#include <QElapsedTimer>
#include <QIcon>
#include <QLabel>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenuBar>
#include <QProgressBar>
#include <QScreen>
#include <QStatusBar>
#include <QTextStream>

namespace shell::ui {

using platform::pixelsToTwips;
using platform::skipOnError;
using platform::twipsToPixels;

namespace {
bool isNormal(Qt::WindowStates s)
{
    return !(s & (Qt::WindowMinimized | Qt::WindowMaximized | Qt::WindowFullScreen));
}

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
    m_mdiArea = new QMdiArea(this);
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
        m_stepState = Step{i, n};
        showProgress();
    });
    connect(&m_harvest, &Harvest::pauseStarted, this, &MDIStraatwijs::pauseStarted);
    connect(&m_harvest, &Harvest::repositionLookup, this,
            [this](const QVariant& height, const QString& position, bool focus) {
                if (m_lookupForm && m_lookupReposition)
                    m_lookupReposition(height, position, focus);
            });
    lookup::PostcodeLookup& engine = m_shell.engine();
    connect(&engine, &lookup::PostcodeLookup::requestStarted, this, [this](const QString& query) {
        m_stepState.query = query;
        m_stepState.page = m_stepState.pages = 0;
        showProgress();
    });
    connect(&engine, &lookup::PostcodeLookup::pageRead, this, [this](qint64 page, qint64 pages) {
        m_stepState.page = page;
        m_stepState.pages = pages;
        m_stepState.pausing = false;
        showProgress();
    });
    connect(&engine, &lookup::PostcodeLookup::pauseStarted, this, &MDIStraatwijs::pauseStarted);
    connect(&m_shell, &Shell::lookupLoaded, this, &MDIStraatwijs::showLookupForm);

    Timer1.setObjectName(QStringLiteral("Timer1"));
    Timer1.setInterval(1000);
    Timer1.setSingleShot(true);
    connect(&Timer1, &QTimer::timeout, this, &MDIStraatwijs::Timer1_Timer);

    MDIForm_Load();
}

void MDIStraatwijs::createMenus()
{
    nmuBestand = menuBar()->addMenu(QStringLiteral("Bestand"));
    nmuBestand->setObjectName(QStringLiteral("nmuBestand"));
    mnuAutosmall32 = nmuBestand->addAction(QStringLiteral("DoAutosmall32"));
    mnuAutosmall32->setObjectName(QStringLiteral("mnuAutosmall32"));
    mnuAutosmall32->setCheckable(true);
    connect(mnuAutosmall32, &QAction::triggered, this, &MDIStraatwijs::mnuAutosmall32_Click);
    mnuStreep1 = nmuBestand->addSeparator();
    mnuStreep1->setObjectName(QStringLiteral("mnuStreep1"));
    mnuEinde = nmuBestand->addAction(QStringLiteral("Einde"));
    mnuEinde->setObjectName(QStringLiteral("mnuEinde"));
    connect(mnuEinde, &QAction::triggered, this, &MDIStraatwijs::mnuEinde_Click);

    mnuHandmatig = menuBar()->addMenu(QStringLiteral("Handmatig"));
    mnuHandmatig->setObjectName(QStringLiteral("mnuHandmatig"));
    mnuDoBig = mnuHandmatig->addAction(QStringLiteral("DoBig"));
    mnuDoBig->setObjectName(QStringLiteral("mnuDoBig"));
    connect(mnuDoBig, &QAction::triggered, this, &MDIStraatwijs::mnuDoBig_Click);
    mnuDoSmall = mnuHandmatig->addAction(QStringLiteral("DoSmall"));
    mnuDoSmall->setObjectName(QStringLiteral("mnuDoSmall"));
    connect(mnuDoSmall, &QAction::triggered, this, &MDIStraatwijs::mnuDoSmall_Click);
    mnuDoMinimal = mnuHandmatig->addAction(QStringLiteral("DoMinimal"));
    mnuDoMinimal->setObjectName(QStringLiteral("mnuDoMinimal"));
    connect(mnuDoMinimal, &QAction::triggered, this, &MDIStraatwijs::mnuDoMinimal_Click);
    mnuHandmatig->addSeparator();
    mnuStoppen = mnuHandmatig->addAction(QStringLiteral("Stoppen"));
    mnuStoppen->setObjectName(QStringLiteral("mnuStoppen"));
    mnuStoppen->setEnabled(false);
    connect(mnuStoppen, &QAction::triggered, this, &MDIStraatwijs::mnuStoppen_Click);
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
        m_countdown.start();
    } else {
        m_countdown.stop();
        m_stepState = Step{};
        m_step->clear();
    }
}

void MDIStraatwijs::pauseStarted(qint32 milliseconds)
{
    m_stepState.pausing = true;
    m_stepState.pauseEnds = m_shell.env().tick->GetTickCount() + quint32(milliseconds);
    showProgress();
}

void MDIStraatwijs::showProgress()
{
    if (!m_harvest.running())
        return;
    const Step& s = m_stepState;
    m_progress->setRange(0, qMax(1, s.requests));
    m_progress->setValue(qMax(0, s.request - 1));
    QStringList parts;
    if (s.requests > 0)
        parts << QStringLiteral("Verzoek %1 van %2").arg(s.request).arg(s.requests) +
                     (s.query.isEmpty() ? QString() : QStringLiteral(": ") + s.query);
    if (s.pages > 0)
        parts << QStringLiteral("pagina %1 van %2").arg(s.page).arg(s.pages);
    if (s.pausing) {
        const qint32 left = qint32(s.pauseEnds - m_shell.env().tick->GetTickCount());
        if (left > 0)
            parts << QStringLiteral("pauze nog %1 s").arg((left + 999) / 1000);
    }
    m_step->setText(parts.join(QStringLiteral("  ·  ")));
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
    else if (m_closeRequested)
        QCoreApplication::exit(0);
}

void MDIStraatwijs::mnuDoBig_Click()
{
    runCommand([this] { return m_harvest.mnuDoBig_Click(); });
}

void MDIStraatwijs::mnuDoSmall_Click()
{
    runCommand([this] { return m_harvest.mnuDoSmall_Click(); });
}

void MDIStraatwijs::mnuDoMinimal_Click()
{
    runCommand([this] { return m_harvest.mnuDoMinimal_Click(); });
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
    applyPlacement(storedPlacement(*m_shell.env().settings, byDefault));
    m_alg->Reposition(QStringLiteral("25%"), QStringLiteral("Bottom"), false);
    m_shell.load();
    mnuAutosmall32->setChecked(m_shell.autostart());
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

void MDIStraatwijs::setLookupForm(QMdiSubWindow* form, LookupReposition reposition)
{
    m_lookupForm = form;
    m_lookupReposition = std::move(reposition);
}

void MDIStraatwijs::MDIForm_Resize()
{
    // Each step on its own: a failing one is skipped and the next runs.
    if (isVisible() && m_alg->state() == platform::Normal) {
        if (m_lookupForm && m_lookupReposition)
            skipOnError(
                [&] { m_lookupReposition(QStringLiteral("75%"), QStringLiteral("Top"), false); });
        skipOnError(
            [&] { m_alg->Reposition(QStringLiteral("25%"), QStringLiteral("Bottom"), false); });
    }
    skipOnError([&] { show(); });
    // A minimised or maximised window keeps the last normal placement.
    // Saving what is already stored only costs disk syncs; showing alone
    // brings several resizes.
    if (isNormal(windowState()) && placement() != m_savedPlacement)
        skipOnError([&] {
            savePlacement(*m_shell.env().settings, placement());
            m_savedPlacement = placement();
        });
}

void MDIStraatwijs::resizeEvent(QResizeEvent* event)
{
    QMainWindow::resizeEvent(event);
    MDIForm_Resize();
}

void MDIStraatwijs::changeEvent(QEvent* event)
{
    QMainWindow::changeEvent(event);
    if (event->type() == QEvent::WindowStateChange)
        MDIForm_Resize();
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
    runCommand([this] { return m_harvest.Timer1_Timer(mnuAutosmall32->isChecked()); });
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
            boundary.end(128 + signal);
    });
    FirstPaint firstPaint(&window, started);
    if (qEnvironmentVariableIntValue("STRAATWIJS_EXIT_AFTER_PAINT") == 1)
        qApp->installEventFilter(&firstPaint);
    window.show();
    return QCoreApplication::exec();
}

} // namespace shell::ui
