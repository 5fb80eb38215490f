#pragma once

#include "lookup/PostcodeLookup.h"
#include "platform/Env.h"
#include "platform/MessageSink.h"

#include <QObject>
#include <QString>
#include <QVariant>
#include <functional>

namespace shell {

// What the harvest commands ask of the lookup form.
class LookupForm
{
public:
    virtual ~LookupForm() = default;
    // Processes one request (the next open one of Typenaam when Querynaam is
    // empty); returns the query text processed, empty when there was none.
    // Failures throw platform::RunError.
    virtual QString DoQuery(const QString& Querynaam, const QString& Typenaam) = 0;
    virtual bool ValidURL() const = 0;
    // Docks the form in the main window; nothing to do without a window.
    virtual void Reposition(const QVariant& RequestedHeight, const QString& Position,
                            bool ParmSetFocus) = 0;
};

// The lookup form as the harvest commands see it: the engine, and a way to
// dock its window (nothing to dock when running without one).
class EngineForm : public LookupForm
{
public:
    using Docking = std::function<void(const QVariant&, const QString&, bool)>;
    explicit EngineForm(lookup::PostcodeLookup& engine, Docking docking = {})
        : m_engine(engine), m_docking(std::move(docking))
    {
    }
    QString DoQuery(const QString& Querynaam, const QString& Typenaam) override
    {
        return m_engine.DoQuery(Querynaam, Typenaam);
    }
    bool ValidURL() const override { return m_engine.ValidURL; }
    void Reposition(const QVariant& RequestedHeight, const QString& Position,
                    bool ParmSetFocus) override
    {
        if (m_docking)
            m_docking(RequestedHeight, Position, ParmSetFocus);
    }

private:
    lookup::PostcodeLookup& m_engine;
    Docking m_docking;
};

// Passes every wait on and tells a watcher about the pauses (waits longer
// than a page poll), so a window can count them down.
class ReportingWait : public platform::Wait
{
public:
    ReportingWait(platform::Wait& inner, std::function<void(qint32)> pauseStarted)
        : m_inner(inner), m_pauseStarted(std::move(pauseStarted))
    {
    }
    qint32 MsgWaitObj(qint32 Milliseconds) override
    {
        if (Milliseconds > 10 && m_pauseStarted)
            m_pauseStarted(Milliseconds);
        return m_inner.MsgWaitObj(Milliseconds);
    }

private:
    platform::Wait& m_inner;
    std::function<void(qint32)> m_pauseStarted;
};

// The harvest commands of the main window and its start-up timer: one big
// request, or a batch of small or minimal ones with a random pause after
// each, ending early when the site blocks searching. Only one batch runs at
// a time; a command given during a batch starts nothing.
class Harvest : public QObject
{
    Q_OBJECT
public:
    // frmPostcode gives the lookup form, loading it on first use.
    Harvest(platform::Env env, platform::MessageSink& log, std::function<LookupForm&()> frmPostcode,
            QObject* parent = nullptr);

    void mnuDoBig_Click();
    void mnuDoSmall_Click();
    void mnuDoMinimal_Click();
    void DoSmall(const QVariant& Aantal, const QString& Typenaam);

    // The timer's one tick. With autostart: the batch of 32 "S" requests,
    // then 10 s; returns true when the program is to end now. Without:
    // returns false and the caller switches the timer off.
    bool Timer1_Timer(bool autostart);

    bool running() const { return m_running; }

signals:
    void runningChanged(bool running);
    // Request i of n (n is 1 for a big request).
    void requestStarted(int i, int n);

private:
    void askAndRun(const QString& Typenaam);
    QString stamp() const;
    class Busy;

    platform::Env m_env;
    platform::MessageSink& m_log;
    std::function<LookupForm&()> m_frmPostcode;
    bool m_running = false;
};

} // namespace shell
