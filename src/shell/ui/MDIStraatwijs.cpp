#include "shell/ui/MDIStraatwijs.h"

#include "lookup/ui/frmPostcode.h"
#include "messages/ui/Alg.h"
#include "platform/RunError.h"
#include "platform/Twips.h"
#include "platform/Version.h"
#include "platform/ui/WidgetPrompts.h"
#include "shell/DatabaseOptions.h"

#include <QApplication>
#include <QCloseEvent>
#include <QElapsedTimer>
#include <QLabel>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenuBar>
#include <QProgressBar>
#include <QScreen>
#include <QStatusBar>
#include <QTextStream>
#include <cstdio>
#include <cstdlib>

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
} // namespace

MDIStraatwijs::MDIStraatwijs(Shell& shell, QWidget* parent)
    : QMainWindow(parent), m_shell(shell),
      m_harvest(shell.env(), shell.log(), [this]() -> LookupForm& { return frmPostcode(); })
{
    setObjectName(QStringLiteral("MDIStraatwijs"));
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

LookupForm& MDIStraatwijs::frmPostcode()
{
    if (m_lookupForm && m_engineForm)
        return *m_engineForm;
    auto* form = new lookup::ui::frmPostcode(
        std::make_unique<lookup::PostcodeLookup>(m_shell.env(), m_shell.log()));
    form->setWindowTitle(QStringLiteral("Postcode"));
    auto* sub = m_mdiArea->addSubWindow(form);
    sub->setAttribute(Qt::WA_DeleteOnClose);
    sub->installEventFilter(new KeepWhileRunning(sub, m_harvest));
    sub->show();
    form->Form_Load(lookupValues(m_shell));
    lookup::PostcodeLookup& engine = form->engine();
    engine.setRequestStarted([this](const QString& query) {
        m_stepState.query = query;
        m_stepState.page = m_stepState.pages = 0;
        showProgress();
    });
    engine.reader().setProgress([this](qint64 page, qint64 pages) {
        m_stepState.page = page;
        m_stepState.pages = pages;
        m_stepState.pausing = false;
        showProgress();
    });
    auto docking = [form](const QVariant& height, const QString& position, bool focus) {
        form->Reposition(height, position, focus);
    };
    m_engineForm = std::make_unique<EngineForm>(engine, docking);
    setLookupForm(sub, docking);
    return *m_engineForm;
}

void MDIStraatwijs::runCommand(const std::function<void()>& command)
{
    try {
        command();
    } catch (const platform::RunError& e) {
        m_shell.env().prompts->MsgBox(
            QStringLiteral("Fout %1: %2").arg(e.number()).arg(e.description()),
            platform::box::Critical, QString());
        endNow(1);
    }
}

void MDIStraatwijs::mnuDoBig_Click()
{
    runCommand([this] { m_harvest.mnuDoBig_Click(); });
}

void MDIStraatwijs::mnuDoSmall_Click()
{
    runCommand([this] { m_harvest.mnuDoSmall_Click(); });
}

void MDIStraatwijs::mnuDoMinimal_Click()
{
    runCommand([this] { m_harvest.mnuDoMinimal_Click(); });
}

void MDIStraatwijs::endNow(int status)
{
    // Returning to the main event loop would first finish a running batch;
    // the program is to end now, dropping the connection with the process.
    std::fflush(nullptr);
    std::_Exit(status);
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
    if (isVisible() && m_alg->state() == messages::ui::StateNormal) {
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
    // Ends the program at once: no other window gets to close first.
    event->accept();
    if (m_harvest.running())
        endNow(0);
    QCoreApplication::exit(0);
}

void MDIStraatwijs::mnuAutosmall32_Click()
{
    try {
        m_shell.toggleAutostart();
    } catch (const platform::RunError& e) {
        m_shell.env().prompts->MsgBox(e.text(), platform::box::Critical, {});
        QCoreApplication::exit(1);
    }
    mnuAutosmall32->setChecked(m_shell.autostart());
}

void MDIStraatwijs::mnuEinde_Click()
{
    close();
}

void MDIStraatwijs::Timer1_Timer()
{
    Timer1.stop();
    bool end = false;
    runCommand([&] { end = m_harvest.Timer1_Timer(mnuAutosmall32->isChecked()); });
    if (end)
        endNow(0);
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

int runWindow(int argc, char** argv, const std::function<void(Shell&)>& configure,
              const BeforeLoad& beforeLoad)
{
    QElapsedTimer started;
    started.start();
    QApplication app(argc, argv);
    app.setApplicationName(QString::fromLatin1(platform::version::ProgramTitle));
    platform::Env env = platform::systemEnv();
    platform::WidgetPrompts prompts;
    env.prompts = &prompts;
    MDIStraatwijs* shown = nullptr;
    ReportingWait wait(*env.wait, [&shown](qint32 ms) {
        if (shown)
            shown->pauseStarted(ms);
    });
    env.wait = &wait;
    messages::MessageLog log(prompts);
    if (beforeLoad)
        if (const std::optional<int> status = beforeLoad(log, env))
            return *status;
    Shell shell(env, log);
    MDIStraatwijs window(shell);
    shown = &window;
    if (configure)
        configure(shell);
    prompts.setParent(&window);
    FirstPaint firstPaint(&window, started);
    if (qEnvironmentVariableIntValue("STRAATWIJS_EXIT_AFTER_PAINT") == 1)
        app.installEventFilter(&firstPaint);
    window.show();
    return app.exec();
}

} // namespace shell::ui
